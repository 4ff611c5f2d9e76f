#include <gtest/gtest.h>

#include "tests/cli/CliHarness.h"

namespace vantrel::test {
namespace {

TEST(CommandLine, UsageErrorsExitWithStatus2) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate", "a.iff"},
        {"info"},
        {"info", "--json=yes", "a.iff"},
        {"convert"},
        {"convert", "--colour", "a.iff"},
        {"convert", "-o", "x.png", "a.iff", "b.iff"},
        {"convert", "-o", "x.png", "-d", "out", "a.iff"},
        {"convert", "-j", "0", "a.iff"},
        {"convert", "a.iff", "-d"},
        {"thumbnail", "a.iff"},
        {"thumbnail", "a.iff", "b.png", "c.png"},
        {"thumbnail", "-s", "0", "a.iff", "b.png"},
        {"thumbnail", "--size=big", "a.iff", "b.png"},
    };
    ScratchDir dir;
    for (const auto& args : cases) {
        const RunResult run = runVantrel(args, dir.path(""));
        EXPECT_EQ(run.status, 2) << (args.empty() ? "(none)" : args[0]) << " " << args.size();
        EXPECT_FALSE(run.err.empty());
        EXPECT_TRUE(run.out.empty());
    }
    EXPECT_TRUE(dir.names().empty());
}

TEST(CommandLine, HelpAndVersion) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"--help"}, {"help", "convert"}, {"info", "--help"}, {"convert", "-h", "x"},
          {"thumbnail", "--help"}}) {
        const RunResult run = runVantrel(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind("Usage: vantrel", 0), 0u) << run.out;
    }
    const RunResult version = runVantrel({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "vantrel 24.5.11\n");
}

TEST(CommandLine, InfoJsonParsesAndDescribesEachFile) {
    ScratchDir dir;
    dir.write("pic.iff", IffBuilder("ILBM")
                             .bmhd({37, 5, 4, 2, 1, 3})
                             .chunk("ANNO", {'h', 'i', '"'})
                             .cmap(std::vector<std::uint32_t>(16, 0x102030))
                             .body(Bytes(8))
                             .raw({0, 0, 0})
                             .bytes());
    dir.write("text.iff", {'n', 'o', 'p', 'e'});
    const RunResult run = runVantrel({"info", "--json", "pic.iff", "text.iff"}, dir.path(""));
    EXPECT_EQ(run.status, 1);
    dir.write("info.json", Bytes(run.out.begin(), run.out.end()));
    const RunResult check = runProgram(
        "jq",
        {"-e",
         ".[0] | .width == 37 and .height == 5 and .planes == 4 and .pixelMode == \"Indexed\" and "
         ".compression == \"ByteRun1\" and .masking == \"transparent colour\" and .transparentColor == 3 and "
         ".colourMapSize == 16 and ([.chunks[].id] == [\"BMHD\", \"ANNO\", \"CMAP\", \"BODY\"]) and "
         ".chunks[1].size == 3 and .chunkWalkEnd == \"trailing bytes\"",
         "info.json"},
        dir.path(""));
    EXPECT_EQ(check.status, 0) << run.out << check.err;
    EXPECT_EQ(runProgram("jq", {"-e", ".[1].error | test(\"not an IFF\")", "info.json"}, dir.path("")).status, 0);
}

TEST(CommandLine, ExplainsWhyAFileCannotBeShown) {
    Bytes cutBody = IffBuilder().bmhd({16, 4, 1, 0, 0, 0}).cmap({0, 0xFFFFFF}).body(Bytes(40)).bytes();
    cutBody.resize(cutBody.size() - 10);
    const struct {
        const char* name;
        Bytes file;
        const char* reason;
    } cases[] = {
        {"riff.iff", {'R', 'I', 'F', 'F', 0, 0, 0, 4, 'W', 'A', 'V', 'E'}, "not an IFF \"FORM\" file"},
        {"sound.iff", IffBuilder("8SVX").chunk("VHDR", Bytes(20)).bytes(), "type \"8SVX\", not a picture"},
        {"planes.iff", IffBuilder().bmhd({8, 8, 12, 0, 0, 0}).body(Bytes(8)).bytes(), "12 bit planes"},
        {"huge.iff", IffBuilder().bmhd({5000, 8, 1, 0, 0, 0}).bytes(), "larger than 4096 x 4096"},
        {"acbm.iff", IffBuilder("ACBM").bmhd({8, 8, 1, 0, 1, 0}).bytes(), "compressed \"ACBM\""},
        {"nobody.iff", IffBuilder().bmhd({8, 8, 1, 0, 0, 0}).cmap({0, 1}).bytes(), "no picture body"},
        {"cut.iff", cutBody, "cut short inside chunk \"BODY\" (40 bytes claimed, 30 present)"},
        {"nocmap.iff", IffBuilder().bmhd({8, 8, 4, 0, 0, 0}).body(Bytes(64)).bytes(), "no colour map"},
        {"ham.iff", IffBuilder().bmhd({8, 8, 6, 0, 0, 0}).camg(0x800).cmap({0, 1, 2}).body(Bytes(8)).bytes(),
         "hold-and-modify picture with a colour map of 3 colours (needs 16)"},
        {"twomaps.iff", IffBuilder().cmap({1}).cmap({2}).bytes(), "more than one colour map"},
        {"empty.iff", {}, "empty file"},
    };
    ScratchDir dir;
    std::vector<std::string> args{"info"};
    for (const auto& c : cases) args.push_back(dir.write(c.name, c.file));
    const RunResult run = runVantrel(args);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.out.empty()) << run.out;
    for (const auto& c : cases)
        EXPECT_NE(run.err.find(std::string(c.name) + ": " ), std::string::npos) << c.name;
    std::size_t line = 0;
    for (const auto& c : cases) {
        const std::size_t end = run.err.find('\n', line);
        const std::string message = run.err.substr(line, end - line);
        EXPECT_NE(message.find(c.reason), std::string::npos) << c.name << ": " << message;
        line = end + 1;
    }
}

}  // namespace
}  // namespace vantrel::test
