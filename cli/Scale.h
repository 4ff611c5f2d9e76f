// Shrinking a picture to thumbnail size by area averaging, through pixman.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/Picture.h"

namespace vantrel::cli {

struct ThumbnailSize {
    std::uint32_t width;
    std::uint32_t height;
};

// The size that fits within box x box keeping the aspect ratio (rounded, at
// least 1 pixel each way); a picture that already fits keeps its own size.
ThumbnailSize fitWithin(std::uint32_t width, std::uint32_t height, std::uint32_t box);

// Area-averages premultiplied pixels down to size; out receives size.width x
// size.height premultiplied words, top row first.
bool scaleDown(const PixelView& premultiplied, ThumbnailSize size, std::vector<std::uint32_t>& out,
               std::string& error);

// Undoes premultiplication for a file that stores straight alpha.
void unpremultiplyPixels(std::uint32_t* pixels, std::size_t count);

}  // namespace vantrel::cli
