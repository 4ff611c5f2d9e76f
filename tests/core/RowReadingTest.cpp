// Row reading through decoded pixels: the stored layouts of the three form
// types, ByteRun1, bodies that end early, and masks. An 8-plane "PBM " without
// a colour map shows each stored byte as its grey level, so its rows make the
// bytes that row reading produced directly visible.
#include <gtest/gtest.h>

#include <random>

#include "tests/core/GuardedDecode.h"

namespace vantrel::test {
namespace {

BitmapHeader header(std::uint16_t width, std::uint16_t height, std::uint8_t planes, std::uint8_t masking = 0,
                    std::uint8_t compression = 0) {
    BitmapHeader h;
    h.width = width;
    h.height = height;
    h.planes = planes;
    h.masking = masking;
    h.compression = compression;
    return h;
}

Bytes greyPbm(std::uint16_t width, std::uint16_t height, const Bytes& body, std::uint8_t compression = 0) {
    return IffBuilder("PBM ").bmhd(header(width, height, 8, 0, compression)).body(body).bytes();
}

// The stored bytes of row y of a grey picture, as its pixels show them.
Bytes rowBytes(const Decoded& d, unsigned y) {
    Bytes out;
    for (std::uint32_t p : d.row(y)) {
        EXPECT_EQ(p & 0xFF000000u, 0xFF000000u);
        out.push_back(static_cast<std::uint8_t>(p));
    }
    return out;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes counting(std::size_t count, std::uint8_t from = 0) {
    Bytes out(count);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<std::uint8_t>(from + i);
    return out;
}

// Each body is tried alone and followed by bytes the picture never needs, so
// that its runs are read both near the end of the body and far from it.
const Bytes unusedTail(300, 0x80);

TEST(ByteRun1, DecodesEveryControlKind) {
    for (const Bytes& tail : {Bytes{}, unusedTail}) {
        const Bytes small{0xFF, 0xAA, 0x80, 0x01, 0x11, 0x22, 0xFD, 0x33};
        EXPECT_EQ(rowBytes(decodeGuarded(greyPbm(8, 1, concat({small, tail}), 1)), 0),
                  (Bytes{0xAA, 0xAA, 0x11, 0x22, 0x33, 0x33, 0x33, 0x33}));
        const Bytes longest = concat({{0x81, 0x44, 0x7F}, counting(128), tail});
        EXPECT_EQ(rowBytes(decodeGuarded(greyPbm(256, 1, longest, 1)), 0), concat({Bytes(128, 0x44), counting(128)}));
    }
}

TEST(ByteRun1, DropsARunsOvershootAndStartsTheNextRowAfterIt) {
    for (const Bytes& tail : {Bytes{}, unusedTail}) {
        const Bytes body =
            concat({{37}, counting(38, 1), {0xF9, 0x77, 0x00, 0x63, 0x7F}, counting(128, 100), {0xD9, 0x55}, tail});
        const Decoded d = decodeGuarded(greyPbm(40, 3, body, 1));
        EXPECT_EQ(rowBytes(d, 0), concat({counting(38, 1), {0x77, 0x77}})) << tail.size();
        EXPECT_EQ(rowBytes(d, 1), concat({{0x63}, counting(39, 100)})) << "a literal overshooting by 89 bytes";
        EXPECT_EQ(rowBytes(d, 2), Bytes(40, 0x55)) << tail.size();
    }
}

TEST(ByteRun1, EndsWithoutReadingPastTheBody) {
    // A last lone byte starts no run; here a misread repeat would show its pad byte 0x99.
    const Bytes lone = IffBuilder("PBM ").bmhd(header(4, 3, 8, 0, 1)).rawChunk("BODY", 3, {0xFD, 0x11, 0x81, 0x99}).bytes();
    const Decoded d = decodeGuarded(lone);
    EXPECT_EQ(rowBytes(d, 0), Bytes(4, 0x11));
    EXPECT_EQ(rowBytes(d, 1), Bytes(4, 0));
    EXPECT_EQ(rowBytes(d, 2), Bytes(4, 0));
    // A literal run cut short by the end of the body copies what is left; the
    // rest of its row is zero, not what the row before left in the buffer.
    const Decoded cut = decodeGuarded(greyPbm(8, 3, {0xF9, 0x77, 0x09, 1, 2, 3}, 1));
    EXPECT_EQ(rowBytes(cut, 0), Bytes(8, 0x77));
    EXPECT_EQ(rowBytes(cut, 1), (Bytes{1, 2, 3, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rowBytes(cut, 2), Bytes(8, 0));
    const Decoded repeat = decodeGuarded(greyPbm(4, 1, {0xFE, 0x44}, 1));
    EXPECT_EQ(rowBytes(repeat, 0), (Bytes{0x44, 0x44, 0x44, 0}));
}

TEST(ByteRun1, LargestRowTakesAFullOvershoot) {
    // 4096 pixels, 32 planes and a mask plane: 16,896 bytes; the last run starts
    // one byte before the end and writes 127 bytes past it.
    BitmapHeader h = header(4096, 2, 32, 1, 1);
    Bytes row;
    for (int i = 0; i < 131; ++i) row.insert(row.end(), {0x81, 0xFF});
    row.insert(row.end(), {0x82, 0xFF, 0x81, 0xFF});
    const Decoded d = decodeGuarded(IffBuilder().bmhd(h).body(concat({row, row})).bytes());
    ASSERT_TRUE(d.ok);
    EXPECT_EQ(d.at(0, 1), 0xFFFFFFFFu);
    EXPECT_EQ(d.at(4095, 1), 0xFFFFFFFFu);
}

TEST(PlainRows, ShortBodyKeepsItsBytesAndZerosTheRest) {
    const Decoded d = decodeGuarded(greyPbm(40, 3, counting(50, 1)));
    EXPECT_EQ(rowBytes(d, 0), counting(40, 1));
    EXPECT_EQ(rowBytes(d, 1), concat({counting(10, 41), Bytes(30, 0)}));
    EXPECT_EQ(rowBytes(d, 2), Bytes(40, 0));
}

// One picture of random values stored in one of the three layouts.
struct LayoutCase {
    const char* form;
    std::uint16_t width;
    std::uint16_t height;
    std::uint8_t planes;
    bool mask;
    bool compressed;
};

std::vector<std::uint32_t> colourMap(unsigned planes) {
    std::vector<std::uint32_t> map;
    for (std::uint32_t i = 0; i < (1u << planes); ++i) map.push_back(i << 16 | (255 - i) << 8 | ((i * 7) & 0xFF));
    return map;
}

// The colour each value stands for: a colour map lookup below 8 planes, grey
// for 8, and true colour (red in the low byte of the value) for 24 and 32.
std::uint32_t expectedColour(std::uint8_t planes, std::uint32_t v) {
    if (planes < 8) return 0xFF000000u | colourMap(planes)[v];
    if (planes == 8) return 0xFF000000u | v * 0x010101u;
    const std::uint32_t alpha = planes == 32 ? v >> 24 : 0xFF;
    return alpha << 24 | (v & 0xFF) << 16 | (v & 0xFF00) | ((v >> 16) & 0xFF);
}

Bytes storedBody(const LayoutCase& c, const std::vector<std::uint32_t>& values, const std::vector<bool>& mask) {
    const std::vector<bool>* m = c.mask ? &mask : nullptr;
    const std::string form = c.form;
    if (form == "ACBM") return contiguousBody(values, c.width, c.height, c.planes, m);
    if (form == "PBM ") return chunkyBody(values, c.width, c.height, (c.planes + 7u) / 8u);
    return interleavedBody(values, c.width, c.height, c.planes, m);
}

Bytes compressRows(const Bytes& body, std::size_t rows) {
    Bytes out;
    const std::size_t rowSize = body.size() / rows;
    for (std::size_t r = 0; r < rows; ++r) {
        const auto start = body.begin() + static_cast<std::ptrdiff_t>(r * rowSize);
        const Bytes packed = packByteRun1(Bytes(start, start + static_cast<std::ptrdiff_t>(rowSize)));
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

Bytes layoutFile(const LayoutCase& c, const Bytes& body) {
    IffBuilder b(c.form);
    b.bmhd(header(c.width, c.height, c.planes, c.mask ? 1 : 0, c.compressed ? 1 : 0));
    if (c.planes < 8) b.cmap(colourMap(c.planes));
    return b.body(body).bytes();
}

const LayoutCase layouts[] = {
    {"ILBM", 1, 3, 1, false, false},  {"ILBM", 16, 2, 2, true, false},  {"ILBM", 17, 3, 3, true, false},
    {"ILBM", 33, 2, 8, false, true},  {"ILBM", 320, 2, 5, true, true},  {"ILBM", 5, 2, 24, false, false},
    {"ILBM", 3, 2, 32, true, true},   {"PBM ", 3, 2, 8, false, false},  {"PBM ", 3, 2, 24, false, false},
    {"PBM ", 5, 3, 32, false, true},  {"PBM ", 7, 3, 4, false, true},   {"ACBM", 17, 3, 3, true, false},
    {"ACBM", 320, 2, 5, false, false}, {"ACBM", 9, 4, 8, true, false},  {"ACBM", 4, 2, 24, false, false},
    // Wide enough for whole 128-pixel spans of every plane count, plus a tail;
    // and plane rows of 14 bytes, just short of a 16-byte span, ending the file.
    {"ILBM", 130, 2, 8, true, false}, {"ILBM", 144, 2, 32, false, true}, {"ACBM", 264, 2, 7, false, false},
    {"ILBM", 136, 2, 6, false, false}, {"ACBM", 129, 2, 24, true, false}, {"ILBM", 100, 2, 3, false, false},
    {"ACBM", 112, 3, 8, false, false},
};

TEST(RowLayout, EveryFormTypeGivesBackItsValuesAndMask) {
    std::mt19937 random(7);
    for (const LayoutCase& c : layouts) {
        std::vector<std::uint32_t> values;
        std::vector<bool> mask;
        const std::uint32_t valueMask = c.planes == 32 ? 0xFFFFFFFFu : (1u << c.planes) - 1;
        for (unsigned i = 0; i < unsigned{c.width} * c.height; ++i) {
            values.push_back(static_cast<std::uint32_t>(random()) & valueMask);
            mask.push_back((random() & 3) != 0);
        }
        const Bytes body = storedBody(c, values, mask);
        const Decoded d = decodeGuarded(layoutFile(c, c.compressed ? compressRows(body, c.height) : body));
        ASSERT_TRUE(d.ok) << c.form << " " << c.width;
        for (unsigned y = 0; y < c.height; ++y) {
            for (unsigned x = 0; x < c.width; ++x) {
                const std::size_t i = std::size_t{y} * c.width + x;
                const std::uint32_t want = c.mask && !mask[i] ? 0 : expectedColour(c.planes, values[i]);
                ASSERT_EQ(d.at(x, y), want) << c.form << " " << c.width << "x" << c.height << "x" << +c.planes
                                            << " pixel " << x << "," << y;
            }
        }
    }
}

TEST(RowLayout, ShortBodyReadsAsTheFullBodyWithMissingBytesZero) {
    for (const LayoutCase& c : layouts) {
        if (c.compressed) continue;
        std::vector<std::uint32_t> values(std::size_t{c.width} * c.height);
        for (std::size_t i = 0; i < values.size(); ++i) values[i] = static_cast<std::uint32_t>(i * 2654435761u);
        if (c.planes != 32) {
            for (std::uint32_t& v : values) v &= (1u << c.planes) - 1;
        }
        const std::vector<bool> mask(values.size(), true);
        const Bytes body = storedBody(c, values, mask);
        // Cuts inside the first row, at the end of all plane-0 rows of an "ACBM" (inside
        // the last row elsewhere), in the middle, and in the last row's mask or last plane.
        const std::size_t planeRowBytes = (c.width + 15u) / 16u * 2u;
        for (std::size_t cut : {std::size_t{0}, std::size_t{1}, planeRowBytes * c.height - 1, body.size() / 2,
                                body.size() - 1}) {
            Bytes zeroed = body;
            std::fill(zeroed.begin() + static_cast<std::ptrdiff_t>(cut), zeroed.end(), 0);
            const Decoded shortened = decodeGuarded(layoutFile(c, Bytes(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut))));
            const Decoded full = decodeGuarded(layoutFile(c, zeroed));
            EXPECT_EQ(shortened.pixels, full.pixels) << c.form << " " << c.width << "x" << +c.planes << " cut " << cut;
        }
    }
}

TEST(Masking, TransparentColourAndMaskPlanes) {
    BitmapHeader h = header(4, 1, 2, 2);
    h.transparentColor = 2;
    const Decoded indexed = decodeGuarded(
        IffBuilder().bmhd(h).cmap({0x000000, 0x111111, 0x222222, 0x333333}).body(interleavedBody({0, 1, 2, 3}, 4, 1, 2)).bytes());
    EXPECT_EQ(indexed.row(0), (std::vector<std::uint32_t>{0xFF000000, 0xFF111111, 0, 0xFF333333}));
    // A "PBM " row has no mask plane: masking 1 hides nothing and adds no bytes to the row.
    const Decoded chunky = decodeGuarded(IffBuilder("PBM ").bmhd(header(2, 2, 8, 1)).body({1, 2, 3, 4}).bytes());
    EXPECT_EQ(chunky.row(1), (std::vector<std::uint32_t>{0xFF030303, 0xFF040404}));
    // Rows past the end of the body: a mask plane of zeros hides them, "PBM " rows stay opaque.
    const Decoded planar = decodeGuarded(IffBuilder().bmhd(header(2, 2, 8, 1)).body(Bytes(18, 0xFF)).bytes());
    EXPECT_EQ(planar.row(0), (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFFFFFFF}));
    EXPECT_EQ(planar.row(1), (std::vector<std::uint32_t>{0, 0}));
    const Decoded opaque = decodeGuarded(IffBuilder("PBM ").bmhd(header(2, 2, 8, 1)).body({1, 2}).bytes());
    EXPECT_EQ(opaque.row(1), (std::vector<std::uint32_t>{0xFF000000, 0xFF000000}));
    // True colour compares the whole composed value with the transparent colour.
    BitmapHeader deep = header(3, 1, 24, 2);
    deep.transparentColor = 0x1234;
    const Decoded chunkyDeep =
        decodeGuarded(IffBuilder("PBM ").bmhd(deep).body({0x00, 0x12, 0x34, 0x12, 0x34, 0x00, 0x34, 0x12, 0x00, 0}).bytes());
    EXPECT_EQ(chunkyDeep.row(0), (std::vector<std::uint32_t>{0, 0xFF003412, 0xFF001234}));
    const Decoded planarDeep =
        decodeGuarded(IffBuilder().bmhd(deep).body(interleavedBody({0x001234, 0x123400, 0x003412}, 3, 1, 24)).bytes());
    EXPECT_EQ(planarDeep.row(0), (std::vector<std::uint32_t>{0, 0xFF003412, 0xFF123400}));
}

}  // namespace
}  // namespace vantrel::test
