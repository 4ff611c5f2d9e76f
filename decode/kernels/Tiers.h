// The tables of row kernels, one per tier, each defined in its tier's file.
#pragma once

#include "decode/kernels/RowKernels.h"

namespace vantrel::kernels {

extern const RowKernels baselineKernels;
#if VANTREL_X86_64
extern const RowKernels avx2Kernels;
extern const RowKernels avx2GfniKernels;  // the AVX2 table with the GFNI plane turn
extern const RowKernels avx512Kernels;

// The plane turn of RowKernels with AVX2 and GFNI, built in a file of its own
// for that instruction set.
void avx2GfniPlanesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                            std::uint32_t planeRowBytes, std::uint8_t* out);
#endif
#if VANTREL_AARCH64
extern const RowKernels neonKernels;
#endif

}  // namespace vantrel::kernels
