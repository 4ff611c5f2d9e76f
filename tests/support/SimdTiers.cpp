#include "tests/support/SimdTiers.h"

#include <algorithm>
#include <optional>

namespace vantrel::test {
namespace {

// The tiers arrive one at a time; each is listed here once SimdLevel declares
// it, so no test can leave a new tier out unnoticed.
template <typename Level>
constexpr auto declaredAvx2(int) -> decltype(Level::Avx2, std::optional<Level>()) {
    return Level::Avx2;
}
template <typename Level>
constexpr std::optional<Level> declaredAvx2(long) {
    return std::nullopt;
}
template <typename Level>
constexpr auto declaredNeon(int) -> decltype(Level::Neon, std::optional<Level>()) {
    return Level::Neon;
}
template <typename Level>
constexpr std::optional<Level> declaredNeon(long) {
    return std::nullopt;
}

const std::optional<SimdLevel> avx2 = declaredAvx2<SimdLevel>(0);
const std::optional<SimdLevel> neon = declaredNeon<SimdLevel>(0);

bool isX86Tier(SimdLevel tier) { return tier == SimdLevel::Avx512 || (avx2 && tier == *avx2); }

bool isAarch64Tier(SimdLevel tier) { return neon && tier == *neon; }

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
    std::vector<SimdLevel> tiers{SimdLevel::Baseline, SimdLevel::Avx512};
    if (avx2) tiers.push_back(*avx2);
    if (neon) tiers.push_back(*neon);
    std::sort(tiers.begin(), tiers.end());
    return tiers;
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
    if (tier == SimdLevel::Baseline) return "Baseline";
    if (tier == SimdLevel::Avx512) return "Avx512";
    if (avx2 && tier == *avx2) return "Avx2";
    if (neon && tier == *neon) return "Neon";
    return "Tier" + std::to_string(static_cast<int>(tier));
}

std::string describeTiers() {
    const std::vector<SimdLevel> skipped = tiersSkippedHere();
    return "tiers run: " + joinNames(tiersHere()) + "; skipped, not on this processor: " +
           (skipped.empty() ? std::string("none") : joinNames(skipped));
}

}  // namespace vantrel::test

void vantrel::PrintTo(SimdLevel tier, std::ostream* out) { *out << simdLevelName(tier); }
