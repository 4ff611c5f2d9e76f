// Which instruction-set level the decoder's row kernels use. The processor is
// asked once (cpuid, and xgetbv for whether the system saves the wider
// registers); the answer is cached. Every level gives the same pixels: the
// baseline (SSE2 on x86-64, plain C++ elsewhere) is what machines without
// AVX-512 run, and tests cap the level to hold each one to the reference.
#pragma once

// Marks a function compiled for a higher level than the build's own. MSVC
// takes the intrinsics anywhere and has no such attribute.
#if defined(__GNUC__) || defined(__clang__)
#define VANTREL_TARGET(features) __attribute__((target(features)))
#else
#define VANTREL_TARGET(features)
#endif

#if defined(__x86_64__) || defined(_M_X64)
#define VANTREL_X86_64 1
#endif

// AVX-512 Foundation, Byte/Word, Vector Length, the byte permutes (VBMI) and
// the Galois-field affine transform (GFNI) that turns bit planes around.
#define VANTREL_TARGET_AVX512 VANTREL_TARGET("avx512f,avx512bw,avx512vl,avx512vbmi,gfni,bmi2")

namespace vantrel {

enum class SimdLevel : int {
    Baseline = 0,  // SSE2 on x86-64, plain C++ elsewhere
    Avx512 = 1,    // AVX-512 F, BW, VL, VBMI and GFNI, with the system saving their state
};

// What this processor and system support.
SimdLevel supportedSimdLevel();

// What the decoder uses: the supported level, or lower under limitSimdLevel.
SimdLevel simdLevel();

// Caps the level for every later decode (tests and benchmarks); passing the
// highest level lifts the cap. Not meant to be changed while decoding.
void limitSimdLevel(SimdLevel cap);

const char* simdLevelName(SimdLevel level);

}  // namespace vantrel
