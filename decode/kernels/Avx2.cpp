// The AVX2 tier (with BMI2), for processors without AVX-512: bit planes are
// turned into chunky bytes 256 pixels at a time (Avx2Planes.h; processors
// with GFNI take the turn of Avx2Gfni.cpp), palettes of up to 64 entries are
// looked up split by byte with vpshufb, larger ones with one load per pixel,
// hold-and-modify takes each colour byte from the last pixel that wrote it,
// 32 pixels at a time, and ByteRun1 runs are stored 32 bytes at a time. This
// file is built for AVX2 and its kernels are called only on processors that
// have it.
#include "decode/kernels/Portable.h"
#include "decode/kernels/Tiers.h"

#if VANTREL_X86_64
#include <immintrin.h>

#include "decode/kernels/Avx2Planes.h"

namespace vantrel::kernels {
namespace {

using avx2::load128;
using avx2::load256;
using avx2::store256;

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

void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                    std::uint32_t planeRowBytes, std::uint8_t* out) {
    avx2::planesToChunky<avx2::RegisterTurn>(plane0, stride, planes, groups, planeRowBytes, out);
}

// ---- Palette lookup ----

// The palette split by byte, 16 entries at a time (the count rounded up):
// each group of 4 entries gathers its bytes by kind, blue, green, red, alpha,
// and the four groups' words are regrouped by kind.
void splitPalette(LookupTables& t, unsigned count) {
    const __m128i byKind = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    for (unsigned i = 0; i < count; i += 16) {
        __m128i q[4];
        for (unsigned k = 0; k < 4; ++k) q[k] = _mm_shuffle_epi8(load128(t.palette + i + 4 * k), byKind);
        const __m128i blueGreen01 = _mm_unpacklo_epi32(q[0], q[1]), redAlpha01 = _mm_unpackhi_epi32(q[0], q[1]);
        const __m128i blueGreen23 = _mm_unpacklo_epi32(q[2], q[3]), redAlpha23 = _mm_unpackhi_epi32(q[2], q[3]);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t.forms.paletteBytes.bytes[0] + i), _mm_unpacklo_epi64(blueGreen01, blueGreen23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t.forms.paletteBytes.bytes[1] + i), _mm_unpackhi_epi64(blueGreen01, blueGreen23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t.forms.paletteBytes.bytes[2] + i), _mm_unpacklo_epi64(redAlpha01, redAlpha23));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(t.forms.paletteBytes.bytes[3] + i), _mm_unpackhi_epi64(redAlpha01, redAlpha23));
    }
}

// Only the values with control 0 look up the palette: 64 at most.
void splitHoldPalette(LookupTables& t, unsigned count) { splitPalette(t, count < 64 ? count : 64); }

// Eight pixels to out, with a streaming store where asked.
template <bool Streaming>
void store8Words(std::uint32_t* out, __m256i eight) {
    if constexpr (Streaming) {
        _mm256_stream_si256(reinterpret_cast<__m256i*>(out), eight);
    } else {
        store256(out, eight);
    }
}

// Thirty-two pixels' blue, green, red and alpha bytes interleaved within
// each lane: word block k holds the pixels of bytes 4k to 4k + 3 of the low
// lane, then those of the high lane.
struct InterleavedWords {
    __m256i block[4];
};

InterleavedWords interleaveBytes(__m256i blue, __m256i green, __m256i red, __m256i alpha) {
    const __m256i lowBG = _mm256_unpacklo_epi8(blue, green), highBG = _mm256_unpackhi_epi8(blue, green);
    const __m256i lowRA = _mm256_unpacklo_epi8(red, alpha), highRA = _mm256_unpackhi_epi8(red, alpha);
    return {{_mm256_unpacklo_epi16(lowBG, lowRA), _mm256_unpackhi_epi16(lowBG, lowRA),
             _mm256_unpacklo_epi16(highBG, highRA), _mm256_unpackhi_epi16(highBG, highRA)}};
}

// Thirty-two pixels from their blue, green, red and alpha bytes (pixels 0 to
// 15 in the low lanes, 16 to 31 in the high ones), stored in order.
void storeThirtyTwo(__m256i blue, __m256i green, __m256i red, __m256i alpha, std::uint32_t* out) {
    const InterleavedWords w = interleaveBytes(blue, green, red, alpha);
    store256(out, _mm256_permute2x128_si256(w.block[0], w.block[1], 0x20));
    store256(out + 8, _mm256_permute2x128_si256(w.block[2], w.block[3], 0x20));
    store256(out + 16, _mm256_permute2x128_si256(w.block[0], w.block[1], 0x31));
    store256(out + 24, _mm256_permute2x128_si256(w.block[2], w.block[3], 0x31));
}

// Values whose four-pixel groups are dealt to the lanes in turn (0, 2, 4, 6
// low, 1, 3, 5, 7 high) give bytes that interleave into pixel order within
// the lanes, so their 32 pixels are stored with one lane move instead of four.
__m256i dealtToLanes(__m256i values) {
    return _mm256_permutevar8x32_epi32(values, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
}

template <bool Streaming>
void storeDealt(__m256i blue, __m256i green, __m256i red, __m256i alpha, std::uint32_t* out) {
    const InterleavedWords w = interleaveBytes(blue, green, red, alpha);
    for (unsigned k = 0; k < 4; ++k) store8Words<Streaming>(out + 8 * k, w.block[k]);
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
// An opaque palette's alpha is not looked up: that spares a quarter of the
// shuffles, and the tables then fit in the sixteen vector registers.
template <unsigned Blocks, bool Streaming, bool Opaque>
void lookupThirtyTwo(__m256i inOrder, const ShuffleTables<Blocks>& t, std::uint32_t* out) {
    constexpr unsigned kinds = Opaque ? 3 : 4;
    const __m256i values = dealtToLanes(inOrder);
    __m256i bytes[4] = {_mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_setzero_si256(), _mm256_set1_epi8(-1)};
    for (unsigned b = 0; b < Blocks; ++b) {
        const __m256i index = _mm256_adds_epu8(_mm256_xor_si256(values, _mm256_set1_epi8(static_cast<char>(16 * b))),
                                               _mm256_set1_epi8(0x70));
        for (unsigned k = 0; k < kinds; ++k)
            bytes[k] = b == 0 ? _mm256_shuffle_epi8(t.block[k][0], index)
                              : _mm256_or_si256(bytes[k], _mm256_shuffle_epi8(t.block[k][b], index));
    }
    storeDealt<Streaming>(bytes[0], bytes[1], bytes[2], bytes[3], out);
}

// Whether every entry the tables hold has alpha 255.
template <unsigned Blocks>
bool opaquePalette(const ShuffleTables<Blocks>& t) {
    __m256i alpha = t.block[3][0];
    for (unsigned b = 1; b < Blocks; ++b) alpha = _mm256_and_si256(alpha, t.block[3][b]);
    return _mm256_movemask_epi8(_mm256_cmpeq_epi8(alpha, _mm256_set1_epi8(-1))) == -1;
}

// Blocks of 32 pixels from x on; returns where they end.
template <unsigned Blocks, bool Streaming, bool Opaque>
std::uint32_t lookupRow(const std::uint8_t* values, const ShuffleTables<Blocks>& t, std::uint32_t x,
                        std::uint32_t width, std::uint32_t* out) {
    for (; x + 32 <= width; x += 32) lookupThirtyTwo<Blocks, Streaming, Opaque>(load256(values + x), t, out + x);
    return x;
}

template <unsigned Blocks, bool Streaming>
void convertShuffled(const std::uint8_t* values, const LookupTables& tables, std::uint32_t width, std::uint32_t* out) {
    const ShuffleTables<Blocks> t = loadShuffleTables<Blocks>(tables.forms.paletteBytes);
    std::uint32_t x = 0;
    for (; Streaming && x < width && (reinterpret_cast<std::uintptr_t>(out + x) & 31) != 0; ++x)
        out[x] = tables.palette[values[x]];
    x = opaquePalette(t) ? lookupRow<Blocks, Streaming, true>(values, t, x, width, out)
                         : lookupRow<Blocks, Streaming, false>(values, t, x, width, out);
    for (; x < width; ++x) out[x] = tables.palette[values[x]];
}

// Larger palettes: one load per pixel, eight pixels per step, each four
// inserted into a 128-bit half and the halves stored as one. Built with
// _mm256_setr_epi32, sixteen pixels per step, the loop alone ran 10 to 15%
// slower on AMD Zen 3, whole 256-colour decodes 2 to 5%.
__m128i fourEntries(const std::uint32_t* palette, std::uint32_t valueBytes) {
    __m128i four = _mm_cvtsi32_si128(static_cast<int>(palette[valueBytes & 0xFF]));
    four = _mm_insert_epi32(four, static_cast<int>(palette[(valueBytes >> 8) & 0xFF]), 1);
    four = _mm_insert_epi32(four, static_cast<int>(palette[(valueBytes >> 16) & 0xFF]), 2);
    return _mm_insert_epi32(four, static_cast<int>(palette[valueBytes >> 24]), 3);
}

template <bool Streaming>
void convertLoaded(const std::uint8_t* values, const LookupTables& tables, std::uint32_t width, std::uint32_t* out) {
    const std::uint32_t* palette = tables.palette;
    std::uint32_t x = 0;
    for (; Streaming && x < width && (reinterpret_cast<std::uintptr_t>(out + x) & 31) != 0; ++x)
        out[x] = palette[values[x]];
    for (; x + 8 <= width; x += 8) {
        const std::uint64_t valueBytes = portable::load64(values + x);
        const __m128i low = fourEntries(palette, static_cast<std::uint32_t>(valueBytes));
        const __m128i high = fourEntries(palette, static_cast<std::uint32_t>(valueBytes >> 32));
        store8Words<Streaming>(out + x, _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1));
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

// Thirty-two pixels at a time, each colour byte in a register of its own: a
// pixel either writes a byte (a palette entry writes all four, a modify one
// colour) or keeps the one before. For each byte, every pixel finds the last
// pixel at or before it in its 128-bit lane that wrote the byte (a running
// maximum of positions, four rounds of byte shifts) and takes that pixel's
// value with one vpshufb; pixels with no writer in their lane take the byte
// held from before: for the low lane the byte held from the pixels before
// these 32, for the high lane the low lane's last.
struct HoldWrites {
    __m256i value[4];  // blue, green, red, alpha as each pixel would write them
    __m256i wrote[4];  // whether it writes them
};

// The values' control bits and levels: 8-plane hold-and-modify has 6-bit
// levels and the control in bits 6 and 7, the others 4-bit levels and the
// control from bit 4 up, any control above 2 modifying green. Palette entries
// are looked up in blocks of 16 (one block for 6 planes, whose entries are
// the values below 16); alpha only where the palette is not all opaque.
template <bool EightPlanes, bool Opaque>
HoldWrites holdWrites(__m256i v, const __m256i (&palette)[4][4]) {
    constexpr unsigned bytes = Opaque ? 3 : 4;
    const __m256i low = _mm256_set1_epi8(EightPlanes ? 0x3F : 0x0F);
    const __m256i control = _mm256_and_si256(_mm256_srli_epi16(v, EightPlanes ? 6 : 4), _mm256_set1_epi8(EightPlanes ? 3 : 15));
    const __m256i bits = _mm256_and_si256(v, low);
    const __m256i level =
        EightPlanes ? _mm256_or_si256(_mm256_and_si256(_mm256_slli_epi16(bits, 2), _mm256_set1_epi8(-4)),
                                      _mm256_and_si256(_mm256_srli_epi16(bits, 4), _mm256_set1_epi8(3)))
                    : _mm256_or_si256(bits, _mm256_slli_epi16(bits, 4));
    __m256i entry[4] = {};
    const __m256i first = EightPlanes ? _mm256_adds_epu8(v, _mm256_set1_epi8(0x70)) : v;
    for (unsigned k = 0; k < bytes; ++k) entry[k] = _mm256_shuffle_epi8(palette[k][0], first);
    if constexpr (EightPlanes) {
        for (unsigned b = 1; b < 4; ++b) {
            const __m256i index = _mm256_adds_epu8(_mm256_xor_si256(v, _mm256_set1_epi8(static_cast<char>(16 * b))),
                                                   _mm256_set1_epi8(0x70));
            for (unsigned k = 0; k < bytes; ++k) entry[k] = _mm256_or_si256(entry[k], _mm256_shuffle_epi8(palette[k][b], index));
        }
    }
    const __m256i fromPalette = _mm256_cmpeq_epi8(control, _mm256_setzero_si256());
    const __m256i modifiesBlue = _mm256_cmpeq_epi8(control, _mm256_set1_epi8(1));
    const __m256i modifiesRed = _mm256_cmpeq_epi8(control, _mm256_set1_epi8(2));
    HoldWrites w;
    w.value[0] = _mm256_blendv_epi8(level, entry[0], fromPalette);
    w.value[1] = _mm256_blendv_epi8(level, entry[1], fromPalette);
    w.value[2] = _mm256_blendv_epi8(level, entry[2], fromPalette);
    w.value[3] = entry[3];
    w.wrote[0] = _mm256_or_si256(fromPalette, modifiesBlue);
    w.wrote[1] = _mm256_xor_si256(_mm256_or_si256(modifiesBlue, modifiesRed), _mm256_set1_epi8(-1));
    w.wrote[2] = _mm256_or_si256(fromPalette, modifiesRed);
    w.wrote[3] = fromPalette;
    return w;
}

// One byte of 32 pixels. held has the byte held so far in every position and
// gets this block's last.
__m256i holdByte(__m256i value, __m256i wrote, __m256i& held) {
    // Writers are 0x80 + their position in the lane, others 0, so that the
    // running maximum is the last writer, and the shifts bring in 0.
    const __m256i writer = _mm256_setr_epi8(-128, -127, -126, -125, -124, -123, -122, -121, -120, -119, -118, -117, -116,
                                            -115, -114, -113, -128, -127, -126, -125, -124, -123, -122, -121, -120, -119,
                                            -118, -117, -116, -115, -114, -113);
    __m256i last = _mm256_and_si256(wrote, writer);
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 1));
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 2));
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 4));
    last = _mm256_max_epu8(last, _mm256_slli_si256(last, 8));
    // As vpshufb indices: the writer's position, or bit 7 set where none.
    const __m256i index = _mm256_xor_si256(last, _mm256_set1_epi8(-128));
    const __m256i taken = _mm256_shuffle_epi8(value, index);
    const __m256i lowDone = _mm256_blendv_epi8(taken, held, index);
    const __m256i lowLast = _mm256_shuffle_epi8(_mm256_permute2x128_si256(lowDone, lowDone, 0x00), _mm256_set1_epi8(15));
    const __m256i result = _mm256_blendv_epi8(taken, _mm256_blend_epi32(held, lowLast, 0xF0), index);
    held = _mm256_shuffle_epi8(_mm256_permute2x128_si256(result, result, 0x11), _mm256_set1_epi8(15));
    return result;
}

std::uint32_t lowByte(__m256i v) { return static_cast<std::uint32_t>(_mm256_cvtsi256_si32(v)) & 0xFF; }

// Whether the first count palette entries are all opaque: then every pixel is.
bool paletteOpaque(const LookupTables& t, unsigned count) {
    for (unsigned i = 0; i < count; i += 16) {
        const __m128i alpha = load128(t.forms.paletteBytes.bytes[3] + i);
        if (_mm_movemask_epi8(_mm_cmpeq_epi8(alpha, _mm_set1_epi8(-1))) != 0xFFFF) return false;
    }
    return (t.palette[0] >> 24) == 0xFF;
}

template <bool EightPlanes, bool Opaque>
void convertHoldRow(const std::uint8_t* values, const LookupTables& t, std::uint32_t width, std::uint32_t* out) {
    __m256i palette[4][4] = {};
    for (unsigned k = 0; k < (Opaque ? 3 : 4); ++k)
        for (unsigned b = 0; b < (EightPlanes ? 4 : 1); ++b)
            palette[k][b] = _mm256_broadcastsi128_si256(load128(t.forms.paletteBytes.bytes[k] + 16 * b));
    const std::uint32_t first = t.palette[0];
    __m256i held[4];
    for (unsigned k = 0; k < 4; ++k) held[k] = _mm256_set1_epi8(static_cast<char>(first >> (8 * k)));
    std::uint32_t x = 0;
    for (; x + 32 <= width; x += 32) {
        const HoldWrites w = holdWrites<EightPlanes, Opaque>(load256(values + x), palette);
        __m256i colour[4];
        for (unsigned k = 0; k < (Opaque ? 3 : 4); ++k) colour[k] = holdByte(w.value[k], w.wrote[k], held[k]);
        if constexpr (Opaque) colour[3] = held[3];
        storeThirtyTwo(colour[0], colour[1], colour[2], colour[3], out + x);
    }
    // The row's last pixels, from the colour held so far.
    const std::uint32_t colour = lowByte(held[0]) | lowByte(held[1]) << 8 | lowByte(held[2]) << 16 | lowByte(held[3]) << 24;
    portable::convertHoldFrom(values, t, x, width, colour, out);
}

template <bool EightPlanes>
void convertHoldPlanes(const std::uint8_t* values, const LookupTables& t, std::uint32_t width, std::uint32_t* out) {
    if (paletteOpaque(t, EightPlanes ? 64 : 16)) {
        convertHoldRow<EightPlanes, true>(values, t, width, out);
    } else {
        convertHoldRow<EightPlanes, false>(values, t, width, out);
    }
}

void convertHold(const std::uint8_t* values, const LookupTables& t, unsigned, std::uint32_t width,
                 std::uint32_t* out) {
    if (t.holdEightPlanes) {
        convertHoldPlanes<true>(values, t, width, out);
    } else {
        convertHoldPlanes<false>(values, t, width, out);
    }
}

// ---- True colour ----

void convertPlanarRgb(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                      std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    const __m256i opaque = _mm256_set1_epi8(-1);
    for (; x + 32 <= width; x += 32)
        storeThirtyTwo(load256(blue + x), load256(green + x), load256(red + x), opaque, out + x);
    portable::convertPlanarRgb(red + x, green + x, blue + x, width - x, out + x);
}

void convertPlanarRgba(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                       const std::uint8_t* alpha, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    for (; x + 32 <= width; x += 32)
        storeThirtyTwo(load256(blue + x), load256(green + x), load256(red + x), load256(alpha + x), out + x);
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
        // Opaque or clear pixels, as masks leave them: the clear ones become 0.
        const __m256i sign = _mm256_srai_epi32(p, 31);
        if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(_mm256_srai_epi32(p, 24), sign)) == -1) {
            store256(pixels + i, _mm256_and_si256(p, sign));
            continue;
        }
        const __m256i zero = _mm256_setzero_si256();
        // unpack works within lanes and packus undoes it the same way
        const __m256i scaled = _mm256_packus_epi16(scaleFour(_mm256_unpacklo_epi8(p, zero)), scaleFour(_mm256_unpackhi_epi8(p, zero)));
        store256(pixels + i, _mm256_blendv_epi8(scaled, p, opaque));
    }
    portable::premultiply(pixels + i, count - i);
}

void finishStreaming() { _mm_sfence(); }

// The tier's table with the given plane turn: the one above, or the GFNI
// one for processors that have GFNI beside AVX2.
constexpr RowKernels avx2Table(decltype(RowKernels::planesToChunky) planeTurn) {
    return {unpackRuns,
            planeTurn,
            splitPalette,
            splitHoldPalette,
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
}

}  // namespace

extern const RowKernels avx2Kernels = avx2Table(planesToChunky);
extern const RowKernels avx2GfniKernels = avx2Table(avx2GfniPlanesToChunky);

}  // namespace vantrel::kernels
#endif
