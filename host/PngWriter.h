// A minimal PNG encoder: 8-bit RGBA, no filtering, the image data kept in
// stored (uncompressed) deflate blocks. Enough for a faithful picture file.
#pragma once

#include <cstdint>
#include <vector>

namespace vantrel::host {

// rgba holds width * height pixels, rows top to bottom, bytes R, G, B, A.
std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgba);

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);
std::uint32_t adler32(const std::uint8_t* data, std::size_t size);

}  // namespace vantrel::host
