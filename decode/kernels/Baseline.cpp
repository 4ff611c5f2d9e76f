// The baseline tier: SSE2, which every x86-64 processor has, and plain C++
// on other processors.
#include "decode/kernels/Portable.h"
#include "decode/kernels/Tiers.h"

#if VANTREL_X86_64
#include <emmintrin.h>

#include "decode/kernels/Sse2Planes.h"
#endif

namespace vantrel::kernels {
namespace {

#if VANTREL_X86_64

__m128i load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
void store128(void* p, __m128i v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }

// ---- ByteRun1 ----

struct Sse2Ops {
    static constexpr std::uint32_t width = 16;
    static __m128i spread(std::uint8_t v) { return _mm_set1_epi8(static_cast<char>(v)); }
    static void copy(std::uint8_t* to, const std::uint8_t* from) { store128(to, load128(from)); }
    static void store(std::uint8_t* p, __m128i v) { store128(p, v); }
};

std::uint8_t* unpackRuns(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                         const std::uint8_t* rowEnd) {
    return portable::unpackRunsBlocks<Sse2Ops>(position, safeEnd, out, rowEnd);
}

// ---- Bit planes to chunky ----

void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                    std::uint32_t planeRowBytes, std::uint8_t* out) {
    sse2::planesToChunkyFrom<sse2::RegisterTurn>(plane0, stride, planes, 0, groups, planeRowBytes, out);
}

// ---- Palette lookup ----

// Palettes of up to 32 entries also as pairs, which halves the loads and
// stores of a lookup; a larger or partly changed palette leaves none, and so
// does one that serves too few pixels to repay building count * count pairs
// (a line palette of 16 entries on rows of 320 pixels was 8 to 11% slower
// with them; on rows of 640 the same).
void preparePalette(LookupTables& t, unsigned count) {
    t.pairEntries = 0;
    if (count > pairedEntries || t.pixelsPerPalette < 2 * count * count) return;
    for (unsigned b = 0; b < count; ++b) {
        const __m128i high = _mm_set1_epi32(static_cast<int>(t.palette[b]));
        std::uint64_t* row = t.pairs + b * pairedEntries;
        for (unsigned a = 0; a < count; a += 4) {
            const __m128i low = load128(t.palette + a);
            store128(row + a, _mm_unpacklo_epi32(low, high));
            store128(row + a + 2, _mm_unpackhi_epi32(low, high));
        }
    }
    t.pairEntries = count;
}

template <bool Streaming>
void store4(std::uint32_t* out, __m128i four) {
    if constexpr (Streaming) {
        _mm_stream_si128(reinterpret_cast<__m128i*>(out), four);
    } else {
        store128(out, four);
    }
}

__m128i pairAt(const LookupTables& t, unsigned index) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(t.pairs + index));
}

// Sixteen pixels from eight pairs: each two values become a pair index
// a | b << 5 in one 16-bit lane, and the indices are read from two general
// registers. Only the low 5 bits of a value are taken, so no index leaves the
// table whatever the values.
template <bool Streaming>
std::uint32_t convertPairs(const std::uint8_t* values, const LookupTables& t, std::uint32_t x, std::uint32_t width,
                           std::uint32_t* out) {
    for (; x + 16 <= width; x += 16) {
        const __m128i v = load128(values + x);
        const __m128i index = _mm_or_si128(_mm_and_si128(v, _mm_set1_epi16(0x1F)),
                                           _mm_and_si128(_mm_srli_epi16(v, 3), _mm_set1_epi16(0x3E0)));
        const std::uint64_t low = static_cast<std::uint64_t>(_mm_cvtsi128_si64(index));
        const std::uint64_t high = static_cast<std::uint64_t>(_mm_cvtsi128_si64(_mm_unpackhi_epi64(index, index)));
        const auto at = [&](std::uint64_t four, unsigned k) {
            return pairAt(t, static_cast<unsigned>(four >> (16 * k)) & 0x3FF);
        };
        store4<Streaming>(out + x, _mm_unpacklo_epi64(at(low, 0), at(low, 1)));
        store4<Streaming>(out + x + 4, _mm_unpacklo_epi64(at(low, 2), at(low, 3)));
        store4<Streaming>(out + x + 8, _mm_unpacklo_epi64(at(high, 0), at(high, 1)));
        store4<Streaming>(out + x + 12, _mm_unpacklo_epi64(at(high, 2), at(high, 3)));
    }
    for (; x + 2 <= width; x += 2) {
        const unsigned index = (values[x] & 0x1Fu) | (values[x + 1] & 0x1Fu) << 5;
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + x), pairAt(t, index));
    }
    return x;
}

// Four lookups per 16-byte store, sixteen pixels per step to keep many loads
// in flight, or eight pairs per four stores where the palette has them. The
// streaming form writes aligned 16-byte blocks with streaming stores, which
// skip reading each output line into the cache first; a row starts with
// single words until it has that alignment.
template <bool Streaming>
void convertIndexedRow(const std::uint8_t* values, const LookupTables& t, unsigned entries, std::uint32_t width,
                       std::uint32_t* out) {
    const std::uint32_t* palette = t.palette;
    std::uint32_t x = 0;
    for (; Streaming && x < width && (reinterpret_cast<std::uintptr_t>(out + x) & 15) != 0; ++x)
        out[x] = palette[values[x]];
    if (entries <= t.pairEntries) x = convertPairs<Streaming>(values, t, x, width, out);
    const auto fourEntries = [palette](std::uint64_t valueBytes) {
        const auto entry = [&](unsigned i) { return _mm_cvtsi32_si128(static_cast<int>(palette[(valueBytes >> (8 * i)) & 0xFF])); };
        return _mm_unpacklo_epi64(_mm_unpacklo_epi32(entry(0), entry(1)), _mm_unpacklo_epi32(entry(2), entry(3)));
    };
    for (; x + 16 <= width; x += 16) {
        const std::uint64_t low = portable::load64(values + x), high = portable::load64(values + x + 8);
        store4<Streaming>(out + x, fourEntries(low));
        store4<Streaming>(out + x + 4, fourEntries(low >> 32));
        store4<Streaming>(out + x + 8, fourEntries(high));
        store4<Streaming>(out + x + 12, fourEntries(high >> 32));
    }
    for (; x < width; ++x) out[x] = palette[values[x]];
}

// ---- True colour ----

// Sixteen pixels from 16 bytes of each channel.
void interleaveSixteen(__m128i blue, __m128i green, __m128i red, __m128i alpha, std::uint32_t* out) {
    const __m128i lowBG = _mm_unpacklo_epi8(blue, green), highBG = _mm_unpackhi_epi8(blue, green);
    const __m128i lowRA = _mm_unpacklo_epi8(red, alpha), highRA = _mm_unpackhi_epi8(red, alpha);
    store128(out, _mm_unpacklo_epi16(lowBG, lowRA));
    store128(out + 4, _mm_unpackhi_epi16(lowBG, lowRA));
    store128(out + 8, _mm_unpacklo_epi16(highBG, highRA));
    store128(out + 12, _mm_unpackhi_epi16(highBG, highRA));
}

void convertPlanarRgb(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                      std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    const __m128i opaque = _mm_set1_epi8(-1);
    for (; x + 16 <= width; x += 16) interleaveSixteen(load128(blue + x), load128(green + x), load128(red + x), opaque, out + x);
    portable::convertPlanarRgb(red + x, green + x, blue + x, width - x, out + x);
}

void convertPlanarRgba(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                       const std::uint8_t* alpha, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16)
        interleaveSixteen(load128(blue + x), load128(green + x), load128(red + x), load128(alpha + x), out + x);
    portable::convertPlanarRgba(red + x, green + x, blue + x, alpha + x, width - x, out + x);
}

// Alpha, blue, green, red bytes to 0xAARRGGBB: each word rotated by 8 bits
// and its two middle bytes swapped with the outer colour ones.
void convertChunkyRgba(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    const __m128i lowByte = _mm_set1_epi32(0xFF), thirdByte = _mm_set1_epi32(0xFF0000);
    const __m128i secondByte = _mm_set1_epi32(0xFF00);
    for (; x + 4 <= width; x += 4) {
        const __m128i p = load128(row + 4 * x);  // a b g r per word, a lowest
        const __m128i alpha = _mm_slli_epi32(_mm_and_si128(p, lowByte), 24);
        const __m128i blue = _mm_and_si128(_mm_srli_epi32(p, 8), lowByte);
        const __m128i green = _mm_and_si128(p, thirdByte);
        const __m128i red = _mm_and_si128(_mm_srli_epi32(p, 8), thirdByte);
        const __m128i greenDown = _mm_and_si128(_mm_srli_epi32(green, 8), secondByte);
        store128(out + x, _mm_or_si128(_mm_or_si128(alpha, red), _mm_or_si128(greenDown, blue)));
    }
    portable::convertChunkyRgba(row + 4 * x, width - x, out + x);
}

// ---- Masks ----

void applyMaskPlane(const std::uint8_t* maskBits, std::uint32_t width, std::uint32_t* out) {
    const __m128i highBits = _mm_set_epi32(0x10, 0x20, 0x40, 0x80), lowBits = _mm_set_epi32(1, 2, 4, 8);
    std::uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const int bits = maskBits[x >> 3];
        if (bits == 0xFF) continue;
        const __m128i spread = _mm_set1_epi32(bits);
        const __m128i keepLow = _mm_cmpeq_epi32(_mm_and_si128(spread, highBits), highBits);
        const __m128i keepHigh = _mm_cmpeq_epi32(_mm_and_si128(spread, lowBits), lowBits);
        store128(out + x, _mm_and_si128(load128(out + x), keepLow));
        store128(out + x + 4, _mm_and_si128(load128(out + x + 4), keepHigh));
    }
    portable::applyMaskPlane(maskBits + (x >> 3), width - x, out + x);
}

void clearValue(const std::uint8_t* values, std::uint8_t value, std::uint32_t width, std::uint32_t* out) {
    const __m128i wanted = _mm_set1_epi8(static_cast<char>(value));
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i hit = _mm_cmpeq_epi8(load128(values + x), wanted);
        if (_mm_movemask_epi8(hit) == 0) continue;
        const __m128i low = _mm_unpacklo_epi8(hit, hit), high = _mm_unpackhi_epi8(hit, hit);
        const __m128i words[4] = {_mm_unpacklo_epi16(low, low), _mm_unpackhi_epi16(low, low),
                                  _mm_unpacklo_epi16(high, high), _mm_unpackhi_epi16(high, high)};
        for (unsigned k = 0; k < 4; ++k) store128(out + x + 4 * k, _mm_andnot_si128(words[k], load128(out + x + 4 * k)));
    }
    portable::clearValue(values + x, value, width - x, out + x);
}

// ---- Premultiply ----

// Two pixels widened to 16-bit lanes, each byte times its pixel's alpha with
// the same rounding as the portable form; every product fits in 16 bits. An
// opaque pixel comes out unchanged, so blocks need not be split by alpha.
__m128i scaleTwo(__m128i wide) {
    const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(wide, 0xFF), 0xFF);
    const __m128i x = _mm_mullo_epi16(wide, alpha);
    const __m128i rounded = _mm_add_epi16(_mm_add_epi16(x, _mm_srli_epi16(x, 8)), _mm_set1_epi16(1));
    return _mm_srli_epi16(rounded, 8);
}

__m128i premultiplyFour(__m128i p) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i scaled = _mm_packus_epi16(scaleTwo(_mm_unpacklo_epi8(p, zero)), scaleTwo(_mm_unpackhi_epi8(p, zero)));
    const __m128i alphaBytes = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    return _mm_or_si128(_mm_andnot_si128(alphaBytes, scaled), _mm_and_si128(alphaBytes, p));
}

// Eight pixels per step; a block of opaque pixels is only read.
void premultiply(std::uint32_t* pixels, std::size_t count) {
    const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i a = load128(pixels + i), b = load128(pixels + i + 4);
        const __m128i both = _mm_and_si128(_mm_and_si128(a, b), opaque);
        if (_mm_movemask_epi8(_mm_cmpeq_epi32(both, opaque)) == 0xFFFF) continue;
        // Pixels that are opaque or clear, as masks leave them: the clear ones
        // become 0. An alpha is 0 or 255 when it is its own sign extended.
        const __m128i signA = _mm_srai_epi32(a, 31), signB = _mm_srai_epi32(b, 31);
        const __m128i bare = _mm_and_si128(_mm_cmpeq_epi32(_mm_srai_epi32(a, 24), signA),
                                           _mm_cmpeq_epi32(_mm_srai_epi32(b, 24), signB));
        if (_mm_movemask_epi8(bare) == 0xFFFF) {
            store128(pixels + i, _mm_and_si128(a, signA));
            store128(pixels + i + 4, _mm_and_si128(b, signB));
            continue;
        }
        store128(pixels + i, premultiplyFour(a));
        store128(pixels + i + 4, premultiplyFour(b));
    }
    portable::premultiply(pixels + i, count - i);
}

void finishStreaming() { _mm_sfence(); }

#endif

}  // namespace

#if VANTREL_X86_64
const RowKernels baselineKernels{unpackRuns,
                                 planesToChunky,
                                 preparePalette,
                                 portable::preparePaletteNothing,
                                 convertIndexedRow<false>,
                                 convertIndexedRow<true>,
                                 portable::convertHold,
                                 convertPlanarRgb,
                                 convertPlanarRgba,
                                 portable::convertChunkyRgb,
                                 convertChunkyRgba,
                                 applyMaskPlane,
                                 clearValue,
                                 premultiply,
                                 finishStreaming};
#else
const RowKernels baselineKernels{portable::unpackRuns,
                                 portable::planesToChunky,
                                 portable::preparePaletteNothing,
                                 portable::preparePaletteNothing,
                                 portable::convertIndexed,
                                 portable::convertIndexed,
                                 portable::convertHold,
                                 portable::convertPlanarRgb,
                                 portable::convertPlanarRgba,
                                 portable::convertChunkyRgb,
                                 portable::convertChunkyRgba,
                                 portable::applyMaskPlane,
                                 portable::clearValue,
                                 portable::premultiply,
                                 portable::finishNothing};
#endif

}  // namespace vantrel::kernels
