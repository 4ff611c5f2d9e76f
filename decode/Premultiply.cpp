#include "decode/Premultiply.h"

namespace vantrel {
namespace {

std::uint32_t scaleByte(std::uint32_t byte, std::uint32_t alpha) {
    const std::uint32_t x = byte * alpha;
    return (x + (x >> 8) + 1) >> 8;
}

}  // namespace

void premultiplyPixels(std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint32_t alpha = p >> 24;
        if (alpha == 0xFF) continue;  // opaque: nothing changes
        pixels[i] = alpha << 24 | scaleByte((p >> 16) & 0xFF, alpha) << 16 | scaleByte((p >> 8) & 0xFF, alpha) << 8 |
                    scaleByte(p & 0xFF, alpha);
    }
}

}  // namespace vantrel
