// Bit planes to chunky bytes with 128-bit vectors, 128 pixels (16 bytes of
// each plane) or 64 (8 bytes) at a time: the baseline tier's turn, and the
// end of a row for the AVX2 tiers once fewer than 32 plane bytes are left,
// where a 256-bit turn would work half empty and a row of 320 pixels would
// leave 64 of them to the byte-at-a-time form. Turn::planes may turn the bits
// across the plane registers before the byte interleave, Turn::lane within
// each 64-bit lane after it. Included inside each file's unnamed namespace,
// so that each compiles it with its own flags.
#pragma once

#include <emmintrin.h>

#include <cstddef>
#include <cstdint>

#include "decode/kernels/Portable.h"

namespace vantrel::kernels {
namespace {
namespace sse2 {

// The turn in SSE2, between plane registers before the interleave, which
// then puts each chunky byte in place as it is.
struct RegisterTurn {
    struct Swap {
        template <int Shift>
        static void bits(__m128i& a, __m128i& b, char kept) {
            const __m128i t = _mm_and_si128(_mm_xor_si128(_mm_srli_epi16(a, Shift), b), _mm_set1_epi8(kept));
            b = _mm_xor_si128(b, t);
            a = _mm_xor_si128(a, _mm_slli_epi16(t, Shift));
        }
    };
    static void planes(__m128i (&r)[8]) {
        portable::turnPlaneRegisters<Swap>([&r](unsigned j) -> __m128i& { return r[7 - j]; });
    }
    static __m128i lane(__m128i x) { return x; }
    // The fewest planes for which turning 8 plane bytes at once beats
    // spreading them one at a time: the rounds cost the same for any plane
    // count (3 planes were 9 to 20% slower with the turn, 5 the same, 6 faster).
    static constexpr unsigned halfBlockPlanes = 5;
};

// 8 * Bytes pixels from Bytes (16 or 8) bytes of each plane, plane 7 - k in
// r[k]; missing planes read as zero. Interleaving the plane bytes leaves one
// byte of every plane in each 64-bit lane, plane j in byte 7 - j, and each
// quarter of the pixels is stored as it comes.
template <typename Turn, unsigned Bytes>
void planesToChunkyBlock(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint8_t* out) {
    static_assert(Bytes == 16 || Bytes == 8, "a whole or half register of plane bytes");
    __m128i r[8];
    for (unsigned k = 0; k < 8; ++k) {
        const unsigned j = 7 - k;
        const std::uint8_t* p = plane0 + j * stride;
        r[k] = j >= planes   ? _mm_setzero_si128()
               : Bytes == 16 ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(p))
                             : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
    }
    Turn::planes(r);
    const __m128i a[2] = {_mm_unpacklo_epi8(r[0], r[1]), _mm_unpackhi_epi8(r[0], r[1])};
    const __m128i b[2] = {_mm_unpacklo_epi8(r[2], r[3]), _mm_unpackhi_epi8(r[2], r[3])};
    const __m128i c[2] = {_mm_unpacklo_epi8(r[4], r[5]), _mm_unpackhi_epi8(r[4], r[5])};
    const __m128i d[2] = {_mm_unpacklo_epi8(r[6], r[7]), _mm_unpackhi_epi8(r[6], r[7])};
    for (unsigned h = 0; h < Bytes / 8; ++h) {
        const __m128i quarters[2][2] = {{_mm_unpacklo_epi16(a[h], b[h]), _mm_unpacklo_epi16(c[h], d[h])},
                                        {_mm_unpackhi_epi16(a[h], b[h]), _mm_unpackhi_epi16(c[h], d[h])}};
        for (unsigned q = 0; q < 2; ++q) {
            std::uint8_t* to = out + 64 * h + 32 * q;
            const __m128i first = Turn::lane(_mm_unpacklo_epi32(quarters[q][0], quarters[q][1]));
            const __m128i second = Turn::lane(_mm_unpackhi_epi32(quarters[q][0], quarters[q][1]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to), first);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(to + 16), second);
        }
    }
}

// Plane bytes from on: 16 at a time, then 8 where the plane row has them and
// the turn pays for that many planes, then the last few one at a time.
template <typename Turn>
void planesToChunkyFrom(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t from,
                        std::uint32_t groups, std::uint32_t planeRowBytes, std::uint8_t* out) {
    std::uint32_t b = from;
    for (; b < groups && b + 16 <= planeRowBytes; b += 16)
        planesToChunkyBlock<Turn, 16>(plane0 + b, stride, planes, out + 8 * b);
    if (b < groups && b + 8 <= planeRowBytes && planes >= Turn::halfBlockPlanes) {
        planesToChunkyBlock<Turn, 8>(plane0 + b, stride, planes, out + 8 * b);
        b += 8;
    }
    portable::planesToChunkyFrom(plane0, stride, planes, b, groups, out);
}

}  // namespace sse2
}  // namespace
}  // namespace vantrel::kernels
