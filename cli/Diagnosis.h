// Explains, in a user's terms, why the parser refused a file. The parser only
// answers yes or no; this looks at the header and chunks again to find the
// reason worth telling.
#pragma once

#include <cstdint>
#include <string>

namespace vantrel::cli {

// Called only for bytes that parsePicture refused.
std::string explainRejection(const std::uint8_t* begin, const std::uint8_t* end);

}  // namespace vantrel::cli
