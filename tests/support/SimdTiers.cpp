#include "tests/support/SimdTiers.h"

#include <algorithm>

namespace vantrel::test {
namespace {

bool isX86Tier(SimdLevel tier) {
    return tier == SimdLevel::Avx2 || tier == SimdLevel::Avx2Gfni || tier == SimdLevel::Avx512;
}

bool isAarch64Tier(SimdLevel tier) { return tier == SimdLevel::Neon; }

// A tier built for this architecture; the baseline is built everywhere.
bool builtHere(SimdLevel tier) {
#if VANTREL_X86_64
    const bool x86 = true, aarch64 = false;
#elif defined(__aarch64__) || defined(_M_ARM64)
    const bool x86 = false, aarch64 = true;
#else
    const bool x86 = false, aarch64 = false;
#endif
    return (x86 || !isX86Tier(tier)) && (aarch64 || !isAarch64Tier(tier));
}

std::string joinNames(const std::vector<SimdLevel>& tiers) {
    std::string names;
    for (SimdLevel tier : tiers) names += (names.empty() ? "" : ", ") + std::string(simdLevelName(tier));
    return names;
}

}  // namespace

std::vector<SimdLevel> allTiers() {
    return {SimdLevel::Baseline, SimdLevel::Avx2, SimdLevel::Avx2Gfni, SimdLevel::Avx512, SimdLevel::Neon};
}

std::vector<SimdLevel> tiersHere() {
    const SimdLevel supported = supportedSimdLevel();
    std::vector<SimdLevel> here;
    for (SimdLevel tier : allTiers()) {
        if (tier == SimdLevel::Baseline || tier == supported || (tier < supported && builtHere(tier))) {
            here.push_back(tier);
        }
    }
    return here;
}

bool runsHere(SimdLevel tier) {
    const std::vector<SimdLevel> here = tiersHere();
    return std::find(here.begin(), here.end(), tier) != here.end();
}

std::vector<SimdLevel> tiersSkippedHere() {
    std::vector<SimdLevel> skipped;
    for (SimdLevel tier : allTiers()) {
        if (!runsHere(tier)) skipped.push_back(tier);
    }
    return skipped;
}

std::string tierTag(SimdLevel tier) {
    switch (tier) {
        case SimdLevel::Baseline: return "Baseline";
        case SimdLevel::Avx2: return "Avx2";
        case SimdLevel::Avx2Gfni: return "Avx2Gfni";
        case SimdLevel::Avx512: return "Avx512";
        case SimdLevel::Neon: return "Neon";
    }
    return "Tier" + std::to_string(static_cast<int>(tier));
}

std::string describeTiers() {
    const std::vector<SimdLevel> skipped = tiersSkippedHere();
    return "tiers run: " + joinNames(tiersHere()) + "; skipped, not on this processor: " +
           (skipped.empty() ? std::string("none") : joinNames(skipped));
}

}  // namespace vantrel::test

void vantrel::PrintTo(SimdLevel tier, std::ostream* out) { *out << simdLevelName(tier); }
