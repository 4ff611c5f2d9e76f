// The plain decoder kept as a reference: one pixel and one plane at a time,
// written for clarity rather than speed. The fast decoder in decode/ must give
// byte-for-byte the same pixels on every input.
#pragma once

#include <cstddef>
#include <cstdint>

#include "iff/ImageInfo.h"

namespace vantrel::reference {

// Same contract as vantrel::decodePicture: writes every output pixel once,
// bottom-up, straight alpha.
void decodePicture(const ImageInfo& info, std::uint32_t* pixels);

// Same contract as vantrel::premultiplyPixels.
void premultiplyPixels(std::uint32_t* pixels, std::size_t count);

}  // namespace vantrel::reference
