#include "cli/Args.h"

namespace vantrel::cli {
namespace {

const OptionDefinition* findLong(const std::vector<OptionDefinition>& options, const std::string& name) {
    for (const auto& option : options)
        if (name == option.longName) return &option;
    return nullptr;
}

const OptionDefinition* findShort(const std::vector<OptionDefinition>& options, char name) {
    for (const auto& option : options)
        if (option.shortName != 0 && option.shortName == name) return &option;
    return nullptr;
}

// An option word split into its definition, its name as the user wrote it, and a
// value attached to it ("--size=64", "-s64").
struct OptionWord {
    const OptionDefinition* definition;
    std::string shown;
    std::optional<std::string> attached;
};

OptionWord identify(const std::string& word, const std::vector<OptionDefinition>& options) {
    if (word.compare(0, 2, "--") != 0) {
        OptionWord option{findShort(options, word[1]), word.substr(0, 2), std::nullopt};
        if (word.size() > 2) option.attached = word.substr(2);
        return option;
    }
    const auto eq = word.find('=');
    const std::string name = word.substr(2, eq == std::string::npos ? std::string::npos : eq - 2);
    OptionWord option{findLong(options, name), "--" + name, std::nullopt};
    if (eq != std::string::npos) option.attached = word.substr(eq + 1);
    return option;
}

// One option word at args[i]; may consume the next word as its value.
std::optional<std::string> takeOption(const std::vector<std::string>& args, std::size_t& i,
                                      const std::vector<OptionDefinition>& options, ParsedArgs& out) {
    OptionWord option = identify(args[i], options);
    if (option.definition == nullptr) return "unknown option '" + args[i] + "'";
    const std::string name = option.definition->longName;
    if (!option.definition->takesValue) {
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

std::optional<std::string> parseArgs(const std::vector<std::string>& args, const std::vector<OptionDefinition>& options,
                                     ParsedArgs& out) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& word = args[i];
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            out.operands.push_back(word);
        } else if (word == "--") {
            optionsEnded = true;
        } else if (auto error = takeOption(args, i, options, out)) {
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
