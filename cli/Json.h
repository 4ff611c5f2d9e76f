// Just enough JSON writing for "info --json".
#pragma once

#include <string>

namespace vantrel::cli {

// A JSON string literal, quotes included. Control characters, quotes and
// backslashes are escaped; when asciiOnly is set, so is every byte above 0x7E
// (taken as Latin-1), which suits raw chunk IDs.
std::string jsonString(const std::string& text, bool asciiOnly = false);

}  // namespace vantrel::cli
