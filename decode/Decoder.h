// The picture decoder: turns a parsed ImageInfo and the bytes it points into
// into 32-bit pixel words 0xAARRGGBB (straight alpha), bottom-up. It makes no
// platform call, allocates nothing and cannot fail.
#pragma once

#include <cstdint>

#include "iff/ImageInfo.h"

namespace vantrel {

struct OutputSize {
    std::uint32_t width;
    std::uint32_t height;
};

// The thumbnail's size: the picture's own, or paletteSize x 1 for a palette
// strip (0 x 1 when the colour map is empty).
OutputSize outputSize(const ImageInfo& info);

// Fills the 256-entry working palette from the colour map as the mode needs.
// All 256 entries are first set to 0, so an entry that nothing sets reads as
// transparent black.
void buildBasePalette(const ImageInfo& info, std::uint32_t* workingPalette);

// Straight alpha, or premultiplied as premultiplyPixels would leave it.
enum class Alpha : std::uint8_t { Straight, Premultiplied };

// Writes every one of the outputSize(info) pixel words at pixels exactly once.
// File row r lands in memory row height - 1 - r. info must come from a
// successful parsePicture over bytes that are still readable. Premultiplied
// output is premultiplied row by row as it is decoded.
void decodePicture(const ImageInfo& info, std::uint32_t* pixels, Alpha alpha);
void decodePicture(const ImageInfo& info, std::uint32_t* pixels);

}  // namespace vantrel
