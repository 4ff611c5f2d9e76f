// The gdk-pixbuf loader's entry points: what they give for good pictures, how
// they fail, and every damaged file of fuzz/DamageCases through both ways of
// loading (under AddressSanitizer in the sanitizer build).
#include <gtest/gtest.h>

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "fuzz/DamageCases.h"
#include "pixbuf/PixbufPicture.h"
#include "tests/pixbuf/LoaderHarness.h"

namespace vantrel::test {
namespace {

TEST(PixbufLoader, GivesTheDecodersPixelsWithAlphaOnlyWhenNeeded) {
    std::size_t opaque = 0, withAlpha = 0;
    for (const fuzz::Subject& s : fuzz::generatedSubjects()) {
        const LoadResult expected = expectedResult(s.bytes);
        ASSERT_TRUE(expected.loaded) << s.name;
        EXPECT_EQ(compareResults(expected, loadIncrementally(s.bytes, 4096)), "") << s.name;
        EXPECT_EQ(compareResults(expected, loadIncrementally(s.bytes, 3)), "") << s.name;
        EXPECT_EQ(compareResults(expected, loadAtOnce(s.bytes)), "") << s.name;
        ++(expected.hasAlpha ? withAlpha : opaque);
    }
    EXPECT_GT(opaque, 10u);
    EXPECT_GT(withAlpha, 5u);
}

TEST(PixbufLoader, MaskedPixelsAreTransparentAndAPaletteStripIsOneRow) {
    const LoadResult masked = loadAtOnce(twoColourPicture(3, 1, {1, 0, 1}, true));
    ASSERT_TRUE(masked.loaded) << masked.message;
    EXPECT_TRUE(masked.hasAlpha);
    EXPECT_EQ(masked.rgba, (std::vector<std::uint8_t>{255, 255, 255, 255, 0, 0, 0, 0, 255, 255, 255, 255}));

    const LoadResult strip = loadAtOnce(IffBuilder("ILBM").cmap({0xFF0000, 0x00FF00, 0x0000FF}).bytes());
    ASSERT_TRUE(strip.loaded) << strip.message;
    EXPECT_EQ(strip.width, 3);
    EXPECT_EQ(strip.height, 1);
    EXPECT_EQ(std::vector<std::uint8_t>(strip.rgba.begin(), strip.rgba.begin() + 3),
              (std::vector<std::uint8_t>{0xFF, 0x00, 0x00}));
}

TEST(PixbufLoader, IncrementalLoadHandsThePictureOverOnceAndHonoursASizeOfZero) {
    const Bytes picture = twoColourPicture(5, 2, {1, 0, 1, 0, 1, 0, 1, 0, 1, 0}, false);
    const LoadResult whole = loadIncrementally(picture, 7);
    EXPECT_TRUE(whole.loaded);
    EXPECT_EQ(whole.preparedCalls, 1);
    EXPECT_EQ(whole.updatedCalls, 1);
    const LoadResult sizeOnly = loadIncrementally(picture, 7, true);
    EXPECT_EQ(sizeOnly.errorCode, -1) << sizeOnly.message;  // success, no error
    EXPECT_EQ(sizeOnly.preparedCalls, 0);
}

TEST(PixbufLoader, FailuresSayWhatIsWrong) {
    struct Case {
        const char* name;
        Bytes file;
        int code;
        const char* says;
    };
    BitmapHeader twelvePlanes{4, 4, 12, 0, 0, 0};
    const std::vector<Case> cases = {
        {"empty", {}, GDK_PIXBUF_ERROR_UNKNOWN_TYPE, "empty file"},
        {"not IFF", Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0}, GDK_PIXBUF_ERROR_UNKNOWN_TYPE,
         "not an IFF \"FORM\" file"},
        {"sound", IffBuilder("8SVX").chunk("VHDR", Bytes(20, 0)).bytes(), GDK_PIXBUF_ERROR_UNKNOWN_TYPE,
         "\"8SVX\", not a picture"},
        {"short header", IffBuilder("ILBM").chunk("BMHD", Bytes(10, 0)).bytes(), GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
         "\"BMHD\" is too short"},
        {"12 planes", IffBuilder("ILBM").bmhd(twelvePlanes).cmap({0}).body(Bytes(96, 0)).bytes(),
         GDK_PIXBUF_ERROR_CORRUPT_IMAGE, "12 bit planes"},
        {"empty colour map", IffBuilder("PBM ").chunk("CMAP", {}).bytes(), GDK_PIXBUF_ERROR_CORRUPT_IMAGE,
         "\"CMAP\" has no entries"},
    };
    for (const Case& c : cases) {
        for (const LoadResult& result : {loadAtOnce(c.file), loadIncrementally(c.file, 5)}) {
            EXPECT_FALSE(result.loaded) << c.name;
            EXPECT_EQ(result.errorCode, c.code) << c.name;
            EXPECT_NE(result.message.find(c.says), std::string::npos) << c.name << ": " << result.message;
        }
    }
}

TEST(PixbufLoader, KeepsNoMoreOfAFileThanItsLimit) {
    pixbuf::FileBytes bytes(std::size_t{1} << 20);
    const Bytes block(std::size_t{1} << 19, 0);
    GError* error = nullptr;
    EXPECT_TRUE(bytes.append(block.data(), block.size(), &error));
    EXPECT_TRUE(bytes.append(block.data(), block.size(), &error));
    EXPECT_FALSE(bytes.append(block.data(), 1, &error));
    ASSERT_NE(error, nullptr);
    EXPECT_STREQ(error->message, "file is larger than 1 MiB, more than any picture needs");
    g_error_free(error);
    error = nullptr;
    EXPECT_TRUE(bytes.failed(&error));  // what stop_load reports: no picture from part of a file
    ASSERT_NE(error, nullptr);
    g_error_free(error);
}

// One kind of damage over every generated picture and corpus file: each
// damaged file through the incremental entry points, in pieces of a size that
// changes from file to file, and every third (of those that are not large
// pictures, whose decoding dominates the time) through the one-shot one.
void runDamage(void (*damage)(const fuzz::Subject&, const fuzz::DamageVisitor&)) {
    std::vector<fuzz::Subject> subjects = fuzz::generatedSubjects();
    for (auto& file : fuzz::folderSubjects(VANTREL_CORPUS_DIR)) subjects.push_back(std::move(file));
    std::size_t cases = 0;
    std::vector<std::string> failures;
    const auto check = [&](const LoadResult& expected, const LoadResult& actual, const std::string& what) {
        const std::string problem = compareResults(expected, actual);
        if (!problem.empty() && failures.size() < 20) failures.push_back(what + ": " + problem);
    };
    for (const fuzz::Subject& s : subjects) {
        damage(s, [&](const Bytes& damaged, const std::string& what) {
            const LoadResult expected = expectedResult(damaged);
            check(expected, loadIncrementally(damaged, 1 + (cases * 7919) % 5000), what);
            if (cases % 3 == 0 && expected.rgba.size() < std::size_t{4} << 18) check(expected, loadAtOnce(damaged), what + " (at once)");
            ++cases;
        });
    }
    EXPECT_GT(cases, 1000u);
    EXPECT_TRUE(failures.empty()) << failures.size() << " failures, first: " << failures.front();
}

TEST(PixbufLoaderDamage, Truncations) { runDamage(fuzz::truncations); }
TEST(PixbufLoaderDamage, ShortBodies) { runDamage(fuzz::shortBodies); }
TEST(PixbufLoaderDamage, ByteFlips) { runDamage(fuzz::byteFlips); }
TEST(PixbufLoaderDamage, SizeRewrites) { runDamage(fuzz::sizeRewrites); }
TEST(PixbufLoaderDamage, HeaderRewrites) { runDamage(fuzz::headerRewrites); }

}  // namespace
}  // namespace vantrel::test
