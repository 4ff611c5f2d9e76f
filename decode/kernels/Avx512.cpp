// The AVX-512 tier: F, BW, VL, VBMI and GFNI. Bit planes are turned into
// chunky bytes with byte permutes and one gf2p8affineqb per 64 pixels;
// palettes are looked up split by byte with vpermb / vpermi2b; hold-and-modify
// steps are composed 16 pixels at a time; ByteRun1 runs are stored 64 bytes
// at a time. This file is built for AVX-512 and its kernels are called only
// on processors that have it.
#include "decode/kernels/Portable.h"
#include "decode/kernels/Tiers.h"

#if VANTREL_X86_64
#include <immintrin.h>

// GCC 12's byte permute intrinsic starts from an undefined vector that it
// then reports as maybe uninitialized once inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif

namespace vantrel::kernels {
namespace {

// ---- Byte permute tables, made at compile time ----

struct ByteIndex {
    std::uint8_t at[64];
};

// Bit planes to chunky in three rounds of two-register byte permutes, from
// 64 bytes of each of 8 planes P0..P7 to 8 registers of 8 qwords, qword b of
// register g holding byte 8g + b of every plane, plane j in byte 7 - j.
// Round 1, half h of planes 2m and 2m + 1: byte 2t + s = P(2m + s)[32h + t].
constexpr ByteIndex pairIndex(unsigned h) {
    ByteIndex r{};
    for (unsigned t = 0; t < 32; ++t)
        for (unsigned s = 0; s < 2; ++s) r.at[2 * t + s] = static_cast<std::uint8_t>(64 * s + 32 * h + t);
    return r;
}
// Round 2, quarter e of a half, planes 4n to 4n + 3 from two round-1 results:
// byte 4t + u = plane 4n + u at byte 16e + t of the half.
constexpr ByteIndex quadIndex(unsigned e) {
    ByteIndex r{};
    for (unsigned t = 0; t < 16; ++t)
        for (unsigned u = 0; u < 4; ++u)
            r.at[4 * t + u] = static_cast<std::uint8_t>(64 * (u >> 1) + 2 * (16 * e + t) + (u & 1));
    return r;
}
// Round 3, eighth f of a quarter, all 8 planes from two round-2 results:
// byte 8t + 7 - v = plane v at byte 8f + t of the quarter.
constexpr ByteIndex octIndex(unsigned f) {
    ByteIndex r{};
    for (unsigned t = 0; t < 8; ++t)
        for (unsigned v = 0; v < 8; ++v)
            r.at[8 * t + 7 - v] = static_cast<std::uint8_t>(64 * (v >> 2) + 4 * (8 * f + t) + (v & 3));
    return r;
}

// Palette lookup gives four byte registers that unpack into dwords lane by
// lane: dword register k, lane L takes positions 16L + 4k to 16L + 4k + 3.
// Putting pixel 16k + 4L + i at position 16L + 4k + i first makes register k
// hold pixels 16k to 16k + 15 in order.
constexpr ByteIndex unpackOrder() {
    ByteIndex r{};
    for (unsigned q = 0; q < 64; ++q)
        r.at[q] = static_cast<std::uint8_t>(16 * ((q >> 2) & 3) + 4 * (q >> 4) + (q & 3));
    return r;
}

// Sixteen palette words to their bytes grouped by position: byte k of word
// i to 16k + i.
constexpr ByteIndex byteGroups() {
    ByteIndex r{};
    for (unsigned k = 0; k < 4; ++k)
        for (unsigned i = 0; i < 16; ++i) r.at[16 * k + i] = static_cast<std::uint8_t>(4 * i + k);
    return r;
}

struct ByteIndexTables {
    ByteIndex pair[2], quad[2], oct[2], order, groups;
};
constexpr ByteIndexTables tables{{pairIndex(0), pairIndex(1)},
                                 {quadIndex(0), quadIndex(1)},
                                 {octIndex(0), octIndex(1)},
                                 unpackOrder(),
                                 byteGroups()};

inline __m512i loadIndex(const ByteIndex& index) {
    return _mm512_loadu_si512(static_cast<const void*>(index.at));
}

// The low n bits set, n up to 64.
inline __mmask64 lowBits64(std::uint32_t n) {
    return n >= 64 ? ~__mmask64{0} : (__mmask64{1} << n) - 1;
}
inline __mmask16 lowBits16(std::uint32_t n) {
    return static_cast<__mmask16>(n >= 16 ? 0xFFFFu : (1u << n) - 1);
}

// ---- Palette lookup ----

template <unsigned Entries>
struct BytePlaneTable {
    __m512i part[Entries / 64];
};

template <unsigned Entries>
inline BytePlaneTable<Entries> loadTable(const std::uint8_t* bytes) {
    BytePlaneTable<Entries> t;
    for (unsigned q = 0; q < Entries / 64; ++q) t.part[q] = _mm512_loadu_si512(static_cast<const void*>(bytes + 64 * q));
    return t;
}

// One byte of each of 64 entries: 64 entries in one permute, 128 in one
// two-register permute, 256 in two of those chosen by bit 7 of the index.
template <unsigned Entries>
inline __m512i lookupBytes(__m512i index, const BytePlaneTable<Entries>& t) {
    if constexpr (Entries == 64) {
        return _mm512_permutexvar_epi8(index, t.part[0]);
    } else if constexpr (Entries == 128) {
        return _mm512_permutex2var_epi8(t.part[0], index, t.part[1]);
    } else {
        const __m512i low = _mm512_permutex2var_epi8(t.part[0], index, t.part[1]);
        const __m512i high = _mm512_permutex2var_epi8(t.part[2], index, t.part[3]);
        return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
    }
}

struct SixtyFourPixels {
    __m512i words[4];  // pixels 16k to 16k + 15 in words[k]
};

// Looks up 64 values already put in unpack order (see unpackOrder).
template <unsigned Entries>
inline SixtyFourPixels lookupOrdered(__m512i index, const BytePlaneTable<Entries> (&t)[4]) {
    const __m512i blue = lookupBytes(index, t[0]), green = lookupBytes(index, t[1]);
    const __m512i red = lookupBytes(index, t[2]), alpha = lookupBytes(index, t[3]);
    const __m512i lowBG = _mm512_unpacklo_epi8(blue, green), highBG = _mm512_unpackhi_epi8(blue, green);
    const __m512i lowRA = _mm512_unpacklo_epi8(red, alpha), highRA = _mm512_unpackhi_epi8(red, alpha);
    return {{_mm512_unpacklo_epi16(lowBG, lowRA), _mm512_unpackhi_epi16(lowBG, lowRA),
             _mm512_unpacklo_epi16(highBG, highRA), _mm512_unpackhi_epi16(highBG, highRA)}};
}

template <unsigned Entries>
inline SixtyFourPixels lookup64(__m512i values, __m512i order, const BytePlaneTable<Entries> (&t)[4]) {
    return lookupOrdered(_mm512_permutexvar_epi8(order, values), t);
}

// Stores the first n (up to 64) pixels.
inline void storePart(std::uint32_t* out, const SixtyFourPixels& p, std::uint32_t n) {
    for (unsigned k = 0; k < 4 && 16 * k < n; ++k) _mm512_mask_storeu_epi32(out + 16 * k, lowBits16(n - 16 * k), p.words[k]);
}

template <unsigned Entries, bool Streaming>
void convertIndexedRow(const std::uint8_t* values, const PaletteBytes& palette, std::uint32_t width,
                       std::uint32_t* out) {
    BytePlaneTable<Entries> t[4];
    for (unsigned k = 0; k < 4; ++k) t[k] = loadTable<Entries>(palette.bytes[k]);
    const __m512i order = loadIndex(tables.order);
    std::uint32_t x = 0;
    if constexpr (Streaming) {
        // Pixels up to the first 64-byte line boundary, then whole lines.
        const auto misalign = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(out) & 63);
        std::uint32_t head = ((64 - misalign) & 63) >> 2;
        if (head > width) head = width;
        if (head != 0) {
            const __m512i v = _mm512_maskz_loadu_epi8(lowBits64(head), values);
            storePart(out, lookup64<Entries>(v, order, t), head);
            x = head;
        }
    }
    for (; x + 64 <= width; x += 64) {
        const SixtyFourPixels p = lookup64<Entries>(_mm512_loadu_si512(static_cast<const void*>(values + x)), order, t);
        for (unsigned k = 0; k < 4; ++k) {
            if constexpr (Streaming) {
                _mm512_stream_si512(reinterpret_cast<__m512i*>(out + x + 16 * k), p.words[k]);
            } else {
                _mm512_storeu_si512(static_cast<void*>(out + x + 16 * k), p.words[k]);
            }
        }
    }
    if (x < width) {
        const std::uint32_t n = width - x;
        const __m512i v = _mm512_maskz_loadu_epi8(lowBits64(n), values + x);
        storePart(out + x, lookup64<Entries>(v, order, t), n);
    }
}

template <unsigned Entries>
void convertIndexedEntries(const std::uint8_t* values, const PaletteBytes& palette, bool streaming,
                           std::uint32_t width, std::uint32_t* out) {
    if (streaming) {
        convertIndexedRow<Entries, true>(values, palette, width, out);
    } else {
        convertIndexedRow<Entries, false>(values, palette, width, out);
    }
}

// ---- Hold-and-modify ----

// Sixteen steps held = (held & keep) | set, lane i the step of pixel i, turned
// into the step from the first of these sixteen pixels through pixel i. Steps
// compose associatively, (k1, s1) then
// (k2, s2) being (k1 & k2, (s1 & k2) | s2), so four rounds of composing each
// lane with the lane 1, 2, 4 and 8 before it (nothing before lane 0: the
// identity step) do the whole scan.
struct Steps {
    __m512i keep, set;
};

inline Steps scanSteps(Steps s) {
    const __m512i allKept = _mm512_set1_epi32(-1), nothingSet = _mm512_setzero_si512();
    // (a & b) | c as a ternary logic table over a = 0xF0, b = 0xCC, c = 0xAA.
    constexpr int andOr = 0xEA;
#define VANTREL_SCAN_ROUND(d)                                                                  \
    {                                                                                          \
        const __m512i keepBefore = _mm512_alignr_epi32(s.keep, allKept, 16 - (d));            \
        const __m512i setBefore = _mm512_alignr_epi32(s.set, nothingSet, 16 - (d));            \
        s.set = _mm512_ternarylogic_epi32(setBefore, s.keep, s.set, andOr);                    \
        s.keep = _mm512_and_si512(keepBefore, s.keep);                                         \
    }
    VANTREL_SCAN_ROUND(1)
    VANTREL_SCAN_ROUND(2)
    VANTREL_SCAN_ROUND(4)
    VANTREL_SCAN_ROUND(8)
#undef VANTREL_SCAN_ROUND
    return s;
}

template <unsigned Entries>
void convertHoldRow(const std::uint8_t* values, const PaletteBytes& set, const PaletteBytes& keep, std::uint32_t held,
                    std::uint32_t width, std::uint32_t* out) {
    BytePlaneTable<Entries> setTable[4], keepTable[4];
    for (unsigned k = 0; k < 4; ++k) {
        setTable[k] = loadTable<Entries>(set.bytes[k]);
        keepTable[k] = loadTable<Entries>(keep.bytes[k]);
    }
    const __m512i order = loadIndex(tables.order);
    const __m512i lastLane = _mm512_set1_epi32(15);
    __m512i heldColour = _mm512_set1_epi32(static_cast<int>(held));
    for (std::uint32_t x = 0; x < width; x += 64) {
        const std::uint32_t n = width - x < 64 ? width - x : 64;
        const __m512i v = _mm512_maskz_loadu_epi8(lowBits64(n), values + x);
        const __m512i index = _mm512_permutexvar_epi8(order, v);
        const SixtyFourPixels sets = lookupOrdered(index, setTable);
        const SixtyFourPixels keeps = lookupOrdered(index, keepTable);
        for (unsigned k = 0; k < 4 && 16 * k < n; ++k) {
            const Steps steps = scanSteps({keeps.words[k], sets.words[k]});
            const __m512i colours = _mm512_ternarylogic_epi32(heldColour, steps.keep, steps.set, 0xEA);
            _mm512_mask_storeu_epi32(out + x + 16 * k, lowBits16(n - 16 * k), colours);
            heldColour = _mm512_permutexvar_epi32(lastLane, colours);
        }
    }
}

void convertHoldSplit(const std::uint8_t* values, const PaletteBytes& set, const PaletteBytes& keep, unsigned entries,
                      std::uint32_t held, std::uint32_t width, std::uint32_t* out) {
    if (entries <= 64) {
        convertHoldRow<64>(values, set, keep, held, width, out);
    } else if (entries <= 128) {
        convertHoldRow<128>(values, set, keep, held, width, out);
    } else {
        convertHoldRow<256>(values, set, keep, held, width, out);
    }
}

// One 64-byte store per run, a second for runs longer than 64 bytes, so that
// the common short runs take no loop; a repeat's next control byte is found
// without waiting for this one's value.
std::uint8_t* unpackRuns(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                         const std::uint8_t* rowEnd) {
    const std::uint8_t* p = position;
    while (p < safeEnd && out < rowEnd) {
        const std::uint32_t control = *p++;
        if (control < 128) {
            const std::uint32_t count = control + 1u;
            _mm512_storeu_si512(static_cast<void*>(out), _mm512_loadu_si512(static_cast<const void*>(p)));
            if (count > 64) {
                _mm512_storeu_si512(static_cast<void*>(out + 64), _mm512_loadu_si512(static_cast<const void*>(p + 64)));
            }
            p += count;
            out += count;
        } else if (control > 128) {
            const std::uint32_t count = 257u - control;
            const __m512i spread = _mm512_set1_epi8(static_cast<char>(*p++));
            _mm512_storeu_si512(static_cast<void*>(out), spread);
            if (count > 64) _mm512_storeu_si512(static_cast<void*>(out + 64), spread);
            out += count;
        }
    }
    position = p;
    return out;
}

void splitSixteen(const std::uint32_t* palette, PaletteBytes& split) {
    const __m512i grouped =
        _mm512_permutexvar_epi8(loadIndex(tables.groups), _mm512_loadu_si512(static_cast<const void*>(palette)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(split.bytes[0]), _mm512_castsi512_si128(grouped));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(split.bytes[1]), _mm512_extracti32x4_epi32(grouped, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(split.bytes[2]), _mm512_extracti32x4_epi32(grouped, 2));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(split.bytes[3]), _mm512_extracti32x4_epi32(grouped, 3));
}

void planesToChunkyWide(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                        std::uint8_t* out) {
    const __m512i pair0 = loadIndex(tables.pair[0]), pair1 = loadIndex(tables.pair[1]);
    const __m512i quad0 = loadIndex(tables.quad[0]), quad1 = loadIndex(tables.quad[1]);
    const __m512i oct0 = loadIndex(tables.oct[0]), oct1 = loadIndex(tables.oct[1]);
    // Byte i of each qword picks bit 7 - i of the plane bytes: pixel i of 8,
    // the leftmost pixel being the top bit.
    const __m512i pixelBits = _mm512_set1_epi64(0x0102040810204080ll);
    for (std::uint32_t b = 0; b < groups; b += 64) {
        const std::uint32_t n = groups - b < 64 ? groups - b : 64;
        const __mmask64 m = lowBits64(n);
        __m512i p[8];
        for (unsigned j = 0; j < 8; ++j)
            p[j] = j < planes ? _mm512_maskz_loadu_epi8(m, plane0 + j * stride + b) : _mm512_setzero_si512();
        __m512i q[4][2];
        for (unsigned k = 0; k < 4; ++k) {
            q[k][0] = _mm512_permutex2var_epi8(p[2 * k], pair0, p[2 * k + 1]);
            q[k][1] = _mm512_permutex2var_epi8(p[2 * k], pair1, p[2 * k + 1]);
        }
        for (unsigned h = 0; h < 2; ++h) {
            for (unsigned e = 0; e < 2; ++e) {
                const __m512i quad = e == 0 ? quad0 : quad1;
                const __m512i low = _mm512_permutex2var_epi8(q[0][h], quad, q[1][h]);
                const __m512i high = _mm512_permutex2var_epi8(q[2][h], quad, q[3][h]);
                for (unsigned f = 0; f < 2; ++f) {
                    const unsigned g = 4 * h + 2 * e + f;
                    if (8 * g >= n) continue;
                    const __m512i planesOfEight = _mm512_permutex2var_epi8(low, f == 0 ? oct0 : oct1, high);
                    const __m512i chunky = _mm512_gf2p8affine_epi64_epi8(pixelBits, planesOfEight, 0);
                    std::uint8_t* to = out + 8 * std::size_t{b} + 64 * g;
                    if (n - 8 * g >= 8) {
                        _mm512_storeu_si512(static_cast<void*>(to), chunky);
                    } else {
                        _mm512_mask_storeu_epi8(to, lowBits64(8 * (n - 8 * g)), chunky);
                    }
                }
            }
        }
    }
}

void convertIndexedSplit(const std::uint8_t* values, const PaletteBytes& palette, unsigned entries, bool streaming,
                         std::uint32_t width, std::uint32_t* out) {
    if (entries <= 64) {
        convertIndexedEntries<64>(values, palette, streaming, width, out);
    } else if (entries <= 128) {
        convertIndexedEntries<128>(values, palette, streaming, width, out);
    } else {
        convertIndexedEntries<256>(values, palette, streaming, width, out);
    }
}

// ---- The table's forms ----

void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                    std::uint32_t, std::uint8_t* out) {
    planesToChunkyWide(plane0, stride, planes, groups, out);
}

void preparePalette(LookupTables& t, unsigned count) {
    if (count == 16) {
        splitSixteen(t.palette, t.forms.paletteBytes);
    } else {
        portable::splitPalette(t, count);
    }
}

template <bool Streaming>
void convertIndexed(const std::uint8_t* values, const LookupTables& t, unsigned entries, std::uint32_t width,
                    std::uint32_t* out) {
    convertIndexedSplit(values, t.forms.paletteBytes, entries, Streaming, width, out);
}

void convertHold(const std::uint8_t* values, const LookupTables& t, unsigned entries, std::uint32_t width,
                 std::uint32_t* out) {
    convertHoldSplit(values, t.forms.paletteBytes, t.forms.holdKeep, entries, t.palette[0], width, out);
}

// ---- Masks ----

// Sixteen pixels per step from two mask bytes: lane i tests the bit of pixel i.
void applyMaskPlane(const std::uint8_t* maskBits, std::uint32_t width, std::uint32_t* out) {
    const __m512i laneBit = _mm512_set_epi32(0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000, 0x8000,  //
                                             0x1, 0x2, 0x4, 0x8, 0x10, 0x20, 0x40, 0x80);
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const int bits = maskBits[x >> 3] | maskBits[(x >> 3) + 1] << 8;
        if (bits == 0xFFFF) continue;
        const __mmask16 keep = _mm512_test_epi32_mask(_mm512_set1_epi32(bits), laneBit);
        _mm512_storeu_si512(static_cast<void*>(out + x), _mm512_maskz_loadu_epi32(keep, out + x));
    }
    portable::applyMaskPlane(maskBits + (x >> 3), width - x, out + x);
}

void clearValue(const std::uint8_t* values, std::uint8_t value, std::uint32_t width, std::uint32_t* out) {
    const __m512i wanted = _mm512_set1_epi8(static_cast<char>(value));
    const __m512i zero = _mm512_setzero_si512();
    for (std::uint32_t x = 0; x < width; x += 64) {
        const std::uint32_t n = width - x < 64 ? width - x : 64;
        const __mmask64 hits = _mm512_mask_cmpeq_epi8_mask(lowBits64(n), _mm512_maskz_loadu_epi8(lowBits64(n), values + x), wanted);
        for (unsigned k = 0; k < 4; ++k) {
            const auto lanes = static_cast<__mmask16>(hits >> (16 * k));
            if (lanes != 0) _mm512_mask_storeu_epi32(out + x + 16 * k, lanes, zero);
        }
    }
}

// ---- Premultiply ----

// Sixteen pixels per step, widened to 16-bit lanes; opaque blocks are only read.
void premultiply(std::uint32_t* pixels, std::size_t count) {
    const __m512i opaque = _mm512_set1_epi32(static_cast<int>(0xFF000000u));
    const __m512i alphaIndex = _mm512_set4_epi32(0x0F0E0F0E, 0x0F0E0F0E, 0x07060706, 0x07060706);
    const __m512i one = _mm512_set1_epi16(1);
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        const __m512i p = _mm512_loadu_si512(static_cast<const void*>(pixels + i));
        if (_mm512_cmpneq_epi32_mask(_mm512_and_si512(p, opaque), opaque) == 0) continue;
        // Opaque or clear pixels, as masks leave them: the clear ones become 0.
        const __m512i sign = _mm512_srai_epi32(p, 31);
        if (_mm512_cmpneq_epi32_mask(_mm512_srai_epi32(p, 24), sign) == 0) {
            _mm512_storeu_si512(static_cast<void*>(pixels + i), _mm512_and_si512(p, sign));
            continue;
        }
        __m256i halves[2];
        for (unsigned h = 0; h < 2; ++h) {
            const __m512i wide = _mm512_cvtepu8_epi16(h == 0 ? _mm512_castsi512_si256(p) : _mm512_extracti64x4_epi64(p, 1));
            const __m512i alpha = _mm512_shuffle_epi8(wide, alphaIndex);
            const __m512i x = _mm512_mullo_epi16(wide, alpha);
            halves[h] = _mm512_cvtepi16_epi8(_mm512_srli_epi16(_mm512_add_epi16(_mm512_add_epi16(x, _mm512_srli_epi16(x, 8)), one), 8));
        }
        const __m512i scaled = _mm512_inserti64x4(_mm512_castsi256_si512(halves[0]), halves[1], 1);
        _mm512_storeu_si512(static_cast<void*>(pixels + i), _mm512_ternarylogic_epi32(opaque, p, scaled, 0xCA));
    }
    portable::premultiply(pixels + i, count - i);
}

void finishStreaming() { _mm_sfence(); }

}  // namespace

const RowKernels avx512Kernels{unpackRuns,
                               planesToChunky,
                               preparePalette,
                               portable::splitHold,
                               convertIndexed<false>,
                               convertIndexed<true>,
                               convertHold,
                               portable::convertPlanarRgb,
                               portable::convertPlanarRgba,
                               portable::convertChunkyRgb,
                               portable::convertChunkyRgba,
                               applyMaskPlane,
                               clearValue,
                               premultiply,
                               finishStreaming};

}  // namespace vantrel::kernels
#endif
