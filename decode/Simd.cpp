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
std::atomic<int> cap{static_cast<int>(SimdLevel::Neon)};

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

bool hasAll(unsigned bits, unsigned wanted) { return (bits & wanted) == wanted; }

SimdLevel detect() {
    const CpuidResult basic = cpuid(0, 0);
    if (basic.eax < 7) return SimdLevel::Baseline;
    const CpuidResult features = cpuid(1, 0);
    const bool osSaves = (features.ecx & (1u << 27)) != 0;  // OSXSAVE: xgetbv may be used
    if (!osSaves) return SimdLevel::Baseline;
    const unsigned long long state = savedState();
    const unsigned long long ymmState = 0x2 | 0x4;                     // SSE and AVX registers
    const unsigned long long zmmState = ymmState | 0x20 | 0x40 | 0x80;  // opmasks, both ZMM halves
    const CpuidResult extended = cpuid(7, 0);
    const unsigned avx2Bmi2 = (1u << 5) | (1u << 8);
    if ((state & ymmState) != ymmState || !hasAll(extended.ebx, avx2Bmi2)) return SimdLevel::Baseline;
    const unsigned ebxAvx512 = (1u << 16) | (1u << 30) | (1u << 31);  // F, BW, VL
    const unsigned ecxAvx512 = (1u << 1) | (1u << 8);                 // VBMI, GFNI
    if ((state & zmmState) == zmmState && hasAll(extended.ebx, ebxAvx512) && hasAll(extended.ecx, ecxAvx512)) {
        return SimdLevel::Avx512;
    }
    const unsigned ecxGfni = 1u << 8;
    return hasAll(extended.ecx, ecxGfni) ? SimdLevel::Avx2Gfni : SimdLevel::Avx2;
}

bool tierOfThisArchitecture(SimdLevel level) { return level != SimdLevel::Neon; }

#elif VANTREL_AARCH64

SimdLevel detect() { return SimdLevel::Neon; }

bool tierOfThisArchitecture(SimdLevel level) { return level == SimdLevel::Baseline || level == SimdLevel::Neon; }

#else

SimdLevel detect() { return SimdLevel::Baseline; }

bool tierOfThisArchitecture(SimdLevel level) { return level == SimdLevel::Baseline; }

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
    const auto level = static_cast<SimdLevel>(supported < limit ? supported : limit);
    return tierOfThisArchitecture(level) ? level : SimdLevel::Baseline;
}

void limitSimdLevel(SimdLevel level) { cap.store(static_cast<int>(level), std::memory_order_relaxed); }

const char* simdLevelName(SimdLevel level) {
    switch (level) {
        case SimdLevel::Avx2: return "AVX2 (with BMI2)";
        case SimdLevel::Avx2Gfni: return "AVX2 (with BMI2 and GFNI)";
        case SimdLevel::Avx512: return "AVX-512 (F, BW, VL, VBMI, GFNI)";
        case SimdLevel::Neon: return "NEON (AArch64)";
        default: break;
    }
#if VANTREL_X86_64
    return "baseline (SSE2)";
#else
    return "baseline (portable C++)";
#endif
}

}  // namespace vantrel
