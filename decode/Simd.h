// Which tier of row kernels the decoder uses. The processor is asked once
// (cpuid, and xgetbv for whether the system saves the wider registers, on
// x86-64; every AArch64 processor has NEON); the answer is cached. Every tier
// gives the same pixels, and tests and benchmarks cap the tier to hold each
// one to the reference and to time it.
#pragma once

#if defined(__x86_64__) || defined(_M_X64)
#define VANTREL_X86_64 1
#endif
#if defined(__aarch64__) || defined(_M_ARM64)
#define VANTREL_AARCH64 1
#endif

namespace vantrel {

// Tiers of one architecture rise with their value: Baseline, Avx2, Avx2Gfni,
// Avx512 on x86-64; Baseline, Neon on AArch64.
enum class SimdLevel : int {
    Baseline = 0,  // SSE2 on x86-64, plain C++ elsewhere
    Avx2 = 1,      // AVX2 and BMI2, with the system saving the YMM state
    Avx2Gfni = 2,  // the same with GFNI (processors with GFNI but not AVX-512)
    Avx512 = 3,    // AVX-512 F, BW, VL, VBMI and GFNI, with the system saving their state
    Neon = 4,      // AArch64 Advanced SIMD
};

// What this processor and system support.
SimdLevel supportedSimdLevel();

// What the decoder uses: the supported level, or the highest tier of this
// architecture at or below the cap of limitSimdLevel.
SimdLevel simdLevel();

// Caps the level for every later decode (tests and benchmarks); passing the
// highest level lifts the cap. Not meant to be changed while decoding.
void limitSimdLevel(SimdLevel cap);

const char* simdLevelName(SimdLevel level);

}  // namespace vantrel
