// The fast decoder held to the reference decoder at every instruction-set
// tier this machine runs.
#pragma once

#include <string>
#include <vector>

#include "decode/Simd.h"
#include "iff/ImageInfo.h"
#include "tests/support/IffBuilder.h"

namespace vantrel {

// Parses the file and, when it is a picture, decodes it with the reference
// decoder and with the fast one at every tier this machine runs (see
// tests/support/SimdTiers.h), into outputs prefilled with different
// patterns, so a pixel left unwritten shows as a difference; the file and the
// fast output sit flush against inaccessible pages. Differences are reported
// as test failures naming what and the tier. Returns false when the file is
// not a picture.
bool decodersAgree(const test::Bytes& file, const std::string& what, PixelMode* mode = nullptr);

// The same at the given tiers only.
bool decodersAgreeAt(const std::vector<SimdLevel>& tiers, const test::Bytes& file, const std::string& what,
                     PixelMode* mode = nullptr);

}  // namespace vantrel
