// selectPixelMode over the combinations of plane count, colour map size,
// display mode bits and line palettes, through parsePicture.
#include <gtest/gtest.h>

#include <optional>

#include "tests/core/GuardedDecode.h"

namespace vantrel::test {
namespace {

constexpr int none = -1;
constexpr std::uint32_t ham = 0x800;
constexpr std::uint32_t ehb = 0x80;

struct ModeCase {
    std::uint8_t planes;
    int entries;  // colour map entries, or none
    std::uint32_t displayMode;
    bool linePalettes;
    bool body;
    std::optional<PixelMode> mode;  // nullopt: not a picture
};

Bytes pictureFor(const ModeCase& c) {
    IffBuilder b;
    BitmapHeader h;
    h.width = 8;
    h.height = 1;
    h.planes = c.planes;
    if (c.planes != 0 || c.body) b.bmhd(h);  // a body with 0 planes comes with a 0-plane header
    if (c.displayMode != 0) b.camg(c.displayMode);
    if (c.linePalettes) b.chunk("CTBL", Bytes(32));
    if (c.entries != none) b.cmap(std::vector<std::uint32_t>(std::size_t(c.entries), 0x123456));
    if (c.body) b.body({});
    return b.bytes();
}

TEST(SelectPixelMode, ChoosesByPlanesColourMapDisplayModeAndLinePalettes) {
    using M = PixelMode;
    const std::optional<PixelMode> fail;
    const ModeCase cases[] = {
        {0, 16, 0, false, false, M::PaletteStrip},
        {0, 0, 0, false, true, M::PaletteStrip},
        {0, none, 0, false, true, fail},
        {4, 16, 0, false, false, fail},
        {4, none, 0, false, true, fail},
        {8, none, 0, false, true, M::Grey8},
        {8, none, ham, false, true, M::Grey8},
        {8, 256, ham, false, true, M::Ham8},
        {8, 32, ham, false, true, fail},
        {7, 64, ham, false, true, M::Ham8},
        {7, 63, ham, false, true, fail},
        {5, 16, ham, false, true, M::Ham6},
        {6, 15, ham, false, true, fail},
        {6, 16, ham | ehb, false, true, M::Ham6},
        {6, 16, ehb, false, true, fail},
        {6, 32, ehb, false, true, M::HalfBrite},
        {6, 64, ehb, false, true, M::HalfBrite},
        {5, 32, ehb, false, true, M::Indexed},
        {4, 3, ham, false, true, M::Indexed},
        {4, 16, ham | ehb, false, true, M::Indexed},
        {6, 16, 0, false, true, M::Ham6},
        {6, 32, 0, false, true, M::HalfBrite},
        {6, 48, 0, false, true, M::Indexed},
        {6, 64, 0, false, true, M::Indexed},
        {5, 16, 0, false, true, M::Ham6},
        {5, 8, 0, false, true, M::Indexed},
        {5, 32, 0, false, true, M::Indexed},
        {7, 64, 0, false, true, M::Ham8},
        {7, 32, 0, false, true, M::Indexed},
        {7, 128, 0, false, true, M::Indexed},
        {8, 64, 0, false, true, M::Ham8},
        {8, 32, 0, false, true, M::Indexed},
        {1, 1, 0, false, true, M::Indexed},
        {1, 0, 0, false, true, M::Indexed},
        {4, none, 0, true, true, M::LinePalette},
        {4, 16, ham, true, true, M::LinePalette},
        {6, none, 0, true, true, M::LineHam6},
        {5, 2, ehb, true, true, M::LineHam6},
        {3, 8, 0, true, true, M::Indexed},
        {3, none, 0, true, true, fail},
        {7, none, 0, false, true, fail},
        {8, none, 0, true, true, M::Grey8},
        {6, none, 0, true, false, fail},
        {24, 16, 0, false, true, M::Rgb24},
        {32, none, ham, true, true, M::Rgba32},
        {24, none, 0, false, false, fail},
    };
    for (const ModeCase& c : cases) {
        const Decoded d = parseGuarded(pictureFor(c));
        const std::string name = std::to_string(c.planes) + " planes, " + std::to_string(c.entries) + " entries, CAMG " +
                                 std::to_string(c.displayMode) + (c.linePalettes ? ", line palettes" : "");
        ASSERT_EQ(d.ok, c.mode.has_value()) << name;
        if (d.ok) {
            EXPECT_EQ(d.info.pixelMode, *c.mode) << name;
        }
    }
}

TEST(SelectPixelMode, TrueColourDropsTheColourMapAndOtherModesKeepLinePalettes) {
    const Decoded rgb = parseGuarded(pictureFor({24, 16, 0, false, true, PixelMode::Rgb24}));
    EXPECT_EQ(rgb.paletteAt, -1);
    const Decoded indexed = parseGuarded(pictureFor({3, 8, 0, true, true, PixelMode::Indexed}));
    EXPECT_NE(indexed.linePalettesAt, -1);
    EXPECT_EQ(indexed.info.linePaletteCount, 1);
    EXPECT_NE(indexed.paletteAt, -1);
}

}  // namespace
}  // namespace vantrel::test
