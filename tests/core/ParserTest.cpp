// The chunk walk and the rules for each chunk kind, observed through
// parsePicture on files placed flush against an inaccessible page.
#include <gtest/gtest.h>

#include "tests/core/GuardedDecode.h"

namespace vantrel::test {
namespace {

BitmapHeader header(std::uint8_t planes, std::uint16_t width = 16, std::uint16_t height = 2) {
    BitmapHeader h;
    h.width = width;
    h.height = height;
    h.planes = planes;
    return h;
}

Bytes filled(std::size_t count, std::uint8_t value = 0) { return Bytes(count, value); }

// A 1-plane 16 x 2 picture with a 2-entry colour map; callers append more chunks.
IffBuilder onePlane(const std::string& form = "ILBM") {
    IffBuilder b(form);
    b.bmhd(header(1)).cmap({0x000000, 0xFFFFFF});
    return b;
}

TEST(ParserHeader, AcceptsTheThreeFormTypesAndNothingElse) {
    const Bytes good = onePlane().body(filled(4)).bytes();
    EXPECT_TRUE(parseGuarded(good).ok);
    EXPECT_EQ(parseGuarded(onePlane("ILBM").body(filled(4)).bytes()).info.formType, FormType::Ilbm);
    EXPECT_EQ(parseGuarded(onePlane("PBM ").body(filled(4)).bytes()).info.formType, FormType::Pbm);
    EXPECT_EQ(parseGuarded(onePlane("ACBM").body(filled(4)).bytes()).info.formType, FormType::Acbm);
    for (const char* type : {"ILBX", "pbm ", "8SVX", "PBM\0"}) {
        EXPECT_FALSE(parseGuarded(onePlane(std::string(type, 4)).body(filled(4)).bytes()).ok) << type;
    }
    for (const char* group : {"LIST", "CAT ", "FORX"}) {
        Bytes file = good;
        std::copy(group, group + 4, file.begin());
        EXPECT_FALSE(parseGuarded(file).ok) << group;
    }
    EXPECT_FALSE(parseGuarded(Bytes(good.begin(), good.begin() + 11)).ok);
    EXPECT_FALSE(parseGuarded(Bytes(good.begin(), good.begin() + 12)).ok) << "no chunks: nothing to show";
    EXPECT_FALSE(parseGuarded({}).ok);
}

struct WalkCase {
    const char* name;
    Bytes file;
    bool ok;
    std::uint16_t width;  // 0: the walk ended before the "BMHD" and the colour map is shown
};

TEST(ChunkWalk, FollowsSizesAndPadsToTheEndOfTheFile) {
    const Bytes odd{1, 2, 3};
    const WalkCase cases[] = {
        {"group size 0", onePlane().body(filled(4)).formSize(0).bytes(), true, 16},
        {"group size too large", onePlane().body(filled(4)).formSize(0xFFFFFFF0).bytes(), true, 16},
        {"body after the group's end", onePlane().formSize(4).body(filled(4)).bytes(), true, 16},
        {"pad bytes after odd chunks",
         IffBuilder().chunk("ANNO", odd).bmhd(header(1)).chunk("NAME", odd).cmap({1, 2}).body(filled(4)).bytes(),
         true, 16},
        {"7 trailing bytes", onePlane().body(filled(4)).raw(filled(7, 0xEE)).bytes(), true, 16},
        {"chunk header without data at the end", onePlane().body(filled(4)).rawChunk("ANNO", 2, {}).bytes(), true,
         16},
        {"size 0xFFFFFFFF ends the walk",
         IffBuilder().cmap({1, 2}).rawChunk("ANNO", 0xFFFFFFFF, filled(6)).bmhd(header(1)).body(filled(4)).bytes(),
         true, 0},
        {"size 0xFFFFFFFF before the body", onePlane().rawChunk("ANNO", 0xFFFFFFFF, filled(2)).body(filled(4)).bytes(),
         false, 0},
        {"body running past the end", onePlane().rawChunk("BODY", 100, filled(98)).bytes(), false, 0},
        {"odd body without its pad at the end", onePlane().rawChunk("BODY", 99, filled(99)).bytes(), false, 0},
        {"odd body with its pad at the end", onePlane().rawChunk("BODY", 99, filled(100)).bytes(), true, 16},
        {"chunk running past the end after the body", onePlane().body(filled(4)).rawChunk("CMAP", 9, filled(8)).bytes(),
         true, 16},
        {"nested group not entered",
         IffBuilder().cmap({1, 2}).chunk("FORM", IffBuilder().bmhd(header(1)).body(filled(4)).bytes()).bytes(), true,
         0},
    };
    for (const WalkCase& c : cases) {
        const Decoded d = parseGuarded(c.file);
        EXPECT_EQ(d.ok, c.ok) << c.name;
        if (d.ok) {
            EXPECT_EQ(d.info.width, c.width) << c.name;
        }
    }
}

TEST(ChunkWalk, PointsIntoTheFileAtEachChunksData) {
    const Decoded d = parseGuarded(onePlane().chunk("ANNO", {7}).body({9, 8, 7}).bytes());
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.paletteAt, 12 + 28 + 8);
    EXPECT_EQ(d.bodyAt, 12 + 28 + 14 + 10 + 8);
    EXPECT_EQ(d.info.bodySize, 3u) << "the pad byte is not counted";
    EXPECT_EQ(d.info.paletteSize, 2);
}

struct HeaderCase {
    const char* name;
    IffBuilder file;
    bool ok;
};

IffBuilder withHeaderData(const Bytes& data) { return IffBuilder().chunk("BMHD", data).cmap({1, 2}).body(filled(4)); }

TEST(BitmapHeaderRule, TestsItsFieldsInOrder) {
    Bytes longer = bitmapHeaderData(header(1));
    longer.insert(longer.end(), {0xFF, 0xFF});
    const Bytes shorter(longer.begin(), longer.begin() + 19);
    BitmapHeader flat = header(0, 5000, 5000);
    HeaderCase cases[] = {
        {"second header after planes", onePlane().bmhd(header(1)).body(filled(4)), false},
        {"header with planes after one without", IffBuilder().bmhd(header(0)).bmhd(header(1)).cmap({1, 2}).body(filled(4)),
         true},
        {"19 bytes", withHeaderData(shorter), false},
        {"22 bytes", withHeaderData(longer), true},
        {"no planes, width above 4096", IffBuilder().bmhd(flat).cmap({1}), false},
        {"no planes, width 0", IffBuilder().bmhd(header(0, 0, 0)).cmap({1}), true},
        {"width 4096", IffBuilder().bmhd(header(1, 4096, 1)).cmap({1, 2}).body({}), true},
        {"height 4096", IffBuilder().bmhd(header(1, 1, 4096)).cmap({1, 2}).body({}), true},
        {"width 4097", IffBuilder().bmhd(header(1, 4097, 1)).cmap({1, 2}).body({}), false},
        {"height 4097", IffBuilder().bmhd(header(1, 1, 4097)).cmap({1, 2}).body({}), false},
        {"width 0 with planes", IffBuilder().bmhd(header(1, 0, 1)).cmap({1, 2}).body({}), false},
        {"height 0 with planes", IffBuilder().bmhd(header(1, 1, 0)).cmap({1, 2}).body({}), false},
    };
    for (HeaderCase& c : cases) EXPECT_EQ(parseGuarded(c.file.bytes()).ok, c.ok) << c.name;
    EXPECT_EQ(parseGuarded(withHeaderData(longer).bytes()).info.width, 16);
}

TEST(BitmapHeaderRule, AcceptsOnlyShowablePlaneCountsAndCompressions) {
    for (unsigned planes = 1; planes < 256; ++planes) {
        const bool showable = planes <= 8 || planes == 24 || planes == 32;
        const Bytes file = IffBuilder().bmhd(header(static_cast<std::uint8_t>(planes))).cmap({1, 2}).body({}).bytes();
        EXPECT_EQ(parseGuarded(file).ok, showable) << planes << " planes";
    }
    for (const char* form : {"ILBM", "PBM ", "ACBM"}) {
        for (std::uint8_t compression = 0; compression < 4; ++compression) {
            BitmapHeader h = header(8);
            h.compression = compression;
            const bool ok = compression == 0 || (compression == 1 && std::string(form) != "ACBM");
            EXPECT_EQ(parseGuarded(IffBuilder(form).bmhd(h).body({}).bytes()).ok, ok) << form << " " << +compression;
        }
    }
}

TEST(BitmapHeaderRule, KeepsMaskingBelow3AndTheTransparentColour) {
    for (int masking : {0, 1, 2, 3, 4, 255}) {
        BitmapHeader h = header(8);
        h.masking = static_cast<std::uint8_t>(masking);
        h.transparentColor = 0x1234;
        const Decoded d = parseGuarded(IffBuilder().bmhd(h).body({}).bytes());
        ASSERT_TRUE(d.ok);
        EXPECT_EQ(d.info.masking, masking < 3 ? masking : 0) << masking;
        EXPECT_EQ(d.info.transparentColor, 0x1234);
    }
}

TEST(ChunkRule, BodyColourMapAndDisplayMode) {
    EXPECT_FALSE(parseGuarded(onePlane().body(filled(4)).chunk("ABIT", filled(4)).bytes()).ok);
    EXPECT_FALSE(parseGuarded(onePlane().chunk("ABIT", filled(4)).body(filled(4)).bytes()).ok);
    EXPECT_FALSE(parseGuarded(onePlane().body(filled(4)).body(filled(4)).bytes()).ok);
    EXPECT_TRUE(parseGuarded(onePlane("ACBM").chunk("ABIT", filled(4)).bytes()).ok);
    EXPECT_TRUE(parseGuarded(onePlane("PBM ").chunk("ABIT", filled(4)).bytes()).ok);
    EXPECT_TRUE(parseGuarded(IffBuilder().body(filled(4)).cmap({1, 2}).bmhd(header(1)).bytes()).ok);
    EXPECT_EQ(parseGuarded(onePlane().body({}).bytes()).info.bodySize, 0u);

    const Decoded empty = parseGuarded(IffBuilder().chunk("CMAP", {1, 2}).bytes());
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(empty.paletteAt, 20);
    EXPECT_EQ(empty.info.paletteSize, 0);
    EXPECT_FALSE(parseGuarded(IffBuilder().chunk("CMAP", {1, 2}).cmap({1}).bytes()).ok);
    EXPECT_EQ(parseGuarded(IffBuilder().chunk("CMAP", filled(7)).bytes()).info.paletteSize, 2);
    EXPECT_EQ(parseGuarded(IffBuilder().chunk("CMAP", filled(3 * 65535 + 2)).bytes()).info.paletteSize, 65535);
    EXPECT_EQ(parseGuarded(IffBuilder().chunk("CMAP", filled(3 * 65536 + 3)).bytes()).info.paletteSize, 65535);

    const Decoded modes = parseGuarded(onePlane().camg(0x11).chunk("CAMG", filled(8, 0xFF)).camg(0x22).body(filled(4)).bytes());
    EXPECT_EQ(modes.info.displayMode, 0x22u);
    EXPECT_EQ(parseGuarded(onePlane().chunk("CAMG", filled(8, 0xFF)).body(filled(4)).bytes()).info.displayMode, 0u);
}

Bytes shamData(std::size_t palettes) { return filled(palettes * 32 + 2); }

TEST(ChunkRule, LinePalettesNeedAHeaderAndRoomForEveryRow) {
    // 4 planes without a colour map: a picture only if a line palette chunk is taken.
    const BitmapHeader h = header(4, 16, 4);
    const auto after = [&](IffBuilder b) { return parseGuarded(b.body({}).bytes()); };
    EXPECT_FALSE(after(IffBuilder().chunk("CTBL", filled(128)).bmhd(h)).ok) << "before the header";
    // A header without planes sets height 0, so a line palette chunk of any size would fit.
    EXPECT_FALSE(after(IffBuilder().bmhd(header(0)).chunk("CTBL", {}).bmhd(h)).ok);
    EXPECT_FALSE(after(IffBuilder().bmhd(header(0)).chunk("SHAM", {0, 0}).bmhd(h)).ok);
    EXPECT_FALSE(after(IffBuilder().bmhd(h).chunk("CTBL", filled(127))).ok) << "too short";
    const Decoded table = after(IffBuilder().bmhd(h).chunk("CTBL", filled(127)).chunk("CTBL", filled(128)));
    EXPECT_EQ(table.info.pixelMode, PixelMode::LinePalette);
    EXPECT_EQ(table.info.linePaletteCount, 4);
    EXPECT_EQ(table.linePalettesAt, 12 + 28 + 8 + 128 + 8);
    const Decoded first = after(IffBuilder().bmhd(h).chunk("SHAM", shamData(4)).chunk("CTBL", filled(128)));
    EXPECT_EQ(first.linePalettesAt, 12 + 28 + 8 + 2) << "past the leading word; the first one taken holds";
    EXPECT_FALSE(after(IffBuilder().bmhd(h).chunk("SHAM", filled(129))).ok);

    const BitmapHeader tall = header(4, 16, 400);
    EXPECT_EQ(after(IffBuilder().bmhd(tall).camg(4).chunk("SHAM", shamData(200))).info.linePaletteCount, 200);
    EXPECT_FALSE(after(IffBuilder().bmhd(tall).chunk("SHAM", shamData(200)).camg(4)).ok) << "interlace bit too late";
    EXPECT_EQ(after(IffBuilder().bmhd(tall).chunk("SHAM", shamData(400)).camg(4)).info.linePaletteCount, 400);
    EXPECT_EQ(after(IffBuilder().bmhd(header(4, 16, 401)).camg(4).chunk("SHAM", shamData(200))).info.linePaletteCount,
              200);
    const Decoded single = after(IffBuilder().bmhd(header(4, 16, 1)).camg(4).chunk("SHAM", shamData(0)));
    ASSERT_TRUE(single.ok);
    EXPECT_EQ(single.info.linePaletteCount, 0);
    EXPECT_EQ(single.linePalettesAt, 12 + 28 + 12 + 8 + 2);
}

TEST(ChunkRule, SpriteMakesValue0TransparentOnlyAfterAnUnmaskedHeader) {
    BitmapHeader h = header(8);
    h.transparentColor = 7;
    const auto masking = [](IffBuilder b) {
        const Decoded d = parseGuarded(b.body({}).bytes());
        return std::make_pair(+d.info.masking, +d.info.transparentColor);
    };
    EXPECT_EQ(masking(IffBuilder().bmhd(h).chunk("SPRT", {0, 1})), std::make_pair(2, 0));
    EXPECT_EQ(masking(IffBuilder().chunk("SPRT", {0, 1}).bmhd(h)), std::make_pair(0, 7));
    EXPECT_EQ(masking(IffBuilder().bmhd(h).chunk("SPRT", {0, 1, 2, 3})), std::make_pair(0, 7));
    h.masking = 1;
    EXPECT_EQ(masking(IffBuilder().bmhd(h).chunk("SPRT", {0, 1})), std::make_pair(1, 7));
    h.masking = 2;
    EXPECT_EQ(masking(IffBuilder().bmhd(h).chunk("SPRT", {0, 1})), std::make_pair(2, 7));
}

}  // namespace
}  // namespace vantrel::test
