// The damage cases (fuzz/DamageCases.h) and the fuzz regression corpus held to
// the reference decoder at every instruction-set level: the damage tests
// proper only check that the fast decoder stays in bounds and repeats itself.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/DamageCases.h"
#include "tests/oracle/Agreement.h"

namespace vantrel {
namespace {

// Runs one kind of damage over every generated subject; stops at the first
// subject with a difference (each is reported as it is found).
void agreeUnderDamage(void (*damage)(const fuzz::Subject&, const fuzz::DamageVisitor&)) {
    std::size_t pictures = 0;
    for (const fuzz::Subject& s : fuzz::generatedSubjects()) {
        damage(s, [&](const fuzz::Bytes& bytes, const std::string& what) {
            if (!::testing::Test::HasFailure() && decodersAgree(bytes, what)) ++pictures;
        });
        if (::testing::Test::HasFailure()) return;
    }
    EXPECT_GT(pictures, 0u);
}

TEST(OracleDamage, ShortBodies) { agreeUnderDamage(fuzz::shortBodies); }
TEST(OracleDamage, ByteFlips) { agreeUnderDamage(fuzz::byteFlips); }
TEST(OracleDamage, HeaderFieldRewrites) { agreeUnderDamage(fuzz::headerRewrites); }
TEST(OracleDamage, ChunkSizeRewrites) { agreeUnderDamage(fuzz::sizeRewrites); }

TEST(OracleDamage, FuzzRegressionCorpus) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(VANTREL_FUZZ_REGRESSION_DIR)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const fs::path& path : files) {
        std::ifstream in(path, std::ios::binary);
        const test::Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
        decodersAgree(file, path.filename().string());
    }
}

}  // namespace
}  // namespace vantrel
