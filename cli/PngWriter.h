// PNG output through libpng: 8-bit RGB for an opaque picture, RGBA with
// straight (not premultiplied) alpha otherwise, top row first.
#pragma once

#include <cstdio>
#include <string>

#include "cli/Picture.h"

namespace vantrel::cli {

bool isOpaque(const PixelView& view);

// Writes the pixel words of view to stream as they are, without a copy of the
// image; on failure says why.
bool writePng(std::FILE* stream, const PixelView& view, std::string& error);

}  // namespace vantrel::cli
