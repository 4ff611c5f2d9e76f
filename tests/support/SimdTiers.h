// The decoder's tiers of row kernels as the tests see them: which of them
// this machine runs, which it lacks, and a scope that caps the decoder to one.
// Every check that holds the decoder to the reference runs it at each tier
// here and names the tiers it left out.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "decode/Simd.h"

namespace vantrel::test {

// Every tier the library has, lowest first.
std::vector<SimdLevel> allTiers();

// The tiers this processor runs, lowest first: the baseline, the supported
// tier and those between them built for this processor's architecture.
std::vector<SimdLevel> tiersHere();

bool runsHere(SimdLevel tier);

// allTiers() less tiersHere().
std::vector<SimdLevel> tiersSkippedHere();

// One word for a tier, fit for a test name: "Baseline", "Avx512", ...
std::string tierTag(SimdLevel tier);

// "baseline (...), AVX-512 (...); skipped, not on this processor: ..."
std::string describeTiers();

// Caps the decoder to one tier for a scope, then lifts the cap.
class TierCap {
public:
    explicit TierCap(SimdLevel tier) { limitSimdLevel(tier); }
    ~TierCap() { limitSimdLevel(supportedSimdLevel()); }
    TierCap(const TierCap&) = delete;
    TierCap& operator=(const TierCap&) = delete;
};

}  // namespace vantrel::test

namespace vantrel {

// How GoogleTest shows a tier that parameterises a test.
void PrintTo(SimdLevel tier, std::ostream* out);

}  // namespace vantrel
