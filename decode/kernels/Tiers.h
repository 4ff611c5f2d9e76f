// The tables of row kernels, one per tier, each defined in its tier's file.
#pragma once

#include "decode/kernels/RowKernels.h"

namespace vantrel::kernels {

extern const RowKernels baselineKernels;
#if VANTREL_X86_64
extern const RowKernels avx2Kernels;
extern const RowKernels avx512Kernels;
#endif
#if VANTREL_AARCH64
extern const RowKernels neonKernels;
#endif

}  // namespace vantrel::kernels
