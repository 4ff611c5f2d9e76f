// Premultiplied alpha, as the Windows Shell and image scalers expect it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "iff/ImageInfo.h"

namespace vantrel {

// Scales blue, green and red of every 0xAARRGGBB word by its alpha, rounding
// as (x + (x >> 8) + 1) >> 8 with x = byte * alpha; the alpha byte is kept.
// Opaque pixels are unchanged and fully transparent ones become 0.
void premultiplyPixels(std::uint32_t* pixels, std::size_t count);

// True when the record alone shows that decodePicture writes only opaque
// pixels: no mask applies and every colour the mode can reach is set from the
// colour map, a line palette, a grey level or 24-bit colour.
bool provesOpaque(const ImageInfo& info);

// True when every colour the mode can reach is opaque, as for provesOpaque,
// though a mask may still clear pixels: those become 0, which premultiplying
// leaves as it is, so such a picture needs no premultiplying either.
bool provesOpaqueColours(const ImageInfo& info);

// premultiplyPixels over the outputSize(info) pixels that decodePicture wrote,
// skipped when provesOpaque(info): the result is the same either way.
void premultiplyPicture(const ImageInfo& info, std::uint32_t* pixels);

}  // namespace vantrel
