#include "decode/Premultiply.h"

#include "decode/Decoder.h"

#if defined(__SSE2__) || defined(_M_X64)
#define VANTREL_PREMULTIPLY_SSE2 1
#include <emmintrin.h>
#endif

namespace vantrel {
namespace {

std::uint32_t scaleByte(std::uint32_t byte, std::uint32_t alpha) {
    const std::uint32_t x = byte * alpha;
    return (x + (x >> 8) + 1) >> 8;
}

std::uint32_t premultiplied(std::uint32_t p) {
    const std::uint32_t alpha = p >> 24;
    if (alpha == 0xFF) return p;  // opaque: nothing changes
    return alpha << 24 | scaleByte((p >> 16) & 0xFF, alpha) << 16 | scaleByte((p >> 8) & 0xFF, alpha) << 8 |
           scaleByte(p & 0xFF, alpha);
}

#if VANTREL_PREMULTIPLY_SSE2

// Two pixels widened to 16-bit lanes, each byte times its pixel's alpha with
// the same rounding as scaleByte; every product fits in 16 bits. An opaque
// pixel comes out unchanged, so blocks need not be split by alpha.
__m128i scaleTwo(__m128i wide) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(wide, 0xFF), 0xFF);
    const __m128i x = _mm_mullo_epi16(wide, alpha);
    const __m128i rounded = _mm_add_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), _mm_set1_epi16(1));
    return _mm_srli_epi16(rounded, 8);
}

void premultiplyFour(std::uint32_t* pixels) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pixels));
    const __m128i zero = _mm_setzero_si128();
    const __m128i scaled = _mm_packus_epi16(scaleTwo(_mm_unpacklo_epi8(p, zero)), scaleTwo(_mm_unpackhi_epi8(p, zero)));
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i result = _mm_or_si128(_mm_andnot_si128(alphaBytes, scaled), _mm_and_si128(alphaBytes, p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels), result);
}

bool allOpaque(const std::uint32_t* pixels) {
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    const __m128i* p = reinterpret_cast<const __m128i*>(pixels);
    const __m128i both = _mm_and_si128(_mm_and_si128(_mm_loadu_si128(p), _mm_loadu_si128(p + 1)),
                                       _mm_and_si128(_mm_loadu_si128(p + 2), _mm_loadu_si128(p + 3)));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(_mm_and_si128(both, opaque), opaque)) == 0xFFFF;
}

// Sixteen pixels per step; a block of opaque pixels is only read.
std::size_t premultiplyBlocks(std::uint32_t* pixels, std::size_t count) {
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        if (allOpaque(pixels + i)) continue;
        for (std::size_t k = 0; k < 16; k += 4) premultiplyFour(pixels + i + k);
    }
    return i;
}

#else

// Eight pixels per step; a block whose alphas are all 0xFF is only read.
std::size_t premultiplyBlocks(std::uint32_t* pixels, std::size_t count) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        std::uint32_t all = pixels[i];
        for (std::size_t k = 1; k < 8; ++k) all &= pixels[i + k];
        if ((all >> 24) == 0xFF) continue;
        for (std::size_t k = 0; k < 8; ++k) pixels[i + k] = premultiplied(pixels[i + k]);
    }
    return i;
}

#endif

// ---- What a record proves ----

bool masksPixels(const ImageInfo& info) {
    if (info.masking == 2) return true;
    return info.masking == 1 && info.formType != FormType::Pbm;  // a "PBM " has no mask plane
}

// Working palette entries 0 up to the result are opaque: those the colour map
// sets, and entries 0 to 15 when line palettes are loaded on every row.
unsigned opaqueEntries(const ImageInfo& info) {
    unsigned fromColourMap = 0;
    switch (info.pixelMode) {
        case PixelMode::Indexed: fromColourMap = info.paletteSize < 256 ? info.paletteSize : 256; break;
        case PixelMode::HalfBrite: fromColourMap = 64; break;  // 32 taken and their halves
        case PixelMode::Ham6: fromColourMap = 16; break;
        case PixelMode::Ham8: fromColourMap = 64; break;
        default: break;
    }
    const bool linePalettes = info.linePalettes != nullptr && info.linePaletteCount != 0;
    return linePalettes && fromColourMap < 16 ? 16 : fromColourMap;
}

// Entries 0 up to the result are all that pixel values can look up: a "PBM "
// byte is not limited to the plane count; hold-and-modify looks up only the
// values whose control bits are 0, and starts every row from entry 0.
unsigned reachableEntries(const ImageInfo& info) {
    switch (info.pixelMode) {
        case PixelMode::Ham6:
        case PixelMode::LineHam6: return 16;
        case PixelMode::Ham8: return 64;
        default: return info.formType == FormType::Pbm ? 256 : 1u << info.planeCount;
    }
}

}  // namespace

bool provesOpaque(const ImageInfo& info) {
    switch (info.pixelMode) {
        case PixelMode::PaletteStrip: return true;
        case PixelMode::Rgba32: return false;
        case PixelMode::Grey8:
        case PixelMode::Rgb24: return !masksPixels(info);
        default: return !masksPixels(info) && reachableEntries(info) <= opaqueEntries(info);
    }
}

void premultiplyPicture(const ImageInfo& info, std::uint32_t* pixels) {
    if (provesOpaque(info)) return;
    const OutputSize size = outputSize(info);
    premultiplyPixels(pixels, std::size_t{size.width} * size.height);
}

void premultiplyPixels(std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = premultiplyBlocks(pixels, count); i < count; ++i) pixels[i] = premultiplied(pixels[i]);
}

}  // namespace vantrel
