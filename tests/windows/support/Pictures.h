// Small test pictures, and what the handler should make of a picture file:
// the core decoder's pixels, premultiplied, read back from a bitmap.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <vector>

#include "tests/support/IffBuilder.h"

namespace vantrel::test {

// "ILBM", 5 x 3, 2 planes and a mask plane, ByteRun1: opaque colours and
// masked-out (transparent) pixels.
Bytes maskedPicture();
// "ILBM", 3 x 2, 32 planes of colour with alpha: values as 0xAARRGGBB words.
Bytes trueColourPicture(const std::vector<std::uint32_t>& argb, unsigned width, unsigned height);
// "ILBM", 4 x 3, 1 plane: the top row red, the rows below it blue.
Bytes redTopRowPicture();
// "ILBM" with no planes: its colour map shown as a strip (empty map allowed).
Bytes paletteStripPicture(const std::vector<std::uint32_t>& rgb);

// The thumbnail the handler should deliver for these file bytes: the core
// decoder's pixel words, bottom-up, premultiplied. Empty when the core rejects it.
std::vector<std::uint32_t> expectedThumbnail(const Bytes& file);

struct BitmapContents {
    LONG width = 0;
    LONG height = 0;        // as the bitmap header reports it
    WORD bitsPerPixel = 0;
    std::vector<std::uint32_t> pixels;  // in memory order
};

// What GetObject says about a DIB section, and a copy of its pixel words.
BitmapContents readBitmap(HBITMAP bitmap);

}  // namespace vantrel::test
