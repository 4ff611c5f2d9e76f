// Pictures made by other programs: their modes, sizes and known content.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/support/CorpusPresence.h"
#include "tests/core/GuardedDecode.h"

namespace vantrel::test {
namespace {

Bytes corpusFile(const char* name) {
    std::ifstream in(std::string(VANTREL_CORPUS_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool allOpaque(const std::vector<std::uint32_t>& pixels) {
    return std::all_of(pixels.begin(), pixels.end(), [](std::uint32_t p) { return p >> 24 == 0xFF; });
}

TEST(Corpus, SmallShamPictureShowsItsRowPalettes) {
    VANTREL_SKIP_WITHOUT_CORPUS();
    const Bytes file = corpusFile("sham-16x4-ham6.ilbm");
    ASSERT_FALSE(file.empty()) << "corpus missing at " << VANTREL_CORPUS_DIR;
    const Decoded d = decodeGuarded(file);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.pixelMode, PixelMode::LineHam6);
    EXPECT_EQ(d.size.width, 16u);
    EXPECT_EQ(d.size.height, 4u);
    EXPECT_EQ(d.info.linePaletteCount, 4);
    const std::uint32_t firstPixels[] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFF00};
    for (unsigned y = 0; y < 4; ++y) EXPECT_EQ(d.at(0, y), firstPixels[y]) << "row " << y;
    EXPECT_TRUE(allOpaque(d.pixels));
}

TEST(Corpus, LargeShamPictureLoadsAPalettePerRow) {
    VANTREL_SKIP_WITHOUT_CORPUS();
    const Bytes file = corpusFile("sham-320x256.iff");
    const Decoded d = decodeGuarded(file);
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.pixelMode, PixelMode::LineHam6);
    EXPECT_EQ(d.size.width, 320u);
    EXPECT_EQ(d.size.height, 256u);
    EXPECT_EQ(d.info.linePaletteCount, 256);
    EXPECT_EQ(d.info.bodySize, 61440u);
    EXPECT_TRUE(allOpaque(d.pixels));
    // Without its "SHAM" chunk the same body decodes through the colour map instead.
    Bytes plain = file;
    const auto sham = std::search(plain.begin(), plain.end(), std::begin("SHAM"), std::end("SHAM") - 1);
    ASSERT_NE(sham, plain.end());
    *sham = 'X';
    const Decoded withoutSham = decodeGuarded(plain);
    EXPECT_EQ(withoutSham.info.pixelMode, PixelMode::Ham6);
    EXPECT_NE(withoutSham.pixels, d.pixels);
}

TEST(Corpus, CompressedPictureWithTransparentColour) {
    VANTREL_SKIP_WITHOUT_CORPUS();
    const Decoded d = decodeGuarded(corpusFile("ilbm8lores.iff"));
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.info.pixelMode, PixelMode::Indexed);
    EXPECT_EQ(d.size.width, 320u);
    EXPECT_EQ(d.size.height, 200u);
    EXPECT_EQ(d.info.compression, 1);
    EXPECT_EQ(d.info.masking, 2);
    EXPECT_EQ(d.info.transparentColor, 0);
    const std::uint32_t colours[] = {0,          0xFF202020, 0xFF404040, 0xFF606060,
                                     0xFF909090, 0xFFB0B0B0, 0xFFD0D0D0, 0xFFF0F0F0};
    std::size_t transparent = 0;
    for (std::uint32_t p : d.pixels) {
        EXPECT_NE(std::find(std::begin(colours), std::end(colours), p), std::end(colours)) << std::hex << p;
        transparent += p == 0 ? 1 : 0;
    }
    EXPECT_GT(transparent, 0u);
    EXPECT_LT(transparent, d.pixels.size());
    EXPECT_EQ(d.at(0, 0), 0u) << "the body starts with runs of value 0";
}

}  // namespace
}  // namespace vantrel::test
