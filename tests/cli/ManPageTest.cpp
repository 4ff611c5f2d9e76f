// The man page says what --help says: every command and option of every help
// text appears in it followed by the same description, word for word.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/cli/CliHarness.h"

namespace vantrel::test {
namespace {

std::string collapseSpaces(const std::string& text) {
    std::string out;
    for (char c : text) {
        const bool space = c == ' ' || c == '\n' || c == '\t';
        if (space && (out.empty() || out.back() == ' ')) continue;
        out += space ? ' ' : c;
    }
    if (!out.empty() && out.back() == ' ') out.pop_back();
    return out;
}

// The words of a request line's arguments, quotes removed.
std::vector<std::string> macroArguments(const std::string& line) {
    std::vector<std::string> args;
    std::size_t i = line.find(' ');
    while (i != std::string::npos && i < line.size()) {
        while (i < line.size() && line[i] == ' ') ++i;
        if (i >= line.size()) break;
        const bool quoted = line[i] == '"';
        const std::size_t start = quoted ? i + 1 : i;
        const std::size_t stop = line.find(quoted ? '"' : ' ', start);
        args.push_back(line.substr(start, stop == std::string::npos ? std::string::npos : stop - start));
        i = stop == std::string::npos ? stop : stop + 1;
    }
    return args;
}

// The text a reader sees, roughly: font requests joined as groff joins them,
// layout requests dropped, escapes for fonts and hyphens resolved.
std::string manPageText(const std::string& source) {
    std::istringstream lines(source);
    std::string line, text;
    while (std::getline(lines, line)) {
        if (line.empty() || line.rfind(".\\\"", 0) == 0) continue;
        if (line[0] != '.') {
            text += line + "\n";
            continue;
        }
        const std::string macro = line.substr(1, line.find(' ') - 1);
        const auto args = macroArguments(line);
        const bool alternating = macro.size() == 2 && std::string("BIR").find(macro[0]) != std::string::npos &&
                                 std::string("BIR").find(macro[1]) != std::string::npos;
        if (macro == "B" || macro == "I" || macro == "SH" || macro == "SS" || alternating)
            for (std::size_t i = 0; i < args.size(); ++i) text += (alternating || i == 0 ? "" : " ") + args[i];
        text += "\n";
    }
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "\\f") == 0) ++i, ++i;  // font change: \fB, \fI, \fR
        else if (text.compare(i, 2, "\\-") == 0) plain += '-', ++i;
        else plain += text[i];
    }
    return collapseSpaces(plain);
}

struct HelpEntry {
    std::string term;         // "-o, --output FILE" or "convert FILE... [-o OUT.png | -d DIR]"
    std::string description;  // continuation lines joined
};

// The entries of the "Commands:" and "Options:" sections of a help text.
std::vector<HelpEntry> helpEntries(const std::string& help) {
    std::istringstream lines(help);
    std::string line;
    bool inList = false;
    std::vector<HelpEntry> entries;
    while (std::getline(lines, line)) {
        const std::size_t indent = line.find_first_not_of(' ');
        if (indent == 0) inList = line == "Commands:" || line == "Options:";
        if (!inList || indent == 0 || indent == std::string::npos) continue;
        if (indent > 8 && !entries.empty()) {
            entries.back().description += " " + line.substr(indent);
            continue;
        }
        const std::size_t gap = line.find("  ", indent);
        const std::size_t start = gap == std::string::npos ? gap : line.find_first_not_of(' ', gap);
        entries.push_back({line.substr(indent, gap == std::string::npos ? gap : gap - indent),
                           start == std::string::npos ? "" : line.substr(start)});
    }
    return entries;
}

TEST(ManPage, SaysWhatEveryHelpTextSays) {
    std::ifstream in(VANTREL_MAN_PAGE);
    ASSERT_TRUE(in) << VANTREL_MAN_PAGE;
    const std::string man = manPageText(std::string(std::istreambuf_iterator<char>(in), {}));
    std::size_t checked = 0;
    for (const char* command : {"", "info", "convert", "thumbnail"}) {
        const RunResult run = runVantrel(*command != 0 ? std::vector<std::string>{command, "--help"}
                                                       : std::vector<std::string>{"--help"});
        ASSERT_EQ(run.status, 0) << command;
        for (const HelpEntry& entry : helpEntries(run.out)) {
            const std::string line = collapseSpaces(entry.term + " " + entry.description);
            EXPECT_NE(man.find(line), std::string::npos) << "vantrel " << command << " --help: " << line;
            ++checked;
        }
        if (*command == 0) {
            const std::size_t exit = run.out.find("Exit status:");
            ASSERT_NE(exit, std::string::npos);
            const std::string sentence = collapseSpaces(run.out.substr(exit, run.out.find('\n', exit) - exit));
            EXPECT_NE(man.find(sentence), std::string::npos) << sentence;
        }
    }
    EXPECT_GE(checked, 13u);  // 3 commands, 2 general options, 8 of the commands
}

}  // namespace
}  // namespace vantrel::test
