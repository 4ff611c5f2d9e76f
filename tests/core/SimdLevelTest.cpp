// The instruction-set level the decoder picks: what the processor and system
// offer (as Linux reports it), and capped on request.
#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "decode/Simd.h"

namespace vantrel {
namespace {

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

TEST(SimdLevel, MatchesWhatTheSystemReports) {
#if defined(__x86_64__)
    const std::set<std::string> flags = cpuFlags();
    if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo";
    bool all = true;
    for (const char* f : {"avx512f", "avx512bw", "avx512vl", "avx512vbmi", "gfni", "bmi2"}) all = all && flags.count(f) != 0;
    EXPECT_EQ(supportedSimdLevel(), all ? SimdLevel::Avx512 : SimdLevel::Baseline);
#else
    EXPECT_EQ(supportedSimdLevel(), SimdLevel::Baseline);
#endif
}

TEST(SimdLevel, CapHoldsUntilLifted) {
    const SimdLevel supported = supportedSimdLevel();
    limitSimdLevel(SimdLevel::Baseline);
    EXPECT_EQ(simdLevel(), SimdLevel::Baseline);
    EXPECT_EQ(supportedSimdLevel(), supported);
    limitSimdLevel(SimdLevel::Avx512);
    EXPECT_EQ(simdLevel(), supported);
}

}  // namespace
}  // namespace vantrel
