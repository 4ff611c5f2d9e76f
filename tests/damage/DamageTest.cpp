// Every generated picture and every corpus file, cut short, with bodies cut
// short, bytes flipped, chunk sizes and header fields rewritten, through the
// whole guarded check of fuzz/PictureCheck.h at every tier of row kernels
// this machine runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <tuple>

#include "fuzz/DamageCases.h"
#include "fuzz/PictureCheck.h"
#include "iff/Parser.h"
#include "tests/support/SimdTiers.h"

namespace vantrel::fuzz {
namespace {

std::vector<Subject> subjects() {
    std::vector<Subject> all = generatedSubjects();
    for (auto& file : folderSubjects(VANTREL_CORPUS_DIR)) all.push_back(std::move(file));
    return all;
}

// What picks the decoder's row kernels: a damaged file that keeps all of
// these runs the same kernels as the undamaged picture.
using KernelKey = std::tuple<PixelMode, FormType, unsigned, unsigned, unsigned>;

KernelKey kernelKey(const ImageInfo& info) {
    return {info.pixelMode, info.formType, info.compression, info.masking, info.planeCount};
}

// Those of every undamaged subject that has a body (a palette strip has none).
std::set<KernelKey> subjectKernels() {
    std::set<KernelKey> keys;
    for (const Subject& s : subjects()) {
        ImageInfo info{};
        if (!parsePicture(info, s.bytes.data(), s.bytes.data() + s.bytes.size())) continue;
        if (info.pixelMode != PixelMode::PaletteStrip) keys.insert(kernelKey(info));
    }
    return keys;
}

// VANTREL_DAMAGE_SAMPLE=N checks every Nth case of a kind for each subject
// (the run under an emulator takes a sample); unset, every case. Zero when
// the value is no count.
unsigned sampleEvery() {
    const char* value = std::getenv("VANTREL_DAMAGE_SAMPLE");
    if (value == nullptr || *value == '\0') return 1;
    char* end = nullptr;
    const unsigned long n = std::strtoul(value, &end, 10);
    return *end == '\0' && n >= 1 && n <= 1000000 ? static_cast<unsigned>(n) : 0;
}

enum class Sampling { Allowed, EveryCase };
enum class Kernels { MayChange, MustAllBeReached };

// Runs one kind of damage over every subject (or the sample of it), counting
// the cases and keeping the first few failures with what was done to the
// file. Kinds that leave most pictures whole must reach, in what they check,
// the row kernels of every undamaged subject.
void runDamage(const char* kind, void (*damage)(const Subject&, const DamageVisitor&), Sampling sampling,
               Kernels kernels) {
    const unsigned every = sampling == Sampling::EveryCase ? 1 : sampleEvery();
    ASSERT_NE(every, 0u) << "VANTREL_DAMAGE_SAMPLE is not a count from 1: " << std::getenv("VANTREL_DAMAGE_SAMPLE");
    std::size_t cases = 0, checked = 0, accepted = 0;
    std::set<KernelKey> reached;
    std::vector<std::string> failures;
    const std::vector<Subject> all = subjects();
    for (std::size_t i = 0; i < all.size(); ++i) {
        std::size_t k = 0;
        damage(all[i], [&](const Bytes& bytes, const std::string& what) {
            ++cases;
            // Each subject's first case, then every Nth from a point that moves with the subject.
            const bool sampled = k == 0 || (k + i) % every == 0;
            ++k;
            if (!sampled) return;
            const CheckResult result = checkPicture(bytes.data(), bytes.size());
            ++checked;
            ImageInfo info{};
            if (result.accepted && parsePicture(info, bytes.data(), bytes.data() + bytes.size())) {
                ++accepted;
                reached.insert(kernelKey(info));
            }
            if (!result.problem.empty() && failures.size() < 20) failures.push_back(what + ": " + result.problem);
        });
    }
    std::printf("%s: %zu of %zu damaged files checked (every %u), %zu accepted; %s\n", kind, checked, cases, every,
                accepted, test::describeTiers().c_str());
    ::testing::Test::RecordProperty("cases", static_cast<int>(checked));
    EXPECT_TRUE(failures.empty()) << failures.size() << " failures, first: " << failures.front();
    if (kernels == Kernels::MustAllBeReached) {
        const std::set<KernelKey> wanted = subjectKernels();
        EXPECT_TRUE(std::includes(reached.begin(), reached.end(), wanted.begin(), wanted.end()))
            << kind << " reach " << reached.size() << " kernel choices, the undamaged subjects " << wanted.size();
    }
}

TEST(DamagedPictures, GeneratedSetCoversEveryFormModeAndEncoding) {
    std::set<PixelMode> modes;
    std::set<FormType> forms;
    std::set<unsigned> compressions, maskings;
    bool linePalettes = false;
    for (const Subject& s : generatedSubjects()) {
        ImageInfo info{};
        ASSERT_TRUE(parsePicture(info, s.bytes.data(), s.bytes.data() + s.bytes.size())) << s.name;
        const CheckResult result = checkPicture(s.bytes.data(), s.bytes.size());
        EXPECT_TRUE(result.problem.empty()) << s.name << ": " << result.problem;
        modes.insert(info.pixelMode);
        forms.insert(info.formType);
        compressions.insert(info.compression);
        maskings.insert(info.masking);
        linePalettes = linePalettes || info.linePalettes != nullptr;
    }
    EXPECT_EQ(modes.size(), 10u);
    EXPECT_EQ(forms.size(), 3u);
    EXPECT_EQ(compressions.size(), 2u);
    EXPECT_EQ(maskings.size(), 3u);
    EXPECT_TRUE(linePalettes);
}

// Truncation alone only reaches the parser: a body chunk cut short is not taken.
TEST(DamagedPictures, EveryTruncation) {
    runDamage("truncations", truncations, Sampling::Allowed, Kernels::MayChange);
}
TEST(DamagedPictures, ShortBodies) {
    runDamage("short bodies", shortBodies, Sampling::Allowed, Kernels::MustAllBeReached);
}
TEST(DamagedPictures, ByteFlips) { runDamage("byte flips", byteFlips, Sampling::Allowed, Kernels::MustAllBeReached); }
TEST(DamagedPictures, ChunkSizeRewrites) {
    runDamage("chunk size rewrites", sizeRewrites, Sampling::Allowed, Kernels::MayChange);
}
// Rewritten plane counts, masking and compression move a picture to other
// kernels: every case runs, sample or not.
TEST(DamagedPictures, HeaderFieldRewrites) {
    runDamage("header field rewrites", headerRewrites, Sampling::EveryCase, Kernels::MayChange);
}

}  // namespace
}  // namespace vantrel::fuzz
