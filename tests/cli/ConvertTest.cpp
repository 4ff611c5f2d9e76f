#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/cli/CliHarness.h"

namespace vantrel::test {
namespace {

std::vector<std::uint32_t> pattern(unsigned width, unsigned height, unsigned modulo) {
    std::vector<std::uint32_t> values(std::size_t{width} * height);
    for (unsigned i = 0; i < values.size(); ++i) values[i] = (i * 7 + i / width) % modulo;
    return values;
}

// 4 planes, 16 colours, ByteRun1: opaque.
Bytes compressedIndexed() {
    const unsigned w = 37, h = 5;
    const Bytes plain = interleavedBody(pattern(w, h, 16), w, h, 4);
    const std::size_t rowBytes = plain.size() / h;
    Bytes packed;
    for (unsigned y = 0; y < h; ++y) {
        const Bytes row(plain.begin() + static_cast<std::ptrdiff_t>(y * rowBytes),
                        plain.begin() + static_cast<std::ptrdiff_t>((y + 1) * rowBytes));
        const Bytes run = packByteRun1(row);
        packed.insert(packed.end(), run.begin(), run.end());
    }
    std::vector<std::uint32_t> colours;
    for (std::uint32_t i = 0; i < 16; ++i) colours.push_back(i * 0x100F03u + 0x203040u);
    return IffBuilder("ILBM").bmhd({w, h, 4, 0, 1, 0}).cmap(colours).body(packed).bytes();
}

// 2 planes and a mask plane: some pixels fully transparent.
Bytes maskedPicture() {
    const unsigned w = 20, h = 6;
    std::vector<bool> mask(std::size_t{w} * h);
    for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = i % 3 != 0;
    return IffBuilder("ILBM")
        .bmhd({w, h, 2, 1, 0, 0})
        .cmap({0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF})
        .body(interleavedBody(pattern(w, h, 4), w, h, 2, &mask))
        .bytes();
}

// Chunky 32-bit pixels with every kind of alpha, to prove alpha stays straight.
Bytes trueColourWithAlpha() {
    const unsigned w = 5, h = 4;
    Bytes body;
    for (unsigned i = 0; i < w * h; ++i) {
        const auto level = static_cast<std::uint8_t>(i * 13);
        body.insert(body.end(), {static_cast<std::uint8_t>(i * 17 % 256), 0xFF, level, 0x80});
    }
    return IffBuilder("PBM ").bmhd({w, h, 32, 0, 0, 0}).body(body).bytes();
}

Bytes paletteStrip() { return IffBuilder("ILBM").cmap({0x000000, 0xFF0000, 0x123456}).bytes(); }

TEST(Convert, WritesThePixelsTheDecoderMakesWithAlphaOnlyWhenNeeded) {
    ScratchDir dir;
    struct Case {
        const char* name;
        Bytes file;
        bool expectAlpha;
    } cases[] = {{"indexed.iff", compressedIndexed(), false},
                 {"masked.iff", maskedPicture(), true},
                 {"rgba.pbm", trueColourWithAlpha(), true},
                 {"strip.iff", paletteStrip(), false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RunResult run = runVantrel({"convert", dir.write(c.name, c.file)});
        ASSERT_EQ(run.status, 0) << run.err;
        const Rgba png = readPng(dir.path(std::filesystem::path(c.name).replace_extension(".png")));
        const Rgba expected = decodeReference(c.file);
        EXPECT_EQ(png.fileHasAlpha, c.expectAlpha);
        EXPECT_EQ(png.width, expected.width);
        EXPECT_EQ(png.height, expected.height);
        EXPECT_EQ(png.bytes, expected.bytes);
    }
}

TEST(Convert, MatchesTheDecoderOnARealPicture) {
    const std::string source = std::string(VANTREL_CORPUS_DIR) + "/ilbm8lores.iff";
    std::ifstream in(source, std::ios::binary);
    if (!in) GTEST_SKIP() << "no sample picture at " << source;
    const Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ScratchDir dir;
    ASSERT_EQ(runVantrel({"convert", source, "-o", dir.path("lores.png")}).status, 0);
    const Rgba png = readPng(dir.path("lores.png"));
    EXPECT_TRUE(png.fileHasAlpha);  // its transparent colour
    EXPECT_EQ(png.bytes, decodeReference(file).bytes);
}

TEST(Convert, NamesOutputsConventionally) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.path("a"));
    std::filesystem::create_directories(dir.path("b"));
    std::filesystem::create_directories(dir.path("out"));
    const Bytes picture = compressedIndexed();
    dir.write("a/pic.iff", picture);
    dir.write("a/noextension", picture);
    dir.write("a/dup.lbm", picture);
    dir.write("b/dup.iff", picture);

    EXPECT_EQ(runVantrel({"convert", "a/pic.iff", "a/noextension"}, dir.path("")).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path("a/pic.png")));
    EXPECT_TRUE(std::filesystem::exists(dir.path("a/noextension.png")));

    EXPECT_EQ(runVantrel({"convert", "a/pic.iff", "--output=single.png"}, dir.path("")).status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.path("single.png")));

    // Two inputs that would share one output: the second is refused, the first written.
    const RunResult clash = runVantrel({"convert", "-d", "out", "a/pic.iff", "a/dup.lbm", "b/dup.iff"}, dir.path(""));
    EXPECT_EQ(clash.status, 1);
    EXPECT_NE(clash.err.find("b/dup.iff"), std::string::npos) << clash.err;
    std::set<std::string> written;
    for (const auto& e : std::filesystem::directory_iterator(dir.path("out"))) written.insert(e.path().filename());
    EXPECT_EQ(written, (std::set<std::string>{"pic.png", "dup.png"}));
}

TEST(Convert, NeverOverwritesAnInput) {
    ScratchDir dir;
    const Bytes picture = compressedIndexed();
    dir.write("picture.png", picture);  // an IFF file that happens to be named .png
    dir.write("picture.iff", picture);
    std::filesystem::create_hard_link(dir.path("picture.png"), dir.path("link.iff"));

    const RunResult own = runVantrel({"convert", "picture.png"}, dir.path(""));
    EXPECT_EQ(own.status, 1);
    EXPECT_NE(own.err.find("overwrite"), std::string::npos) << own.err;
    EXPECT_EQ(runVantrel({"convert", "picture.png", "-o", "link.iff"}, dir.path("")).status, 1);
    // picture.iff's output is the other input of the same run.
    EXPECT_EQ(runVantrel({"convert", "picture.iff", "picture.png"}, dir.path("")).status, 1);

    std::ifstream in(dir.path("picture.png"), std::ios::binary);
    EXPECT_EQ(Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), picture);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"picture.png", "picture.iff", "link.iff"}));
}

TEST(Convert, BadFilesInABatchAreReportedWhileTheRestAreWritten) {
    ScratchDir dir;
    const Bytes good = compressedIndexed();
    Bytes truncated = maskedPicture();
    truncated.resize(truncated.size() - 40);
    dir.write("first.iff", good);
    dir.write("truncated.iff", truncated);
    dir.write("notes.iff", {'J', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '\n', 'x', 'y', 'z'});
    std::filesystem::create_directories(dir.path("folder.iff"));
    dir.write("blocked.iff", good);
    std::filesystem::create_directories(dir.path("blocked.png/inside"));  // its output cannot be put in place
    dir.write("locked.iff", good);
    std::filesystem::permissions(dir.path("locked.iff"), std::filesystem::perms::none);
    const bool lockedOut = geteuid() != 0;  // root reads it all the same
    dir.write("last.iff", good);
    const std::set<std::string> before = dir.names();

    const RunResult run = runVantrel({"convert", "first.iff", "missing.iff", "truncated.iff", "notes.iff",
                                      "folder.iff", "blocked.iff", "locked.iff", "last.iff"},
                                     dir.path(""));
    EXPECT_EQ(run.status, 1);
    for (const char* bad : {"missing.iff: cannot open: No such file", "truncated.iff: file is cut short",
                            "notes.iff: not an IFF", "folder.iff: is a directory", "blocked.iff: cannot write"})
        EXPECT_NE(run.err.find(bad), std::string::npos) << bad << " in\n" << run.err;
    EXPECT_EQ(run.err.find("locked.iff: cannot open: Permission denied") != std::string::npos, lockedOut);
    EXPECT_NE(run.err.find(lockedOut ? "converted 2 of 8 files, 6 failed" : "converted 3 of 8 files, 5 failed"),
              std::string::npos)
        << run.err;

    std::set<std::string> expected = before;
    expected.insert({"first.png", "last.png"});
    if (!lockedOut) expected.insert("locked.png");
    EXPECT_EQ(dir.names(), expected);  // no partial PNGs, no temporary files
    EXPECT_EQ(readPng(dir.path("last.png")).bytes, decodeReference(good).bytes);
}

}  // namespace
}  // namespace vantrel::test
