#include <gtest/gtest.h>

#include <fstream>

#include "tests/cli/CliHarness.h"

namespace vantrel::test {
namespace {

Rgba thumbnail(const ScratchDir& dir, const Bytes& picture, const std::string& size) {
    const std::string input = dir.write("in.iff", picture);
    const RunResult run = runVantrel({"thumbnail", "-s", size, input, dir.path("thumb.png")});
    EXPECT_EQ(run.status, 0) << run.err;
    return readPng(dir.path("thumb.png"));
}

std::vector<std::uint32_t> filled(unsigned width, unsigned height, std::uint32_t value) {
    return std::vector<std::uint32_t>(std::size_t{width} * height, value);
}

TEST(Thumbnail, FitsTheBoxKeepingAspectAndNeverEnlarges) {
    struct Case {
        unsigned width, height;
        const char* box;
        std::uint32_t expectWidth, expectHeight;
    } cases[] = {
        {300, 100, "64", 64, 21},   // wide
        {50, 200, "128", 32, 128},  // tall
        {10, 5, "256", 10, 5},      // tiny: kept as it is
        {1000, 3, "100", 100, 1},   // a sliver keeps at least one row
        {64, 64, "64", 64, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        ScratchDir dir;
        const Rgba png = thumbnail(dir, twoColourPicture(c.width, c.height, filled(c.width, c.height, 1), false), c.box);
        EXPECT_EQ(png.width, c.expectWidth);
        EXPECT_EQ(png.height, c.expectHeight);
        EXPECT_FALSE(png.fileHasAlpha);
    }
}

TEST(Thumbnail, ShrinksTheLargestPictureUpright) {
    // 4096 x 4096, ByteRun1: the top half value 1 (white), the bottom half value 0 (black).
    const unsigned side = 4096, rowBytes = side / 8;
    Bytes body;
    for (unsigned y = 0; y < side; ++y) {
        const Bytes row = packByteRun1(Bytes(rowBytes, y < side / 2 ? 0xFF : 0x00));
        body.insert(body.end(), row.begin(), row.end());
    }
    const Bytes picture =
        IffBuilder("ILBM").bmhd({side, side, 1, 0, 1, 0}).cmap({0x000000, 0xFFFFFF}).body(body).bytes();
    ScratchDir dir;
    const Rgba png = thumbnail(dir, picture, "256");
    ASSERT_EQ(png.width, 256u);
    ASSERT_EQ(png.height, 256u);
    for (std::uint32_t y : {0u, 127u, 128u, 255u}) {
        const std::uint8_t expected = y < 128 ? 0xFF : 0x00;
        EXPECT_EQ(png.pixel(0, y)[0], expected) << "row " << y;
        EXPECT_EQ(png.pixel(255, y)[2], expected) << "row " << y;
    }
}

TEST(Thumbnail, AveragesAreasRatherThanPickingPixels) {
    const unsigned side = 64;
    std::vector<std::uint32_t> checkerboard(side * side);
    for (unsigned i = 0; i < checkerboard.size(); ++i) checkerboard[i] = (i % side + i / side) % 2;
    ScratchDir dir;
    const Rgba png = thumbnail(dir, twoColourPicture(side, side, checkerboard, false), "24");
    ASSERT_EQ(png.width, 24u);
    for (std::size_t i = 0; i < png.bytes.size(); i += 4) {
        ASSERT_NEAR(png.bytes[i], 128, 24) << "pixel " << i / 4;  // 8/3 pixels a side: near mid grey
        ASSERT_EQ(png.bytes[i + 3], 0xFF);
    }
}

TEST(Thumbnail, TransparentAreasLeaveNoDarkFringe) {
    // A white disc on transparent pixels whose stored colour is black.
    const unsigned side = 90;
    std::vector<std::uint32_t> disc(side * side);
    for (unsigned y = 0; y < side; ++y)
        for (unsigned x = 0; x < side; ++x)
            disc[y * side + x] = (x - 45.0) * (x - 45.0) + (y - 45.0) * (y - 45.0) < 30.0 * 30.0 ? 1 : 0;
    ScratchDir dir;
    const Rgba png = thumbnail(dir, twoColourPicture(side, side, disc, true), "37");
    ASSERT_TRUE(png.fileHasAlpha);
    unsigned partial = 0;
    for (std::size_t i = 0; i < png.bytes.size(); i += 4) {
        const std::uint8_t alpha = png.bytes[i + 3];
        if (alpha == 0) continue;
        if (alpha < 0xFF) ++partial;
        for (std::size_t c = 0; c < 3; ++c) ASSERT_GE(png.bytes[i + c], 250) << "pixel " << i / 4 << " alpha " << +alpha;
    }
    EXPECT_GT(partial, 10u);  // the edge really was blended
    EXPECT_EQ(png.pixel(0, 0)[3], 0);
    EXPECT_EQ(png.pixel(18, 18)[3], 0xFF);
}

TEST(Thumbnail, FaintPixelsLendLittleColour) {
    // Columns alternate opaque red and blue with alpha 0x20 (chunky bytes alpha, blue, green, red).
    const unsigned side = 8;
    Bytes body;
    for (unsigned i = 0; i < side * side; ++i) {
        if (i % 2 == 0) body.insert(body.end(), {0xFF, 0x00, 0x00, 0xFF});
        else body.insert(body.end(), {0x20, 0xFF, 0x00, 0x00});
    }
    ScratchDir dir;
    const Rgba png = thumbnail(dir, IffBuilder("PBM ").bmhd({side, side, 32, 0, 0, 0}).body(body).bytes(), "4");
    ASSERT_EQ(png.width, 4u);
    // Weighted by alpha: red 255 * 255 / 287, blue 255 * 32 / 287, alpha 287 / 2.
    for (std::size_t i = 0; i < png.bytes.size(); i += 4) {
        EXPECT_NEAR(png.bytes[i], 227, 3);
        EXPECT_NEAR(png.bytes[i + 2], 28, 3);
        EXPECT_NEAR(png.bytes[i + 3], 143, 2);
    }
}

TEST(Thumbnail, FailsWithoutLeavingAnyFile) {
    ScratchDir dir;
    const Bytes good = twoColourPicture(40, 40, filled(40, 40, 1), false);
    Bytes truncated = good;
    truncated.resize(truncated.size() / 2);
    dir.write("good.iff", good);
    dir.write("cut.iff", truncated);
    dir.write("empty.iff", IffBuilder("ILBM").chunk("CMAP", {0, 0}).bytes());  // a colour map of no colours
    for (const char* input : {"cut.iff", "empty.iff", "absent.iff"}) {
        const RunResult run = runVantrel({"thumbnail", input, "thumb.png"}, dir.path(""));
        EXPECT_EQ(run.status, 1) << input;
        EXPECT_NE(run.err.find(input), std::string::npos) << run.err;
    }
    const RunResult self = runVantrel({"thumbnail", "good.iff", "./good.iff"}, dir.path(""));
    EXPECT_EQ(self.status, 1);
    EXPECT_NE(self.err.find("overwrite"), std::string::npos) << self.err;
    std::ifstream in(dir.path("good.iff"), std::ios::binary);
    EXPECT_EQ(Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>()), good);
    EXPECT_EQ(dir.names(), (std::set<std::string>{"good.iff", "cut.iff", "empty.iff"}));
}

}  // namespace
}  // namespace vantrel::test
