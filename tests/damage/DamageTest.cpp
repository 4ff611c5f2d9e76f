// Every generated picture and every corpus file, cut short, with bodies cut
// short, bytes flipped, chunk sizes and header fields rewritten, through the
// whole guarded check of fuzz/PictureCheck.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <set>

#include "fuzz/DamageCases.h"
#include "fuzz/PictureCheck.h"
#include "iff/Parser.h"

namespace vantrel::fuzz {
namespace {

std::vector<Subject> subjects() {
    std::vector<Subject> all = generatedSubjects();
    for (auto& file : folderSubjects(VANTREL_CORPUS_DIR)) all.push_back(std::move(file));
    return all;
}

// Runs one kind of damage over every subject, counting the cases and keeping
// the first few failures with what was done to the file.
void runDamage(const char* kind, void (*damage)(const Subject&, const DamageVisitor&)) {
    std::size_t cases = 0;
    std::size_t accepted = 0;
    std::vector<std::string> failures;
    for (const Subject& s : subjects()) {
        damage(s, [&](const Bytes& bytes, const std::string& what) {
            const CheckResult result = checkPicture(bytes.data(), bytes.size());
            ++cases;
            if (result.accepted) ++accepted;
            if (!result.problem.empty() && failures.size() < 20) failures.push_back(what + ": " + result.problem);
        });
    }
    std::printf("%s: %zu damaged files checked, %zu accepted\n", kind, cases, accepted);
    ::testing::Test::RecordProperty("cases", static_cast<int>(cases));
    EXPECT_TRUE(failures.empty()) << failures.size() << " failures, first: " << failures.front();
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
TEST(DamagedPictures, EveryTruncation) { runDamage("truncations", truncations); }
TEST(DamagedPictures, ShortBodies) { runDamage("short bodies", shortBodies); }
TEST(DamagedPictures, ByteFlips) { runDamage("byte flips", byteFlips); }
TEST(DamagedPictures, ChunkSizeRewrites) { runDamage("chunk size rewrites", sizeRewrites); }
TEST(DamagedPictures, HeaderFieldRewrites) { runDamage("header field rewrites", headerRewrites); }

}  // namespace
}  // namespace vantrel::fuzz
