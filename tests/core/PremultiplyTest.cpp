#include "decode/Premultiply.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace vantrel {
namespace {

std::uint32_t premultiplied(std::uint32_t pixel) {
    premultiplyPixels(&pixel, 1);
    return pixel;
}

TEST(Premultiply, ScalesColourAndKeepsAlpha) {
    EXPECT_EQ(premultiplied(0x80FFFFFFu), 0x80808080u);
    EXPECT_EQ(premultiplied(0x00123456u), 0x00000000u);
    EXPECT_EQ(premultiplied(0xFF123456u), 0xFF123456u);
    EXPECT_EQ(premultiplied(0x01FFFFFFu), 0x01010101u);
    EXPECT_EQ(premultiplied(0xFE000000u), 0xFE000000u);
}

TEST(Premultiply, NeverLeavesAColourAboveItsAlpha) {
    for (std::uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (std::uint32_t c = 0; c < 256; ++c) {
            const std::uint32_t p = premultiplied(alpha << 24 | c << 16 | c << 8 | c);
            ASSERT_EQ(p >> 24, alpha);
            ASSERT_LE(p & 0xFF, alpha);
            ASSERT_EQ((p >> 8) & 0xFF, p & 0xFF);
            ASSERT_EQ((p >> 16) & 0xFF, p & 0xFF);
            // The shift-based rounding stays within one step of the exact product.
            const double exact = c * alpha / 255.0;
            ASSERT_LT(std::abs(double(p & 0xFF) - exact), 1.0) << alpha << " " << c;
        }
    }
}

TEST(Premultiply, SweepsEveryWordOfTheRange) {
    std::vector<std::uint32_t> pixels{0x80FFFFFFu, 0xFFABCDEFu, 0x00FFFFFFu, 0x40804020u};
    premultiplyPixels(pixels.data(), 3);
    EXPECT_EQ(pixels, (std::vector<std::uint32_t>{0x80808080u, 0xFFABCDEFu, 0x00000000u, 0x40804020u}));
}

}  // namespace
}  // namespace vantrel
