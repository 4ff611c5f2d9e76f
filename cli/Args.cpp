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

// An option word split into its spec, its name as the user wrote it, and a
// value attached to it ("--size=64", "-s64").
struct OptionWord {
    const OptionSpec* spec;
    std::string shown;
    std::optional<std::string> attached;
};

OptionWord identify(const std::string& word, const std::vector<OptionSpec>& specs) {
    if (word.compare(0, 2, "--") != 0) {
        OptionWord option{findShort(specs, word[1]), word.substr(0, 2), std::nullopt};
        if (word.size() > 2) option.attached = word.substr(2);
        return option;
    }
    const auto eq = word.find('=');
    const std::string name = word.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    OptionWord option{findLong(specs, name), "--" + name, std::nullopt};
    if (eq != std::string::npos) option.attached = word.substr(eq + 1);
    return option;
}

// One option word at args[i]; may consume the next word as its value.
std::optional<std::string> takeOption(const std::vector<std::string>& args, std::size_t& i,
                                      const std::vector<OptionSpec>& specs, ParsedArgs& out) {
    OptionWord option = identify(args[i], specs);
    if (option.spec == nullptr) return "unknown option '" + args[i] + "'";
    const std::string name = option.spec->longName;
    if (!option.spec->takesValue) {
        if (option.attached) return "option '" + option.shown + "' takes no value";
        out.values[name] = "";
        return std::nullopt;
    }
    if (!option.attached) {
        if (i + 1 >= args.size()) return "option '" + option.shown + "' needs a value";
        option.attached = args[++i];
    }
    if (out.has(name)) return "option '" + option.shown + "' given more than once";
    out.values[name] = *option.attached;
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
