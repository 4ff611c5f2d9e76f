// Parses and decodes pictures the way every core test does: the file's last
// byte sits right before an inaccessible page and the output bitmap is guarded
// the same way, so any read or write outside them faults. Each picture is then
// run a second time flush against the other side of its pages, with a
// different fill in the record and the bitmap; both runs must agree, which
// catches reads before the start, stale record fields and unwritten pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "decode/Decoder.h"
#include "iff/ImageInfo.h"
#include "tests/support/IffBuilder.h"

namespace vantrel::test {

struct Decoded {
    bool ok = false;
    ImageInfo info{};  // pointers cleared (the file is gone): see the offsets
    std::ptrdiff_t paletteAt = -1;  // offsets of the record's pointers in the file, -1 for null
    std::ptrdiff_t linePalettesAt = -1;
    std::ptrdiff_t bodyAt = -1;
    OutputSize size{};
    std::vector<std::uint32_t> pixels;  // as decoded: bottom-up

    // Pixel x of file row y (row 0 is the top of the picture).
    std::uint32_t at(unsigned x, unsigned y) const;
    std::vector<std::uint32_t> row(unsigned y) const;
};

Decoded parseGuarded(const Bytes& file);
// Parses and, when the file is a picture, decodes it into a bitmap of outputSize.
Decoded decodeGuarded(const Bytes& file);
// The working palette buildBasePalette makes for the file, in a guarded
// 256-entry table that starts out full of 0xDEADBEEF.
std::vector<std::uint32_t> basePaletteGuarded(const Bytes& file);

}  // namespace vantrel::test
