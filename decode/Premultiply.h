// Premultiplied alpha, as the Windows Shell and image scalers expect it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// Scales blue, green and red of every 0xAARRGGBB word by its alpha, rounding
// as (x + (x >> 8) + 1) >> 8 with x = byte * alpha; the alpha byte is kept.
// Opaque pixels are unchanged and fully transparent ones become 0.
void premultiplyPixels(std::uint32_t* pixels, std::size_t count);

}  // namespace vantrel
