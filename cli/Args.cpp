#include "cli/Args.h"

namespace vantrel::cli {
namespace {

const OptionSpec* findLong(const std::vector<OptionSpec>& specs, const std::string& name) {
    for (const auto& spec : specs)
        if (name == spec.longName) return &spec;
    return nullptr;
}

const OptionSpec* findShort(const std::vector<OptionSpec>& specs, char name) {
    for (const auto& spec : specs)
        if (spec.shortName != 0 && spec.shortName == name) return &spec;
    return nullptr;
}

// One option word at args[i]; may consume the next word as its value.
std::optional<std::string> takeOption(const std::vector<std::string>& args, std::size_t& i,
                                      const std::vector<OptionSpec>& specs, ParsedArgs& out) {
    const std::string& word = args[i];
    const bool isLong = word.compare(0, 2, "--") == 0;
    std::string name;
    std::optional<std::string> attached;
    const OptionSpec* spec = nullptr;
    if (isLong) {
        const auto eq = word.find('=');
        name = word.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
        if (eq != std::string::npos) attached = word.substr(eq + 1);
        spec = findLong(specs, name);
    } else {
        spec = findShort(specs, word[1]);
        if (word.size() > 2) attached = word.substr(2);
    }
    if (spec == nullptr) return "unknown option '" + word + "'";
    const std::string shown = isLong ? "--" + name : word.substr(0, 2);
    if (!spec->takesValue && attached) return "option '" + shown + "' takes no value";
    if (!spec->takesValue) {
        out.values[spec->longName] = "";
        return std::nullopt;
    }
    if (!attached) {
        if (i + 1 >= args.size()) return "option '" + shown + "' needs a value";
        attached = args[++i];
    }
    if (out.has(spec->longName)) return "option '" + shown + "' given more than once";
    out.values[spec->longName] = *attached;
    return std::nullopt;
}

}  // namespace

std::optional<std::string> parseArgs(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
                                     ParsedArgs& out) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            out.operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (auto error = takeOption(args, i, specs, out)) {
            return error;
        }
    }
    return std::nullopt;
}

std::optional<unsigned> parseCount(const std::string& text, unsigned lo, unsigned hi) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    unsigned long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    if (value < lo || value > hi) return std::nullopt;
    return static_cast<unsigned>(value);
}

}  // namespace vantrel::cli
