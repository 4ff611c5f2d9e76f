#include "cli/Json.h"

#include <cstdio>

namespace vantrel::cli {

std::string jsonString(const std::string& text, bool asciiOnly) {
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F || (asciiOnly && c > 0x7F)) {
            char escaped[7];
            std::snprintf(escaped, sizeof escaped, "\\u%04X", c);
            out += escaped;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

}  // namespace vantrel::cli
