#include "fuzz/TestPictures.h"

namespace vantrel::fuzz {
namespace {

using test::appendBigEndian16;
using test::BitmapHeader;
using test::IffBuilder;
using test::packByteRun1;

constexpr std::uint32_t holdAndModify = 0x800;
constexpr std::uint32_t halfBrite = 0x80;
constexpr std::uint32_t interlace = 0x4;

std::uint32_t pixelValue(unsigned x, unsigned y, unsigned planes) {
    std::uint32_t v = (x * 0x9E3779B1u) ^ (y * 0x85EBCA77u) ^ (x * y * 0x27D4EB2Fu);
    v ^= v >> 15;
    return planes >= 32 ? v : v & ((1u << planes) - 1);
}

bool maskBit(unsigned x, unsigned y) { return (x + 2 * y) % 5 != 0; }

unsigned planeRowBytes(unsigned width) { return ((width + 15) / 16) * 2; }

void setBit(Bytes& out, std::size_t byte, unsigned x) { out[byte] |= static_cast<std::uint8_t>(0x80u >> (x & 7)); }

bool storedBit(const Recipe& r, unsigned x, unsigned y, unsigned plane) {
    return plane < r.planes ? ((pixelValue(x, y, r.planes) >> plane) & 1) != 0 : maskBit(x, y);
}

unsigned storedPlanes(const Recipe& r) { return r.planes + (r.masking == 1 ? 1 : 0); }

// One "ILBM" row: each plane row in turn, then the mask plane row.
Bytes interleavedRow(const Recipe& r, unsigned y) {
    const unsigned bytes = planeRowBytes(r.width);
    Bytes row(std::size_t{bytes} * storedPlanes(r), 0);
    for (unsigned j = 0; j < storedPlanes(r); ++j) {
        for (unsigned x = 0; x < r.width; ++x) {
            if (storedBit(r, x, y, j)) setBit(row, std::size_t{j} * bytes + x / 8, x);
        }
    }
    return row;
}

// One "PBM " row: each pixel's bytes big-endian, padded to an even length.
Bytes chunkyRow(const Recipe& r, unsigned y) {
    const unsigned bytesPerPixel = (r.planes + 7) / 8;
    Bytes row;
    for (unsigned x = 0; x < r.width; ++x) {
        const std::uint32_t v = pixelValue(x, y, r.planes);
        for (unsigned i = bytesPerPixel; i-- > 0;) row.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    }
    if (row.size() % 2 != 0) row.push_back(0);
    return row;
}

// "ACBM": every row of plane 0, then every row of plane 1, and so on.
Bytes contiguousBody(const Recipe& r) {
    const unsigned bytes = planeRowBytes(r.width);
    Bytes body(std::size_t{bytes} * r.height * storedPlanes(r), 0);
    for (unsigned j = 0; j < storedPlanes(r); ++j) {
        for (unsigned y = 0; y < r.height; ++y) {
            const std::size_t rowStart = (std::size_t{j} * r.height + y) * bytes;
            for (unsigned x = 0; x < r.width; ++x) {
                if (storedBit(r, x, y, j)) setBit(body, rowStart + x / 8, x);
            }
        }
    }
    return body;
}

Bytes colourMap(unsigned entries) {
    Bytes data;
    for (unsigned i = 0; i < entries; ++i) {
        data.push_back(static_cast<std::uint8_t>(i * 37 + 11));
        data.push_back(static_cast<std::uint8_t>(i * 91 + 200));
        data.push_back(static_cast<std::uint8_t>(255 - i * 13));
    }
    return data;
}

// count line palettes of 16 colour words, preceded by the "SHAM" leading word when asked.
Bytes linePaletteData(unsigned count, bool leadingWord) {
    Bytes data;
    if (leadingWord) appendBigEndian16(data, 0);
    for (unsigned p = 0; p < count; ++p) {
        for (unsigned i = 0; i < 16; ++i) appendBigEndian16(data, (p * 0x123u + i * 0x111u) & 0x0FFF);
    }
    return data;
}

void addLinePalettes(IffBuilder& b, const Recipe& r) {
    switch (r.linePalettes) {
        case LinePalettes::None: break;
        case LinePalettes::Ctbl: b.chunk("CTBL", linePaletteData(r.height, false)); break;
        case LinePalettes::Sham: b.chunk("SHAM", linePaletteData(r.height, true)); break;
        case LinePalettes::InterlacedSham: b.chunk("SHAM", linePaletteData(r.height / 2, true)); break;
    }
}

Recipe recipe(const std::string& form, unsigned planes, int entries, unsigned compression = 0) {
    Recipe r;
    r.formType = form;
    r.planes = planes;
    r.paletteEntries = entries;
    r.compression = compression;
    if (form == "ACBM") r.bodyId = "ABIT";
    return r;
}

void add(std::vector<TestPicture>& out, const std::string& name, const Recipe& r) {
    out.push_back({name, buildPicture(r), true, r});
}

void addIndexed(std::vector<TestPicture>& out) {
    for (unsigned planes = 1; planes <= 8; ++planes) {
        const unsigned packed = planes % 2;
        add(out, "ilbm-indexed" + std::to_string(planes) + (packed ? "-packed" : ""),
            recipe("ILBM", planes, 1 << planes, packed));
    }
    Recipe shortMap = recipe("ILBM", 3, 5, 1);
    add(out, "ilbm-short-cmap", shortMap);
    Recipe masked = recipe("ILBM", 3, 8, 1);
    masked.masking = 1;
    add(out, "ilbm-mask-plane-packed", masked);
    masked.compression = 0;
    masked.width = 33;
    add(out, "ilbm-mask-plane", masked);
    Recipe keyed = recipe("ILBM", 4, 16);
    keyed.masking = 2;
    keyed.transparentColor = 3;
    add(out, "ilbm-transparent-colour", keyed);
    Recipe sprite = recipe("ILBM", 2, 4, 1);
    sprite.sprite = true;
    add(out, "ilbm-sprite", sprite);
    Recipe lines = recipe("ILBM", 8, 256);
    lines.linePalettes = LinePalettes::Ctbl;
    add(out, "ilbm-indexed8-ctbl", lines);
    add(out, "pbm-indexed8", recipe("PBM ", 8, 256));
    add(out, "pbm-indexed8-packed", recipe("PBM ", 8, 200, 1));
    Recipe pbmKeyed = recipe("PBM ", 4, 16, 1);
    pbmKeyed.masking = 2;
    pbmKeyed.transparentColor = 5;
    add(out, "pbm-indexed4-transparent-packed", pbmKeyed);
    add(out, "acbm-indexed1", recipe("ACBM", 1, 2));
    Recipe acbmMasked = recipe("ACBM", 5, 32);
    acbmMasked.masking = 1;
    add(out, "acbm-indexed5-mask-plane", acbmMasked);
}

void addHoldAndModify(std::vector<TestPicture>& out) {
    Recipe ham6 = recipe("ILBM", 6, 16, 1);
    ham6.displayMode = holdAndModify;
    add(out, "ilbm-ham6-packed", ham6);
    add(out, "ilbm-ham5-no-camg", recipe("ILBM", 5, 16));
    Recipe ham8 = recipe("ILBM", 8, 64);
    ham8.displayMode = holdAndModify;
    ham8.masking = 1;
    add(out, "ilbm-ham8-mask-plane", ham8);
    Recipe pbmHam = recipe("PBM ", 6, 16, 1);
    pbmHam.displayMode = holdAndModify;
    add(out, "pbm-ham6-packed", pbmHam);
    Recipe pbmHam8 = recipe("PBM ", 8, 64);
    pbmHam8.displayMode = holdAndModify;
    add(out, "pbm-ham8", pbmHam8);
    Recipe acbmHam = recipe("ACBM", 8, 64);
    acbmHam.displayMode = holdAndModify;
    add(out, "acbm-ham8", acbmHam);
}

void addLinePaletteModes(std::vector<TestPicture>& out) {
    Recipe ctbl = recipe("ILBM", 4, -1, 1);
    ctbl.linePalettes = LinePalettes::Ctbl;
    add(out, "ilbm-ctbl4-packed", ctbl);
    Recipe sham = recipe("ILBM", 6, 16);
    sham.displayMode = holdAndModify;
    sham.linePalettes = LinePalettes::Sham;
    add(out, "ilbm-sham6", sham);
    Recipe laced = recipe("ILBM", 5, -1, 1);
    laced.displayMode = holdAndModify | interlace;
    laced.linePalettes = LinePalettes::InterlacedSham;
    add(out, "ilbm-sham5-interlaced-packed", laced);
    Recipe pbmCtbl = recipe("PBM ", 4, 16);
    pbmCtbl.linePalettes = LinePalettes::Ctbl;
    add(out, "pbm-ctbl4", pbmCtbl);
    Recipe acbmSham = recipe("ACBM", 6, -1);
    acbmSham.height = 6;
    acbmSham.displayMode = interlace;
    acbmSham.linePalettes = LinePalettes::InterlacedSham;
    add(out, "acbm-sham6-interlaced", acbmSham);
}

void addOtherModes(std::vector<TestPicture>& out) {
    Recipe ehb = recipe("ILBM", 6, 32, 1);
    ehb.displayMode = halfBrite;
    add(out, "ilbm-halfbrite-packed", ehb);
    Recipe acbmEhb = recipe("ACBM", 6, 32);
    acbmEhb.displayMode = halfBrite;
    add(out, "acbm-halfbrite", acbmEhb);
    add(out, "ilbm-grey8", recipe("ILBM", 8, -1));
    add(out, "pbm-grey8-packed", recipe("PBM ", 8, -1, 1));
    add(out, "acbm-grey8", recipe("ACBM", 8, -1));
    add(out, "ilbm-rgb24-packed", recipe("ILBM", 24, 4, 1));
    Recipe rgbMasked = recipe("ILBM", 24, -1);
    rgbMasked.masking = 1;
    add(out, "ilbm-rgb24-mask-plane", rgbMasked);
    add(out, "ilbm-rgba32", recipe("ILBM", 32, -1));
    add(out, "pbm-rgb24", recipe("PBM ", 24, -1));
    add(out, "pbm-rgba32-packed", recipe("PBM ", 32, -1, 1));
    add(out, "acbm-rgb24", recipe("ACBM", 24, -1));
    Recipe acbmAlpha = recipe("ACBM", 32, -1);
    acbmAlpha.masking = 1;
    add(out, "acbm-rgba32-mask-plane", acbmAlpha);
}

void addPaletteStrips(std::vector<TestPicture>& out) {
    out.push_back({"cmap-only", IffBuilder("ILBM").chunk("CMAP", colourMap(12)).bytes(), false, {}});
    BitmapHeader noPlanes;
    noPlanes.width = 320;
    noPlanes.height = 200;
    out.push_back({"bmhd-no-planes-cmap",
                   IffBuilder("PBM ").bmhd(noPlanes).chunk("CMAP", colourMap(7)).body(Bytes(10, 1)).bytes(), false, {}});
}

void addOddShapes(std::vector<TestPicture>& out) {
    Recipe wide = recipe("ILBM", 2, 4, 1);
    wide.width = 300;
    wide.height = 2;
    add(out, "ilbm-wide-packed", wide);
    Recipe tall = recipe("PBM ", 8, 256);
    tall.width = 1;
    tall.height = 40;
    add(out, "pbm-tall-odd-rows", tall);
    Recipe single = recipe("ACBM", 3, 8);
    single.width = 16;
    single.height = 1;
    add(out, "acbm-one-row", single);
}

}  // namespace

Bytes pictureBody(const Recipe& r) {
    if (r.formType == "ACBM") return contiguousBody(r);
    Bytes body;
    for (unsigned y = 0; y < r.height; ++y) {
        const Bytes row = r.formType == "PBM " ? chunkyRow(r, y) : interleavedRow(r, y);
        const Bytes stored = r.compression == 1 ? packByteRun1(row) : row;
        body.insert(body.end(), stored.begin(), stored.end());
    }
    return body;
}

Bytes buildPicture(const Recipe& r, const Bytes& body) {
    IffBuilder b(r.formType);
    BitmapHeader h;
    h.width = static_cast<std::uint16_t>(r.width);
    h.height = static_cast<std::uint16_t>(r.height);
    h.planes = static_cast<std::uint8_t>(r.planes);
    h.masking = static_cast<std::uint8_t>(r.masking);
    h.compression = static_cast<std::uint8_t>(r.compression);
    h.transparentColor = r.transparentColor;
    b.bmhd(h);
    if (r.displayMode >= 0) b.camg(static_cast<std::uint32_t>(r.displayMode));
    if (r.paletteEntries >= 0) b.chunk("CMAP", colourMap(static_cast<unsigned>(r.paletteEntries)));
    addLinePalettes(b, r);
    if (r.sprite) b.chunk("SPRT", Bytes{0, 0});
    b.chunk("ANNO", Bytes{'t', 'e', 's', 't'});
    b.chunk(r.bodyId, body);
    return b.bytes();
}

Bytes buildPicture(const Recipe& r) { return buildPicture(r, pictureBody(r)); }

std::vector<TestPicture> testPictures() {
    std::vector<TestPicture> out;
    addIndexed(out);
    addHoldAndModify(out);
    addLinePaletteModes(out);
    addOtherModes(out);
    addPaletteStrips(out);
    addOddShapes(out);
    return out;
}

}  // namespace vantrel::fuzz
