// Bit planes to chunky bytes with AVX2, 256 pixels at a time, for the files
// built for AVX2 (with or without GFNI). Each 8x8 block of bits (one byte of
// each plane) is turned, and the plane bytes are interleaved so that each
// 64-bit lane holds one byte of every plane. Turn::planes may turn the bits
// across the plane registers before the interleave, Turn::lane within each
// 64-bit lane after it; between them pixel i ends in byte i with plane j in
// bit j. Included inside each file's unnamed namespace, so that each compiles
// it with its own flags.
#pragma once

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "decode/kernels/Portable.h"
#include "decode/kernels/Sse2Planes.h"

namespace vantrel::kernels {
namespace {
namespace avx2 {

inline __m256i load256(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
inline void store256(void* p, __m256i v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
inline __m128i load128(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }

// The two 128-bit lanes work on plane bytes 0 to 15 and 16 to 31: pixels
// 0 to 127 and 128 to 255. Each pair of flipped vectors holds 32 chunky bytes
// of each half; their lanes are regrouped so that each store is contiguous.
template <typename Turn>
void storeFlipped(std::uint8_t* out, __m256i low, __m256i high) {
    const __m256i first = Turn::lane(_mm256_unpacklo_epi32(low, high));
    const __m256i second = Turn::lane(_mm256_unpackhi_epi32(low, high));
    store256(out, _mm256_permute2x128_si256(first, second, 0x20));
    store256(out + 128, _mm256_permute2x128_si256(first, second, 0x31));
}

// Eight plane registers, plane 7 - k in r[k], interleaved so that each
// 64-bit lane holds one byte of every plane, plane j in byte 7 - j. The low
// lanes give out[0..127], the high lanes out[128..255].
template <typename Turn>
void transposeStore(__m256i (&r)[8], std::uint8_t* out) {
    Turn::planes(r);
    const __m256i a0 = _mm256_unpacklo_epi8(r[0], r[1]), a1 = _mm256_unpackhi_epi8(r[0], r[1]);
    const __m256i b0 = _mm256_unpacklo_epi8(r[2], r[3]), b1 = _mm256_unpackhi_epi8(r[2], r[3]);
    const __m256i c0 = _mm256_unpacklo_epi8(r[4], r[5]), c1 = _mm256_unpackhi_epi8(r[4], r[5]);
    const __m256i d0 = _mm256_unpacklo_epi8(r[6], r[7]), d1 = _mm256_unpackhi_epi8(r[6], r[7]);
    storeFlipped<Turn>(out, _mm256_unpacklo_epi16(a0, b0), _mm256_unpacklo_epi16(c0, d0));
    storeFlipped<Turn>(out + 32, _mm256_unpackhi_epi16(a0, b0), _mm256_unpackhi_epi16(c0, d0));
    storeFlipped<Turn>(out + 64, _mm256_unpacklo_epi16(a1, b1), _mm256_unpacklo_epi16(c1, d1));
    storeFlipped<Turn>(out + 96, _mm256_unpackhi_epi16(a1, b1), _mm256_unpackhi_epi16(c1, d1));
}

// The turn in plain AVX2, between plane registers before the interleave,
// which then puts each chunky byte in place as it is.
struct RegisterTurn {
    struct Swap {
        template <int Shift>
        static void bits(__m256i& a, __m256i& b, char kept) {
            const __m256i t = _mm256_and_si256(_mm256_xor_si256(_mm256_srli_epi16(a, Shift), b), _mm256_set1_epi8(kept));
            b = _mm256_xor_si256(b, t);
            a = _mm256_xor_si256(a, _mm256_slli_epi16(t, Shift));
        }
    };
    static void planes(__m256i (&r)[8]) {
        portable::turnPlaneRegisters<Swap>([&r](unsigned j) -> __m256i& { return r[7 - j]; });
    }
    static __m256i lane(__m256i x) { return x; }
    using Narrow = sse2::RegisterTurn;
};

// 256 pixels from 32 bytes of each plane; missing planes read as zero.
template <typename Turn>
void planesToChunky256(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint8_t* out) {
    __m256i r[8];
    for (unsigned k = 0; k < 8; ++k) {
        const unsigned j = 7 - k;
        r[k] = j < planes ? load256(plane0 + j * stride) : _mm256_setzero_si256();
    }
    transposeStore<Turn>(r, out);
}

// 256 pixels at a time, and the end of the row with 128-bit vectors and
// Turn::Narrow, the same turn at that width.
template <typename Turn>
void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                    std::uint32_t planeRowBytes, std::uint8_t* out) {
    std::uint32_t b = 0;
    for (; b < groups && b + 32 <= planeRowBytes; b += 32) {
        planesToChunky256<Turn>(plane0 + b, stride, planes, out + 8 * b);
    }
    sse2::planesToChunkyFrom<typename Turn::Narrow>(plane0, stride, planes, b, groups, planeRowBytes, out);
}

}  // namespace avx2
}  // namespace
}  // namespace vantrel::kernels
