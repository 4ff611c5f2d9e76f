#include "tests/oracle/Agreement.h"

#include <gtest/gtest.h>

#include "decode/Decoder.h"
#include "decode/Premultiply.h"
#include "iff/Parser.h"
#include "tests/oracle/ReferenceDecoder.h"
#include "tests/support/GuardedBuffer.h"
#include "tests/support/SimdTiers.h"

namespace vantrel {
namespace {

using test::Bytes;
using test::GuardedBuffer;

// Decodes with the fast decoder under guard pages and compares, then
// premultiplies both; returns false after the first difference.
bool sameAsReference(const ImageInfo& info, const std::vector<std::uint32_t>& reference, std::size_t count,
                     const std::string& what) {
    GuardedBuffer fast(count * 4);
    std::vector<std::uint32_t> expected = reference;
    auto* pixels = reinterpret_cast<std::uint32_t*>(fast.data());
    for (std::size_t i = 0; i < count; ++i) pixels[i] = 0xA5A5A5A5u;
    decodePicture(info, pixels);
    for (std::size_t i = 0; i < count; ++i) {
        if (pixels[i] != expected[i]) {
            ADD_FAILURE() << what << ": pixel " << i << " is " << std::hex << pixels[i] << ", reference "
                          << expected[i];
            return false;
        }
    }
    // What the record proves: every pixel opaque, or (its colours opaque) every
    // pixel opaque or cleared to 0, in which case the premultiplied decode
    // skips premultiplying. provesOpaque implies provesOpaqueColours.
    if (provesOpaqueColours(info)) {
        const bool clearAllowed = !provesOpaque(info);
        for (std::size_t i = 0; i < count; ++i) {
            if ((pixels[i] >> 24) != 0xFF && !(clearAllowed && pixels[i] == 0)) {
                ADD_FAILURE() << what << ": " << (clearAllowed ? "colours taken as opaque" : "taken as opaque")
                              << ", but pixel " << i << " is " << std::hex << pixels[i];
                return false;
            }
        }
    }
    premultiplyPicture(info, pixels);
    reference::premultiplyPixels(expected.data(), count);
    for (std::size_t i = 0; i < count; ++i) {
        if (pixels[i] != expected[i]) {
            ADD_FAILURE() << what << ": premultiplied pixel " << i << " differs";
            return false;
        }
    }
    // Premultiplied while decoding, over what the straight decode left.
    decodePicture(info, pixels, Alpha::Premultiplied);
    for (std::size_t i = 0; i < count; ++i) {
        if (pixels[i] != expected[i]) {
            ADD_FAILURE() << what << ": pixel " << i << " of the premultiplied decode is " << std::hex << pixels[i]
                          << ", reference " << expected[i];
            return false;
        }
    }
    return true;
}

}  // namespace

bool decodersAgree(const Bytes& file, const std::string& what, PixelMode* mode) {
    return decodersAgreeAt(test::tiersHere(), file, what, mode);
}

bool decodersAgreeAt(const std::vector<SimdLevel>& tiers, const Bytes& file, const std::string& what,
                     PixelMode* mode) {
    const GuardedBuffer input(file);
    ImageInfo info{};
    if (!parsePicture(info, input.begin(), input.end())) return false;
    if (mode != nullptr) *mode = info.pixelMode;
    const OutputSize size = outputSize(info);
    const std::size_t count = std::size_t{size.width} * size.height;
    if (count == 0) return true;
    std::vector<std::uint32_t> expected(count, 0x5A5A5A5Au);
    reference::decodePicture(info, expected.data());
    for (SimdLevel tier : tiers) {
        const test::TierCap cap(tier);
        if (!sameAsReference(info, expected, count, what + " at " + simdLevelName(tier))) break;
    }
    return true;
}

}  // namespace vantrel
