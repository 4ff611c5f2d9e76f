// The one check that the fuzz targets, the regression replay and the damage
// tests run on every input: parse, size, decode and premultiply under guard
// pages, with every promise the parser makes to the decoder tested on the way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel::fuzz {

struct CheckResult {
    bool accepted = false;     // parsePicture took the bytes
    std::uint32_t width = 0;   // outputSize of an accepted picture
    std::uint32_t height = 0;
    std::string problem;       // the first broken promise; empty when all held
};

// Copies the bytes twice, once flush against an unreadable page after them and
// once flush against one before them, and parses both copies; the records must
// agree and keep every promise the chosen mode makes. An accepted picture is
// decoded from each copy into its own guarded output (one flush against its
// end guard, one against its start guard, filled beforehand with different
// patterns; the first with the processor's best row kernels, the second with
// the baseline ones), so a pixel left unwritten or decoded differently shows as a
// mismatch, and both must equal the plain reference decoder's pixels; then both
// outputs are premultiplied and compared again, also with the reference's
// premultiplied pixels. A read or write outside any of the buffers faults at
// once.
CheckResult checkPicture(const std::uint8_t* data, std::size_t size);

}  // namespace vantrel::fuzz
