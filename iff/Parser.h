// The IFF picture parser: a zero-copy, allocation-free walk over the chunks of
// one "FORM" held in memory.
#pragma once

#include "iff/ImageInfo.h"

namespace vantrel {

// Decides whether the bytes [begin, end) hold a picture this system can show
// and, if so, describes it in info with its pixel mode chosen. Reads nothing
// outside [begin, end), whatever the sizes in the file claim. On false the
// record holds whatever the walk had written and must not be used.
bool parsePicture(ImageInfo& info, const std::uint8_t* begin, const std::uint8_t* end);

// Chooses the decode path from what the chunk walk gathered; false when the
// gathered chunks make no showable picture. Writes pixelMode only on success,
// and clears palette for the true-colour modes.
bool selectPixelMode(ImageInfo& info);

}  // namespace vantrel
