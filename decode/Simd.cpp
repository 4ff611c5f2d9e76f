#include "decode/Simd.h"

#include <atomic>

#if VANTREL_X86_64
#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#include <immintrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace vantrel {
namespace {

// -1 until the processor has been asked. Relaxed atomics: each is one plain
// load or store, and two threads asking at once both store the same answer.
std::atomic<int> detected{-1};
std::atomic<int> cap{static_cast<int>(SimdLevel::Avx512)};

#if VANTREL_X86_64

struct CpuidResult {
    unsigned eax, ebx, ecx, edx;
};

CpuidResult cpuid(unsigned leaf, unsigned subleaf) {
    CpuidResult r{};
#if defined(_MSC_VER) && !defined(__clang__)
    int regs[4];
    __cpuidex(regs, static_cast<int>(leaf), static_cast<int>(subleaf));
    r = {static_cast<unsigned>(regs[0]), static_cast<unsigned>(regs[1]), static_cast<unsigned>(regs[2]),
         static_cast<unsigned>(regs[3])};
#else
    __cpuid_count(leaf, subleaf, r.eax, r.ebx, r.ecx, r.edx);
#endif
    return r;
}

// The register state the system saves on a task switch (XCR0).
unsigned long long savedState() {
#if defined(_MSC_VER) && !defined(__clang__)
    return _xgetbv(0);
#else
    unsigned eax = 0, edx = 0;
    __asm__ volatile("xgetbv" : "=a"(eax), "=d"(edx) : "c"(0));
    return static_cast<unsigned long long>(edx) << 32 | eax;
#endif
}

SimdLevel detect() {
    const CpuidResult basic = cpuid(0, 0);
    if (basic.eax < 7) return SimdLevel::Baseline;
    const CpuidResult features = cpuid(1, 0);
    const bool osSaves = (features.ecx & (1u << 27)) != 0;  // OSXSAVE: xgetbv may be used
    if (!osSaves) return SimdLevel::Baseline;
    // SSE and AVX registers, the opmask registers and both halves of the ZMM file.
    const unsigned long long zmmState = 0x2 | 0x4 | 0x20 | 0x40 | 0x80;
    if ((savedState() & zmmState) != zmmState) return SimdLevel::Baseline;
    const CpuidResult extended = cpuid(7, 0);
    const unsigned ebxNeeded = (1u << 16) | (1u << 30) | (1u << 31) | (1u << 8);  // F, BW, VL, BMI2
    const unsigned ecxNeeded = (1u << 1) | (1u << 8);                              // VBMI, GFNI
    if ((extended.ebx & ebxNeeded) != ebxNeeded || (extended.ecx & ecxNeeded) != ecxNeeded) {
        return SimdLevel::Baseline;
    }
    return SimdLevel::Avx512;
}

#else

SimdLevel detect() { return SimdLevel::Baseline; }

#endif

}  // namespace

SimdLevel supportedSimdLevel() {
    int level = detected.load(std::memory_order_relaxed);
    if (level < 0) {
        level = static_cast<int>(detect());
        detected.store(level, std::memory_order_relaxed);
    }
    return static_cast<SimdLevel>(level);
}

SimdLevel simdLevel() {
    const int supported = static_cast<int>(supportedSimdLevel());
    const int limit = cap.load(std::memory_order_relaxed);
    return static_cast<SimdLevel>(supported < limit ? supported : limit);
}

void limitSimdLevel(SimdLevel level) { cap.store(static_cast<int>(level), std::memory_order_relaxed); }

const char* simdLevelName(SimdLevel level) {
    return level == SimdLevel::Avx512 ? "AVX-512 (F, BW, VL, VBMI, GFNI)" : "baseline (SSE2 on x86-64)";
}

}  // namespace vantrel
