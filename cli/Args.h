// Command-line options in the conventional forms: "-o FILE", "-oFILE",
// "--output FILE", "--output=FILE", flags like "--json", and "--" to end the
// options. Everything else is an operand, kept in order.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace vantrel::cli {

struct OptionDefinition {
    char shortName;        // 0 when the option has no short form
    const char* longName;  // without the leading "--"
    bool takesValue;
};

struct ParsedArgs {
    std::vector<std::string> operands;
    std::map<std::string, std::string> values;  // by long name; flags map to ""

    bool has(const std::string& name) const { return values.count(name) != 0; }
    const std::string& value(const std::string& name) const { return values.at(name); }
};

// Parses args against options; on a usage error returns the message.
std::optional<std::string> parseArgs(const std::vector<std::string>& args, const std::vector<OptionDefinition>& options,
                                     ParsedArgs& out);

// A whole decimal number from lo to hi, or nothing.
std::optional<unsigned> parseCount(const std::string& text, unsigned lo, unsigned hi);

}  // namespace vantrel::cli
