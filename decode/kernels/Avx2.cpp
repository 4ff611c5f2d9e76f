// The AVX2 tier (with BMI2), for processors without AVX-512: bit planes are
// turned into chunky bytes 256 pixels at a time, palettes of up to 64 entries
// are looked up split by byte with vpshufb, larger ones with one load per
// pixel, and ByteRun1 runs are stored 32 bytes at a time. This file is built
// for AVX2 and its kernels are called only on processors that have it.
#include "decode/kernels/Portable.h"
#include "decode/kernels/Tiers.h"

#if VANTREL_X86_64
#include <immintrin.h>

namespace vantrel::kernels {
namespace {

__m256i load256(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
void store256(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
__m128i load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// ---- ByteRun1 ----

struct Avx2Ops {
    static constexpr std::uint32_t width = 32;
    static __m256i spread(std::uint8_t v) { return _mm256_set1_epi8(static_cast<char>(v)); }
    static void copy(std::uint8_t* to, const std::uint8_t* from) { store256(to, load256(from)); }
    static void store(std::uint8_t* p, __m256i v) { store256(p, v); }
};

std::uint8_t* unpackRuns(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                         const std::uint8_t* rowEnd) {
    return portable::unpackRunsBlocks<Avx2Ops>(position, safeEnd, out, rowEnd);
}

// ---- Bit planes to chunky ----

// Flips each 64-bit lane about its anti-diagonal: bit c of byte r moves to
// bit 7 - r of byte 7 - c.
__m256i flipAntiDiagonal(__m256i x) {
    const __m256i k4 = _mm256_set1_epi64x(static_cast<long long>(0xF0F0F0F00F0F0F0Full));
    const __m256i k2 = _mm256_set1_epi64x(static_cast<long long>(0xCCCC0000CCCC0000ull));
    const __m256i k1 = _mm256_set1_epi64x(static_cast<long long>(0xAA00AA00AA00AA00ull));
    __m256i t = _mm256_xor_si256(x, _mm256_slli_epi64(x, 36));
    x = _mm256_xor_si256(x, _mm256_and_si256(k4, _mm256_xor_si256(t, _mm256_srli_epi64(x, 36))));
    t = _mm256_and_si256(k2, _mm256_xor_si256(x, _mm256_slli_epi64(x, 18)));
    x = _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_srli_epi64(t, 18)));
    t = _mm256_and_si256(k1, _mm256_xor_si256(x, _mm256_slli_epi64(x, 9)));
    return _mm256_xor_si256(x, _mm256_xor_si256(t, _mm256_srli_epi64(t, 9)));
}

// The two 128-bit lanes work on plane bytes 0 to 15 and 16 to 31: pixels
// 0 to 127 and 128 to 255. Each pair of flipped vectors holds 32 chunky bytes
// of each half; their lanes are regrouped so that each store is contiguous.
void storeFlipped(std::uint8_t* out, __m256i low, __m256i high) {
    const __m256i first = flipAntiDiagonal(_mm256_unpacklo_epi32(low, high));
    const __m256i second = flipAntiDiagonal(_mm256_unpackhi_epi32(low, high));
    store256(out, _mm256_permute2x128_si256(first, second, 0x20));
    store256(out + 128, _mm256_permute2x128_si256(first, second, 0x31));
}

// Eight plane registers, plane 7 - k in r[k], interleaved so that each
// 64-bit lane holds one byte of every plane, plane j in byte 7 - j; the flip
// then leaves pixel i in byte i with plane j in bit j. The low lanes give
// out[0..127], the high lanes out[128..255].
void transposeStore(const __m256i (&r)[8], std::uint8_t* out) {
    const __m256i a0 = _mm256_unpacklo_epi8(r[0], r[1]), a1 = _mm256_unpackhi_epi8(r[0], r[1]);
    const __m256i b0 = _mm256_unpacklo_epi8(r[2], r[3]), b1 = _mm256_unpackhi_epi8(r[2], r[3]);
    const __m256i c0 = _mm256_unpacklo_epi8(r[4], r[5]), c1 = _mm256_unpackhi_epi8(r[4], r[5]);
    const __m256i d0 = _mm256_unpacklo_epi8(r[6], r[7]), d1 = _mm256_unpackhi_epi8(r[6], r[7]);
    storeFlipped(out, _mm256_unpacklo_epi16(a0, b0), _mm256_unpacklo_epi16(c0, d0));
    storeFlipped(out + 32, _mm256_unpackhi_epi16(a0, b0), _mm256_unpackhi_epi16(c0, d0));
    storeFlipped(out + 64, _mm256_unpacklo_epi16(a1, b1), _mm256_unpacklo_epi16(c1, d1));
    storeFlipped(out + 96, _mm256_unpackhi_epi16(a1, b1), _mm256_unpackhi_epi16(c1, d1));
}

// 256 pixels from 32 bytes of each plane; missing planes read as zero.
void planesToChunky256(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint8_t* out) {
    __m256i r[8];
    for (unsigned k = 0; k < 8; ++k) {
        const unsigned j = 7 - k;
        r[k] = j < planes ? load256(plane0 + j * stride) : _mm256_setzero_si256();
    }
    transposeStore(r, out);
}

// 128 pixels from 16 bytes of each plane, by way of a buffer for the high
// lanes' unused half.
void planesToChunky128(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint8_t* out) {
    __m256i r[8];
    for (unsigned k = 0; k < 8; ++k) {
        const unsigned j = 7 - k;
        r[k] = j < planes ? _mm256_inserti128_si256(_mm256_setzero_si256(), load128(plane0 + j * stride), 0)
                          : _mm256_setzero_si256();
    }
    alignas(32) std::uint8_t both[256];
    transposeStore(r, both);
    for (unsigned i = 0; i < 128; i += 32) store256(out + i, load256(both + i));
}

void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                    std::uint32_t planeRowBytes, std::uint8_t* out) {
    std::uint32_t b = 0;
    for (; b < groups && b + 32 <= planeRowBytes; b += 32) planesToChunky256(plane0 + b, stride, planes, out + 8 * b);
    if (b < groups && b + 16 <= planeRowBytes) {
        planesToChunky128(plane0 + b, stride, planes, out + 8 * b);
        b += 16;
    }
    portable::planesToChunkyFrom(plane0, stride, planes, b, groups, out);
}

// ---- Palette lookup ----

// Thirty-two pixels from their blue, green, red and alpha bytes (pixels 0 to
// 15 in the low lanes, 16 to 31 in the high ones), stored in order.
template <bool Streaming>
void storeThirtyTwo(__m256i blue, __m256i green, __m256i red, __m256i alpha, std::uint32_t* out) {
    const __m256i lowBG = _mm256_unpacklo_epi8(blue, green), highBG = _mm256_unpackhi_epi8(blue, green);
    const __m256i lowRA = _mm256_unpacklo_epi8(red, alpha), highRA = _mm256_unpackhi_epi8(red, alpha);
    const __m256i w0 = _mm256_unpacklo_epi16(lowBG, lowRA), w1 = _mm256_unpackhi_epi16(lowBG, lowRA);
    const __m256i w2 = _mm256_unpacklo_epi16(highBG, highRA), w3 = _mm256_unpackhi_epi16(highBG, highRA);
    const __m256i parts[4] = {_mm256_permute2x128_si256(w0, w1, 0x20), _mm256_permute2x128_si256(w2, w3, 0x20),
                              _mm256_permute2x128_si256(w0, w1, 0x31), _mm256_permute2x128_si256(w2, w3, 0x31)};
    for (unsigned k = 0; k < 4; ++k) {
        if constexpr (Streaming) {
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + 8 * k), parts[k]);
        } else {
            store256(out + 8 * k, parts[k]);
        }
    }
}

// Byte k of up to 64 entries in blocks of 16, each block in both lanes.
template <unsigned Blocks>
struct ShuffleTables {
    __m256i block[4][Blocks];
};

template <unsigned Blocks>
ShuffleTables<Blocks> loadShuffleTables(const PaletteBytes& bytes) {
    ShuffleTables<Blocks> t;
    for (unsigned k = 0; k < 4; ++k)
        for (unsigned b = 0; b < Blocks; ++b) t.block[k][b] = _mm256_broadcastsi128_si256(load128(bytes.bytes[k] + 16 * b));
    return t;
}

// Thirty-two lookups of each byte: block b answers the values 16b to 16b + 15;
// for the others, the index is pushed to 0x80 or above, where vpshufb gives 0.
template <unsigned Blocks, bool Streaming>
void lookupThirtyTwo(__m256i values, const ShuffleTables<Blocks>& t, std::uint32_t* out) {
    __m256i bytes[4];
    for (unsigned k = 0; k < 4; ++k) bytes[k] = _mm256_shuffle_epi8(t.block[k][0], _mm256_adds_epu8(values, _mm256_set1_epi8(0x70)));
    for (unsigned b = 1; b < Blocks; ++b) {
        const __m256i index = _mm256_adds_epu8(_mm256_xor_si256(values, _mm256_set1_epi8(static_cast<char>(16 * b))),
                                               _mm256_set1_epi8(0x70));
        for (unsigned k = 0; k < 4; ++k) bytes[k] = _mm256_or_si256(bytes[k], _mm256_shuffle_epi8(t.block[k][b], index));
    }
    storeThirtyTwo<Streaming>(bytes[0], bytes[1], bytes[2], bytes[3], out);
}

template <unsigned Blocks, bool Streaming>
void convertShuffled(const std::uint8_t* values, const LookupTables& tables, std::uint32_t width, std::uint32_t* out) {
    const ShuffleTables<Blocks> t = loadShuffleTables<Blocks>(tables.paletteBytes);
    std::uint32_t x = 0;
    for (; Streaming && x < width && (reinterpret_cast<std::uintptr_t>(out + x) & 31) != 0; ++x)
        out[x] = tables.palette[values[x]];
    for (; x + 32 <= width; x += 32) lookupThirtyTwo<Blocks, Streaming>(load256(values + x), t, out + x);
    for (; x < width; ++x) out[x] = tables.palette[values[x]];
}

// Larger palettes: one load per pixel, eight words per 32-byte store.
template <bool Streaming>
void convertLoaded(const std::uint8_t* values, const LookupTables& tables, std::uint32_t width, std::uint32_t* out) {
    const std::uint32_t* palette = tables.palette;
    std::uint32_t x = 0;
    for (; Streaming && x < width && (reinterpret_cast<std::uintptr_t>(out + x) & 31) != 0; ++x)
        out[x] = palette[values[x]];
    for (; x + 8 <= width; x += 8) {
        const auto entry = [&](unsigned i) { return static_cast<int>(palette[values[x + i]]); };
        const __m256i eight = _mm256_setr_epi32(entry(0), entry(1), entry(2), entry(3), entry(4), entry(5), entry(6), entry(7));
        if constexpr (Streaming) {
            _mm256_stream_si256(reinterpret_cast<__m256i*>(out + x), eight);
        } else {
            store256(out + x, eight);
        }
    }
    for (; x < width; ++x) out[x] = palette[values[x]];
}

template <bool Streaming>
void convertIndexed(const std::uint8_t* values, const LookupTables& tables, unsigned entries, std::uint32_t width,
                    std::uint32_t* out) {
    if (entries <= 16) {
        convertShuffled<1, Streaming>(values, tables, width, out);
    } else if (entries <= 32) {
        convertShuffled<2, Streaming>(values, tables, width, out);
    } else if (entries <= 64) {
        convertShuffled<4, Streaming>(values, tables, width, out);
    } else {
        convertLoaded<Streaming>(values, tables, width, out);
    }
}

// ---- Hold-and-modify ----

// Sixteen pixels at a time, each colour byte on its own: a pixel either
// writes a byte (a palette entry writes all four, a modify one colour) or
// keeps the one before. Each byte's plane holds the written value and a
// written flag; four rounds of taking the value from 1, 2, 4 and 8 pixels
// back where none was written leave every pixel with the last value written
// at or before it, and the bytes held from the pixels before fill the rest.
// Two byte planes share a register, one per 128-bit lane, so that the byte
// shifts within lanes serve both.
struct HoldPlanes {
    __m256i blueGreen, redAlpha;
};

// The values' control bits and levels: 8-plane hold-and-modify has 6-bit
// levels and the control in bits 6 and 7, the others 4-bit levels and the
// control from bit 4 up, any control above 2 modifying green.
template <bool EightPlanes>
HoldPlanes holdSteps(__m128i v, const __m128i (&palette)[4][4], HoldPlanes& written) {
    const __m128i low = _mm_set1_epi8(EightPlanes ? 0x3F : 0x0F);
    const __m128i control = _mm_and_si128(_mm_srli_epi16(v, EightPlanes ? 6 : 4), _mm_set1_epi8(EightPlanes ? 3 : 15));
    const __m128i bits = _mm_and_si128(v, low);
    const __m128i level = EightPlanes ? _mm_or_si128(_mm_and_si128(_mm_slli_epi16(bits, 2), _mm_set1_epi8(-4)),
                                                     _mm_and_si128(_mm_srli_epi16(bits, 4), _mm_set1_epi8(3)))
                                      : _mm_or_si128(bits, _mm_slli_epi16(bits, 4));
    __m128i entry[4];
    for (unsigned k = 0; k < 4; ++k) entry[k] = _mm_shuffle_epi8(palette[k][0], _mm_adds_epu8(v, _mm_set1_epi8(0x70)));
    if constexpr (EightPlanes) {
        for (unsigned b = 1; b < 4; ++b) {
            const __m128i index = _mm_adds_epu8(_mm_xor_si128(v, _mm_set1_epi8(static_cast<char>(16 * b))), _mm_set1_epi8(0x70));
            for (unsigned k = 0; k < 4; ++k) entry[k] = _mm_or_si128(entry[k], _mm_shuffle_epi8(palette[k][b], index));
        }
    }
    const __m128i fromPalette = _mm_cmpeq_epi8(control, _mm_setzero_si128());
    const __m128i modifiesBlue = _mm_cmpeq_epi8(control, _mm_set1_epi8(1));
    const __m128i modifiesRed = _mm_cmpeq_epi8(control, _mm_set1_epi8(2));
    const __m128i wroteBlue = _mm_or_si128(fromPalette, modifiesBlue), wroteRed = _mm_or_si128(fromPalette, modifiesRed);
    const __m128i wroteGreen = _mm_xor_si128(_mm_or_si128(modifiesBlue, modifiesRed), _mm_set1_epi8(-1));
    const __m128i blue = _mm_blendv_epi8(level, entry[0], fromPalette);
    const __m128i green = _mm_blendv_epi8(level, entry[1], fromPalette);
    const __m128i red = _mm_blendv_epi8(level, entry[2], fromPalette);
    written = {_mm256_set_m128i(wroteGreen, wroteBlue), _mm256_set_m128i(fromPalette, wroteRed)};
    return {_mm256_set_m128i(green, blue), _mm256_set_m128i(entry[3], red)};
}

template <int Distance>
void holdRound(__m256i& value, __m256i& written) {
    value = _mm256_blendv_epi8(_mm256_slli_si256(value, Distance), value, written);
    written = _mm256_or_si256(written, _mm256_slli_si256(written, Distance));
}

__m256i holdScan(__m256i value, __m256i written, __m256i& held) {
    holdRound<1>(value, written);
    holdRound<2>(value, written);
    holdRound<4>(value, written);
    holdRound<8>(value, written);
    const __m256i result = _mm256_blendv_epi8(held, value, written);
    held = _mm256_shuffle_epi8(result, _mm256_set1_epi8(15));
    return result;
}

void storeSixteen(const HoldPlanes& p, std::uint32_t* out) {
    const __m128i blue = _mm256_castsi256_si128(p.blueGreen), green = _mm256_extracti128_si256(p.blueGreen, 1);
    const __m128i red = _mm256_castsi256_si128(p.redAlpha), alpha = _mm256_extracti128_si256(p.redAlpha, 1);
    const __m128i lowBG = _mm_unpacklo_epi8(blue, green), highBG = _mm_unpackhi_epi8(blue, green);
    const __m128i lowRA = _mm_unpacklo_epi8(red, alpha), highRA = _mm_unpackhi_epi8(red, alpha);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(lowBG, lowRA));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 4), _mm_unpackhi_epi16(lowBG, lowRA));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8), _mm_unpacklo_epi16(highBG, highRA));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 12), _mm_unpackhi_epi16(highBG, highRA));
}

template <bool EightPlanes>
void convertHoldRow(const std::uint8_t* values, const LookupTables& t, std::uint32_t width, std::uint32_t* out) {
    __m128i palette[4][4];
    for (unsigned k = 0; k < 4; ++k)
        for (unsigned b = 0; b < 4; ++b) palette[k][b] = load128(t.paletteBytes.bytes[k] + 16 * b);
    const std::uint32_t first = t.palette[0];
    const auto spread = [](std::uint32_t byte) { return _mm_set1_epi8(static_cast<char>(byte)); };
    __m256i heldBG = _mm256_set_m128i(spread((first >> 8) & 0xFF), spread(first & 0xFF));
    __m256i heldRA = _mm256_set_m128i(spread(first >> 24), spread((first >> 16) & 0xFF));
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        HoldPlanes written;
        const HoldPlanes steps = holdSteps<EightPlanes>(load128(values + x), palette, written);
        const HoldPlanes colours{holdScan(steps.blueGreen, written.blueGreen, heldBG),
                                 holdScan(steps.redAlpha, written.redAlpha, heldRA)};
        storeSixteen(colours, out + x);
    }
    // The row's last pixels, from the colour held so far.
    const std::uint32_t held = static_cast<std::uint32_t>(_mm_extract_epi8(_mm256_castsi256_si128(heldBG), 0)) |
                               static_cast<std::uint32_t>(_mm_extract_epi8(_mm256_extracti128_si256(heldBG, 1), 0)) << 8 |
                               static_cast<std::uint32_t>(_mm_extract_epi8(_mm256_castsi256_si128(heldRA), 0)) << 16 |
                               static_cast<std::uint32_t>(_mm_extract_epi8(_mm256_extracti128_si256(heldRA, 1), 0)) << 24;
    portable::convertHoldFrom(values, t, x, width, held, out);
}

void convertHold(const std::uint8_t* values, const LookupTables& t, unsigned, std::uint32_t width,
                 std::uint32_t* out) {
    if (t.holdEightPlanes) {
        convertHoldRow<true>(values, t, width, out);
    } else {
        convertHoldRow<false>(values, t, width, out);
    }
}

// ---- True colour ----

void convertPlanarRgb(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                      std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    const __m256i opaque = _mm256_set1_epi8(-1);
    for (; x + 32 <= width; x += 32)
        storeThirtyTwo<false>(load256(blue + x), load256(green + x), load256(red + x), opaque, out + x);
    portable::convertPlanarRgb(red + x, green + x, blue + x, width - x, out + x);
}

void convertPlanarRgba(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                       const std::uint8_t* alpha, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    for (; x + 32 <= width; x += 32)
        storeThirtyTwo<false>(load256(blue + x), load256(green + x), load256(red + x), load256(alpha + x), out + x);
    portable::convertPlanarRgba(red + x, green + x, blue + x, alpha + x, width - x, out + x);
}

// Blue, green, red: eight pixels from 24 bytes, four from each 16-byte lane
// (the lanes loaded from bytes 0 and 12), each pixel's three bytes moved into
// its word and the alpha byte set.
void convertChunkyRgb(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out) {
    const __m256i order = _mm256_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1,  //
                                           0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    std::uint32_t x = 0;
    for (; x + 8 <= width && 3 * x + 28 <= 3 * width; x += 8) {
        const std::uint8_t* p = row + 3 * x;
        const __m256i both = _mm256_inserti128_si256(_mm256_castsi128_si256(load128(p)), load128(p + 12), 1);
        store256(out + x, _mm256_or_si256(_mm256_shuffle_epi8(both, order), opaque));
    }
    portable::convertChunkyRgb(row + 3 * x, width - x, out + x);
}

void convertChunkyRgba(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out) {
    const __m256i order = _mm256_setr_epi8(1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12,  //
                                           1, 2, 3, 0, 5, 6, 7, 4, 9, 10, 11, 8, 13, 14, 15, 12);
    std::uint32_t x = 0;
    for (; x + 8 <= width; x += 8) store256(out + x, _mm256_shuffle_epi8(load256(row + 4 * x), order));
    portable::convertChunkyRgba(row + 4 * x, width - x, out + x);
}

// ---- Masks ----

void applyMaskPlane(const std::uint8_t* maskBits, std::uint32_t width, std::uint32_t* out) {
    const __m256i laneBit = _mm256_setr_epi32(0x80, 0x40, 0x20, 0x10, 8, 4, 2, 1);
    std::uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const int bits = maskBits[x >> 3];
        if (bits == 0xFF) continue;
        const __m256i keep = _mm256_cmpeq_epi32(_mm256_and_si256(_mm256_set1_epi32(bits), laneBit), laneBit);
        store256(out + x, _mm256_and_si256(load256(out + x), keep));
    }
    portable::applyMaskPlane(maskBits + (x >> 3), width - x, out + x);
}

void clearValue(const std::uint8_t* values, std::uint8_t value, std::uint32_t width, std::uint32_t* out) {
    const __m256i wanted = _mm256_set1_epi8(static_cast<char>(value));
    std::uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const __m256i hit = _mm256_cmpeq_epi8(load256(values + x), wanted);
        if (_mm256_movemask_epi8(hit) == 0) continue;
        for (unsigned k = 0; k < 4; ++k) {
            const __m256i lanes = _mm256_cvtepi8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(values + x + 8 * k)));
            const __m256i clear = _mm256_cmpeq_epi32(lanes, _mm256_set1_epi32(static_cast<char>(value)));
            store256(out + x + 8 * k, _mm256_andnot_si256(clear, load256(out + x + 8 * k)));
        }
    }
    portable::clearValue(values + x, value, width - x, out + x);
}

// ---- Premultiply ----

__m256i scaleFour(__m256i wide) {
    const __m256i alphaIndex = _mm256_setr_epi8(6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15,  //
                                                6, 7, 6, 7, 6, 7, 6, 7, 14, 15, 14, 15, 14, 15, 14, 15);
    const __m256i x = _mm256_mullo_epi16(wide, _mm256_shuffle_epi8(wide, alphaIndex));
    const __m256i rounded = _mm256_add_epi16(_mm256_add_epi16(x, _mm256_srli_epi16(x, 8)), _mm256_set1_epi16(1));
    return _mm256_srli_epi16(rounded, 8);
}

// Eight pixels per step, widened to 16-bit lanes; opaque blocks are only read.
void premultiply(std::uint32_t* pixels, std::size_t count) {
    const __m256i opaque = _mm256_set1_epi32(static_cast<int>(0xFF000000u));
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = load256(pixels + i);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_and_si256(p, opaque), opaque)) == -1) continue;
        const __m256i zero = _mm256_setzero_si256();
        // unpack works within lanes and packus undoes it the same way
        const __m256i scaled = _mm256_packus_epi16(scaleFour(_mm256_unpacklo_epi8(p, zero)), scaleFour(_mm256_unpackhi_epi8(p, zero)));
        store256(pixels + i, _mm256_blendv_epi8(scaled, p, opaque));
    }
    portable::premultiply(pixels + i, count - i);
}

void finishStreaming() { _mm_sfence(); }

}  // namespace

const RowKernels avx2Kernels{unpackRuns,
                             planesToChunky,
                             portable::splitPalette,
                             portable::splitHoldPalette,
                             convertIndexed<false>,
                             convertIndexed<true>,
                             convertHold,
                             convertPlanarRgb,
                             convertPlanarRgba,
                             convertChunkyRgb,
                             convertChunkyRgba,
                             applyMaskPlane,
                             clearValue,
                             premultiply,
                             finishStreaming};

}  // namespace vantrel::kernels
#endif
