#include "decode/kernels/Tiers.h"

namespace vantrel {

const RowKernels& rowKernels(SimdLevel level) {
    switch (level) {
#if VANTREL_X86_64
        case SimdLevel::Avx2: return kernels::avx2Kernels;
        case SimdLevel::Avx2Gfni: return kernels::avx2GfniKernels;
        case SimdLevel::Avx512: return kernels::avx512Kernels;
#endif
#if VANTREL_AARCH64
        case SimdLevel::Neon: return kernels::neonKernels;
#endif
        default: return kernels::baselineKernels;
    }
}

}  // namespace vantrel
