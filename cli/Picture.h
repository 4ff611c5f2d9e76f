// One picture file: mapped, parsed, and decoded on request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/MappedFile.h"
#include "iff/ImageInfo.h"

namespace vantrel::cli {

struct Picture {
    MappedFile file;
    ImageInfo info{};
};

// Parses the bytes [begin, end) into info; on failure says why in the user's
// terms. info points into the bytes, which must outlive it.
bool parseBytes(const std::uint8_t* begin, const std::uint8_t* end, ImageInfo& info, std::string& error);

// Maps and parses the file; on failure says why in the user's terms.
bool loadPicture(const std::string& path, Picture& picture, std::string& error);

// Rows of 0xAARRGGBB words, addressed top row first whatever the memory order.
struct PixelView {
    const std::uint32_t* top;  // the top row of the picture
    std::ptrdiff_t stride;     // words from one row to the row below; negative when stored bottom-up
    std::uint32_t width;
    std::uint32_t height;

    const std::uint32_t* row(std::uint32_t y) const { return top + stride * static_cast<std::ptrdiff_t>(y); }
};

// The decoder's output: straight alpha, bottom-up, as decodePicture writes it.
struct DecodedPicture {
    std::vector<std::uint32_t> words;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    PixelView view() const;
};

// Decodes a parsed picture; fails only when there is nothing to show (a
// colour map without entries).
bool decodeToPixels(const ImageInfo& info, DecodedPicture& out, std::string& error);

}  // namespace vantrel::cli
