// The instruction-set level the decoder picks: what the processor and system
// offer (as Linux reports it), and capped on request.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <initializer_list>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "decode/Simd.h"
#include "tests/support/SimdTiers.h"

namespace vantrel {
namespace {

#if defined(__x86_64__)
// The "flags" line of /proc/cpuinfo: features the kernel found and enabled
// (it drops the AVX-512 ones when it does not save their registers).
std::set<std::string> cpuFlags() {
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("flags", 0) != 0) continue;
        std::istringstream words(line.substr(line.find(':') + 1));
        std::set<std::string> flags;
        for (std::string w; words >> w;) flags.insert(w);
        return flags;
    }
    return {};
}

bool hasAll(const std::set<std::string>& flags, std::initializer_list<const char*> wanted) {
    for (const char* f : wanted) {
        if (flags.count(f) == 0) return false;
    }
    return true;
}
#endif

// The tier with this tag, or the baseline while the library has no such tier.
SimdLevel tierTagged(const std::string& tag) {
    for (SimdLevel tier : test::allTiers()) {
        if (test::tierTag(tier) == tag) return tier;
    }
    return SimdLevel::Baseline;
}

TEST(SimdLevel, MatchesWhatTheSystemReports) {
#if defined(__x86_64__)
    const std::set<std::string> flags = cpuFlags();
    if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo";
    SimdLevel expected = SimdLevel::Baseline;
    if (hasAll(flags, {"avx2", "bmi2"})) expected = tierTagged("Avx2");
    if (hasAll(flags, {"avx2", "bmi2", "gfni"})) expected = tierTagged("Avx2Gfni");
    if (hasAll(flags, {"avx512f", "avx512bw", "avx512vl", "avx512vbmi", "gfni", "bmi2"})) expected = SimdLevel::Avx512;
    EXPECT_EQ(supportedSimdLevel(), expected);
#elif defined(__aarch64__)
    EXPECT_EQ(supportedSimdLevel(), tierTagged("Neon"));  // every AArch64 processor has NEON
#else
    EXPECT_EQ(supportedSimdLevel(), SimdLevel::Baseline);
#endif
}

// The tests hold each tier here to the reference by capping the decoder to
// it, so the cap must land on exactly that tier.
TEST(SimdLevel, EveryTierHereCanBeChosen) {
    std::printf("%s\n", test::describeTiers().c_str());
    const std::vector<SimdLevel> here = test::tiersHere();
    EXPECT_EQ(here.front(), SimdLevel::Baseline);
    EXPECT_EQ(here.back(), supportedSimdLevel());
    for (SimdLevel tier : here) {
        const test::TierCap cap(tier);
        EXPECT_EQ(simdLevel(), tier) << simdLevelName(tier);
    }
    EXPECT_EQ(simdLevel(), supportedSimdLevel());
}

TEST(SimdLevel, CapHoldsUntilLifted) {
    const SimdLevel supported = supportedSimdLevel();
    limitSimdLevel(SimdLevel::Baseline);
    EXPECT_EQ(simdLevel(), SimdLevel::Baseline);
    EXPECT_EQ(supportedSimdLevel(), supported);
    limitSimdLevel(test::allTiers().back());
    EXPECT_EQ(simdLevel(), supported);
}

}  // namespace
}  // namespace vantrel
