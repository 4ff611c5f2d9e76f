// Output size, base palette and pixel conversion: every pixel mode, line
// palettes, hold-and-modify, the palette strip and the bottom-up row order.
#include <gtest/gtest.h>

#include "decode/Decoder.h"
#include "tests/core/GuardedDecode.h"

namespace vantrel::test {
namespace {

using Words = std::vector<std::uint32_t>;

BitmapHeader header(std::uint16_t width, std::uint16_t height, std::uint8_t planes, std::uint8_t masking = 0) {
    BitmapHeader h;
    h.width = width;
    h.height = height;
    h.planes = planes;
    h.masking = masking;
    return h;
}

// count colour map entries, first + i in each byte of entry i (wrapping per byte).
Words entries(std::size_t count, std::uint32_t first = 0x102030) {
    Words map(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        map[i] = ((first >> 16) + i) % 256 << 16 | ((first >> 8) + i) % 256 << 8 | (first + i) % 256;
    }
    return map;
}

// A picture of interleaved planes whose pixel values are given row by row.
Bytes planar(BitmapHeader h, std::uint32_t displayMode, const Words& map, const Words& values) {
    IffBuilder b;
    b.bmhd(h);
    if (displayMode != 0) b.camg(displayMode);
    if (!map.empty()) b.cmap(map);
    return b.body(interleavedBody(values, h.width, h.height, h.planes)).bytes();
}

Bytes chunky(BitmapHeader h, const Words& map, const Bytes& body, std::uint32_t displayMode = 0) {
    IffBuilder b("PBM ");
    b.bmhd(h);
    if (displayMode != 0) b.camg(displayMode);
    if (!map.empty()) b.cmap(map);
    return b.body(body).bytes();
}

TEST(OutputSize, IsThePictureOrTheColourMapStrip) {
    const Decoded strip = decodeGuarded(IffBuilder().cmap({1, 2, 3}).bytes());
    EXPECT_EQ(strip.size.width, 3u);
    EXPECT_EQ(strip.size.height, 1u);
    const Decoded empty = decodeGuarded(IffBuilder().chunk("CMAP", {1, 2}).bytes());
    EXPECT_EQ(empty.size.width, 0u);
    EXPECT_EQ(empty.size.height, 1u);
    const Decoded picture = decodeGuarded(planar(header(7, 5, 6), 0x800, entries(16), Words(35)));
    EXPECT_EQ(picture.size.width, 7u);
    EXPECT_EQ(picture.size.height, 5u);
}

struct PaletteCase {
    const char* name;
    Bytes file;
    Words map;        // the colour map in the file
    std::size_t taken;  // entries converted from it; every other entry must be 0
};

TEST(BasePalette, TakesTheModesShareOfTheColourMapAndZerosTheRest) {
    const Words map300 = entries(300, 0);
    const PaletteCase cases[] = {
        {"Indexed, short map", planar(header(1, 1, 3), 0, entries(5), {0}), entries(5), 5},
        {"Indexed, long map", planar(header(1, 1, 2), 0, entries(32), {0}), entries(32), 32},
        {"Indexed, 300 entries", planar(header(1, 1, 8), 0, map300, {0}), map300, 256},
        {"Indexed, empty map", IffBuilder().bmhd(header(1, 1, 4)).chunk("CMAP", {9, 9}).body({}).bytes(), {}, 0},
        {"Ham6, 32 entries", planar(header(1, 1, 6), 0x800, entries(32), {0}), entries(32), 16},
        {"Ham8, 256 entries", planar(header(1, 1, 8), 0x800, entries(256), {0}), entries(256), 64},
        {"Grey8", planar(header(1, 1, 8), 0, {}, {0}), {}, 0},
        {"Rgb24", IffBuilder().bmhd(header(1, 1, 24)).cmap(entries(4)).body({}).bytes(), {}, 0},
        {"Rgba32", IffBuilder().bmhd(header(1, 1, 32)).body({}).bytes(), {}, 0},
        {"LinePalette", IffBuilder().bmhd(header(1, 1, 4)).cmap(entries(16)).chunk("CTBL", Bytes(32, 0xFF)).body({}).bytes(),
         {}, 0},
        {"LineHam6", IffBuilder().bmhd(header(1, 1, 6)).cmap(entries(16)).chunk("CTBL", Bytes(32, 0xFF)).body({}).bytes(),
         {}, 0},
    };
    for (const PaletteCase& c : cases) {
        const Words table = basePaletteGuarded(c.file);
        ASSERT_EQ(table.size(), 256u) << c.name;
        for (std::size_t i = 0; i < 256; ++i) {
            ASSERT_EQ(table[i], i < c.taken ? 0xFF000000u | c.map[i] : 0u) << c.name << " entry " << i;
        }
    }
    EXPECT_EQ(basePaletteGuarded(planar(header(1, 1, 1), 0, {0xF0800F}, {0}))[0], 0xFFF0800Fu) << "bytes as stored";
}

TEST(BasePalette, HalfBriteHalvesTheFirst32IntoTheNext32) {
    Words map = entries(64, 0x404040);
    map[0] = 0x808081;
    map[1] = 0xFFFFFF;
    map[5] = 0x202122;
    for (std::ptrdiff_t size : {32, 64}) {
        const Words table = basePaletteGuarded(planar(header(1, 1, 6), 0x80, Words(map.begin(), map.begin() + size), {0}));
        EXPECT_EQ(table[5], 0xFF202122u);
        EXPECT_EQ(table[32], 0xFF404040u);
        EXPECT_EQ(table[33], 0xFF7F7F7Fu);
        EXPECT_EQ(table[37], 0xFF101011u) << size << " entries: the map's own entries 32 to 63 are not used";
        EXPECT_EQ(table[64], 0u);
    }
}

TEST(PixelConversion, HoldAndModify6) {
    // Each row starts from entry 0 (0x102030), never from the row above.
    const Words values{0x15, 0x2A, 0x2A, 0x00, 0x3F, 0x07, 0x3F, 0x00};
    const Decoded d = decodeGuarded(planar(header(2, 4, 6), 0x800, entries(16), values));
    EXPECT_EQ(d.row(0), (Words{0xFF102055, 0xFFAA2055}));
    EXPECT_EQ(d.row(1), (Words{0xFFAA2030, 0xFF102030}));
    EXPECT_EQ(d.row(2), (Words{0xFF10FF30, 0xFF172737}));
    EXPECT_EQ(d.row(3), (Words{0xFF10FF30, 0xFF102030}));
    // From 5 planes a value stays below 32: palette lookups and blue changes only.
    const Decoded five = decodeGuarded(planar(header(3, 1, 5), 0, entries(16), {0x1F, 0x03, 0x12}));
    EXPECT_EQ(five.info.pixelMode, PixelMode::Ham6);
    EXPECT_EQ(five.row(0), (Words{0xFF1020FF, 0xFF132333, 0xFF132322}));
    // A "PBM " pixel byte is taken whole: controls 3 to 15 all modify green.
    const Decoded bytes = decodeGuarded(chunky(header(3, 1, 6), entries(16), {0xF5, 0x41, 0x7E, 0}, 0x800));
    EXPECT_EQ(bytes.row(0), (Words{0xFF105530, 0xFF101130, 0xFF10EE30}));
}

TEST(PixelConversion, HoldAndModify8AndHalfBrite) {
    const Decoded d = decodeGuarded(planar(header(1, 4, 8), 0x800, entries(64), {0x60, 0xFF, 0x81, 0x25}));
    EXPECT_EQ(d.row(0)[0], 0xFF102082u);
    EXPECT_EQ(d.row(1)[0], 0xFF10FF30u);
    EXPECT_EQ(d.row(2)[0], 0xFF042030u);
    EXPECT_EQ(d.row(3)[0], 0xFF354555u) << "control 0 looks up entry 37";
    const Decoded half = decodeGuarded(planar(header(2, 1, 6), 0x80, entries(32), {5, 37}));
    EXPECT_EQ(half.row(0), (Words{0xFF152535, 0xFF0A121A}));
}

TEST(PixelConversion, GreyAndTrueColour) {
    EXPECT_EQ(decodeGuarded(planar(header(2, 1, 8), 0, {}, {0x80, 0})).row(0), (Words{0xFF808080, 0xFF000000}));
    EXPECT_EQ(decodeGuarded(planar(header(1, 1, 24), 0, {}, {0x332211})).row(0)[0], 0xFF112233u);
    EXPECT_EQ(decodeGuarded(planar(header(1, 1, 32), 0, {}, {0x44332211})).row(0)[0], 0x44112233u);
    EXPECT_EQ(decodeGuarded(chunky(header(1, 1, 24), {}, {0x11, 0x22, 0x33, 0})).row(0)[0], 0xFF332211u);
    EXPECT_EQ(decodeGuarded(chunky(header(1, 1, 32), {}, {0x11, 0x22, 0x33, 0x44})).row(0)[0], 0x11443322u);
}

TEST(PixelConversion, ChunkyBytesBeyondTheColourMapAreTransparent) {
    const Decoded indexed = decodeGuarded(chunky(header(4, 1, 1), {0x123456, 0xABCDEF}, {0, 1, 2, 0xFF}));
    EXPECT_EQ(indexed.row(0), (Words{0xFF123456, 0xFFABCDEF, 0, 0}));
    const Bytes line = IffBuilder("PBM ").bmhd(header(2, 1, 4)).chunk("CTBL", Bytes(32, 0xFF)).body({15, 16}).bytes();
    EXPECT_EQ(decodeGuarded(line).row(0), (Words{0xFFFFFFFF, 0}));
}

TEST(PixelConversion, MaskedPixelsAreZeroAndStillPassTheirColourOn) {
    BitmapHeader h = header(3, 1, 6, 1);
    const std::vector<bool> mask{false, true, true};
    const Bytes body = interleavedBody({0x2F, 0x1F, 0x15}, 3, 1, 6, &mask);
    const Decoded d = decodeGuarded(IffBuilder().bmhd(h).camg(0x800).cmap(entries(16)).body(body).bytes());
    EXPECT_EQ(d.row(0), (Words{0, 0xFFFF20FF, 0xFFFF2055}));
    // The transparent colour is compared with the whole stored value, control bits included.
    h.masking = 2;
    h.transparentColor = 0x15;
    const Decoded keyed = decodeGuarded(planar(h, 0x800, entries(16), {0x15, 0x05, 0x15}));
    EXPECT_EQ(keyed.row(0), (Words{0, 0xFF152535, 0}));
}

// A 4-plane picture of all-zero pixels whose line palettes differ in entry 0,
// so each row shows which palette it loaded. Its palette chunk ends the file.
Bytes linePaletteFile(std::uint16_t height, const char* chunk, bool interlaced, std::size_t palettes) {
    static const std::uint16_t firstWords[] = {0x0100, 0x0020, 0x0003, 0x0444, 0x0505, 0x0660};
    Bytes data = std::string(chunk) == "SHAM" ? Bytes{0xEE, 0xEE} : Bytes{};
    for (std::size_t p = 0; p < palettes; ++p) {
        appendBigEndian16(data, firstWords[p]);
        data.insert(data.end(), 30, 0x0F);
    }
    IffBuilder b;
    b.bmhd(header(2, height, 4));
    if (interlaced) b.camg(0x4);
    return b.body(Bytes(std::size_t{height} * 8, 0)).chunk(chunk, data).bytes();
}

TEST(LinePalettes, RowsPairByMemoryRowAndReuseTheLastStoredPalette) {
    const Words colours{0xFF110000, 0xFF002200, 0xFF000033, 0xFF444444, 0xFF550055, 0xFF666600};
    struct Case {
        std::uint16_t height;
        const char* chunk;
        bool interlaced;
        std::size_t palettes;
        std::vector<int> rows;  // palette each row shows
    } cases[] = {
        {4, "CTBL", false, 4, {0, 1, 2, 3}},       {3, "SHAM", false, 3, {0, 1, 2}},
        {4, "SHAM", true, 2, {0, 0, 1, 1}},        {6, "SHAM", true, 3, {0, 0, 1, 1, 2, 2}},
        {5, "SHAM", true, 2, {0, 1, 1, 1, 1}},     {7, "SHAM", true, 3, {0, 1, 1, 2, 2, 2, 2}},
    };
    for (const Case& c : cases) {
        const Decoded d = decodeGuarded(linePaletteFile(c.height, c.chunk, c.interlaced, c.palettes));
        ASSERT_EQ(d.info.linePaletteCount, c.palettes) << c.height;
        for (unsigned y = 0; y < c.height; ++y) {
            EXPECT_EQ(d.at(1, y), colours[std::size_t(c.rows[y])]) << c.chunk << " height " << c.height << " row " << y;
        }
    }
    // One row, interlaced: no line palette is stored and none is loaded.
    const Decoded single = decodeGuarded(linePaletteFile(1, "SHAM", true, 0));
    ASSERT_EQ(single.info.pixelMode, PixelMode::LinePalette);
    EXPECT_EQ(single.row(0), (Words{0, 0}));
}

TEST(LinePalettes, ConvertWordsAndReplaceOnlyTheFirst16Entries) {
    Bytes table;
    for (std::uint32_t word : {0x0000u, 0x0ABCu, 0xFABCu}) appendBigEndian16(table, word);
    table.resize(32, 0);
    appendBigEndian16(table, 0x0F00);
    table.resize(64, 0);
    const Words values{1, 2, 16, 0, 0, 16};
    const Bytes file = IffBuilder().bmhd(header(3, 2, 8)).cmap(entries(256)).chunk("CTBL", table)
                           .body(interleavedBody(values, 3, 2, 8)).bytes();
    const Decoded d = decodeGuarded(file);
    ASSERT_EQ(d.info.pixelMode, PixelMode::Indexed);
    EXPECT_EQ(d.row(0), (Words{0xFFAABBCC, 0xFFAABBCC, 0xFF203040}));
    EXPECT_EQ(d.row(1), (Words{0xFFFF0000, 0xFFFF0000, 0xFF203040}));
    // Hold-and-modify starts each row from its own line palette's entry 0.
    const Bytes ham = IffBuilder().bmhd(header(2, 2, 6)).chunk("CTBL", table)
                          .body(interleavedBody({0x00, 0x1F, 0x2A, 0x00}, 2, 2, 6)).bytes();
    const Decoded lineHam = decodeGuarded(ham);
    ASSERT_EQ(lineHam.info.pixelMode, PixelMode::LineHam6);
    EXPECT_EQ(lineHam.row(0), (Words{0xFF000000, 0xFF0000FF}));
    EXPECT_EQ(lineHam.row(1), (Words{0xFFAA0000, 0xFFFF0000}));
}

TEST(PaletteStrip, ShowsTheColourMapAsStoredAndIgnoresAnyBody) {
    const Words want{0xFF000000, 0xFFFF0000, 0xFF123456};
    EXPECT_EQ(decodeGuarded(IffBuilder().cmap({0x000000, 0xFF0000, 0x123456}).bytes()).pixels, want);
    const Bytes withBody = IffBuilder().bmhd(header(0, 0, 0)).cmap({0x000000, 0xFF0000, 0x123456}).body({1, 2}).bytes();
    EXPECT_EQ(decodeGuarded(withBody).pixels, want);
    EXPECT_TRUE(decodeGuarded(IffBuilder().chunk("CMAP", {}).bytes()).pixels.empty());
}

TEST(RowOrder, FileRowsAreStoredBottomUp) {
    const Decoded d = decodeGuarded(planar(header(2, 2, 2), 0, {0x000000, 0x111111, 0x222222, 0x333333}, {0, 1, 2, 3}));
    EXPECT_EQ(d.pixels, (Words{0xFF222222, 0xFF333333, 0xFF000000, 0xFF111111}));
}

}  // namespace
}  // namespace vantrel::test
