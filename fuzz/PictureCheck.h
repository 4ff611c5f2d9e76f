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
// decoded from the first copy with the processor's best row kernels into a
// guarded output flush against its end guard, then from the second copy once
// at every tier of row kernels this processor runs (tests/support/SimdTiers.h),
// each into an output flush against its start guard; the outputs are filled
// beforehand with different patterns, so a pixel left unwritten or decoded
// differently shows as a mismatch. Every decode must equal the plain reference
// decoder's pixels, and so must each premultiplied output the reference's
// premultiplied pixels. A read or write outside any of the buffers faults at
// once. A problem found at one tier names it.
CheckResult checkPicture(const std::uint8_t* data, std::size_t size);

}  // namespace vantrel::fuzz
