// The AVX2 tier's plane turn for processors that also have GFNI (without
// AVX-512): one gf2p8affineqb turns each 64-bit lane of eight plane bytes
// into the eight chunky bytes, where plain AVX2 needs three rounds of bit
// swaps. This file is built for AVX2 and GFNI, and is called only on
// processors that have both.
#include "decode/kernels/Tiers.h"

#if VANTREL_X86_64
#include "decode/kernels/Avx2Planes.h"

namespace vantrel::kernels {
namespace {

// Plane j is in byte 7 - j of the lane, which is where the affine transform
// takes the row of matrix bit j from; output byte i takes the bit of pixel i,
// bit 7 - i of each plane byte.
struct AffineTurn {
    static void planes(__m256i (&)[8]) {}
    static __m256i lane(__m256i lane) {
        return _mm256_gf2p8affine_epi64_epi8(_mm256_set1_epi64x(0x0102040810204080ll), lane, 0);
    }
    struct Narrow {
        static void planes(__m128i (&)[8]) {}
        static __m128i lane(__m128i lane) {
            return _mm_gf2p8affine_epi64_epi8(_mm_set1_epi64x(0x0102040810204080ll), lane, 0);
        }
        static constexpr unsigned halfBlockPlanes = 1;  // one instruction turns them all
    };
};

}  // namespace

void avx2GfniPlanesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                            std::uint32_t planeRowBytes, std::uint8_t* out) {
    avx2::planesToChunky<AffineTurn>(plane0, stride, planes, groups, planeRowBytes, out);
}

}  // namespace vantrel::kernels
#endif
