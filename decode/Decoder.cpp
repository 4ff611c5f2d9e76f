#include "decode/Decoder.h"

#include <cstddef>

#include "decode/Premultiply.h"
#include "decode/RowReader.h"

namespace vantrel {
namespace {

constexpr std::uint32_t linePaletteBytes = 32;

// The 16 words 0x0RGB of a line palette to opaque colours, each 4-bit level
// repeated into both halves of its byte. The words are copied first so that
// the compiler knows they cannot overlap the palette, and turns the loop into
// a few vector operations.
void linePaletteColours(const std::uint8_t* stored, std::uint32_t* palette) {
    std::uint8_t words[linePaletteBytes];
    for (unsigned i = 0; i < linePaletteBytes; ++i) words[i] = stored[i];
    for (unsigned i = 0; i < 16; ++i) {
        const std::uint32_t high = words[2 * i], low = words[2 * i + 1];
        palette[i] = 0xFF000000u | (high & 0xFu) * 0x110000u | (low >> 4) * 0x1100u | (low & 0xFu) * 0x11u;
    }
}

void writePaletteStrip(const ImageInfo& info, std::uint32_t* pixels) {
    for (std::uint32_t i = 0; i < info.paletteSize; ++i) {
        const std::uint8_t* entry = info.palette + 3 * i;
        pixels[i] = 0xFF000000u | (std::uint32_t{entry[0]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[2];
    }
}

// Which stored line palette each row loads. Rows are paired by their memory
// row when there are fewer palettes than rows; rows that the pairing sends past
// the last stored palette reuse it, and with none stored nothing is loaded.
struct LinePaletteCursor {
    const std::uint8_t* first;
    std::uint32_t count;
    std::uint32_t next;
    bool paired;
    std::uint32_t loaded;  // the stored palette the working palette holds, count when none

    bool active() const { return first != nullptr && count != 0; }

    // Loads entries 0 to 15 of the palette for the row; false when this row
    // keeps the palette of the row before, which is then left as it is.
    bool loadInto(std::uint32_t* workingPalette, std::uint32_t memoryRow) {
        const std::uint32_t index = next < count ? next : count - 1;
        if (!(paired && (memoryRow & 1) != 0)) ++next;
        if (index == loaded) return false;
        linePaletteColours(first + std::size_t{index} * linePaletteBytes, workingPalette);
        loaded = index;
        return true;
    }
};

// ---- Hold-and-modify ----
// Every value maps to one step held = (held & keep) | set: control 0 takes a
// palette entry (keep 0), control 1 replaces blue, 2 red, anything higher green.

bool holdsAndModifies(PixelMode mode) {
    return mode == PixelMode::Ham6 || mode == PixelMode::LineHam6 || mode == PixelMode::Ham8;
}

// The values whose control is 0, that is which look up the palette.
unsigned holdPaletteValues(PixelMode mode) { return mode == PixelMode::Ham8 ? 64 : 16; }

struct HoldSteps {
    std::uint64_t step[256];
};

// The steps of every value for 8 planes (6-bit levels, control in bits 6 and
// 7) or fewer (4-bit levels, control from bit 4 up), made once at compile
// time; the palette's steps are left 0 for the palette to fill.
constexpr HoldSteps makeHoldSteps(bool eightPlanes) {
    HoldSteps t{};
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t control = eightPlanes ? v >> 6 : v >> 4;
        const std::uint32_t level = eightPlanes ? ((v & 0x3F) << 2) + ((v & 0x3F) >> 4) : (v & 0xF) * 17;
        const unsigned shift = control == 1 ? 0 : control == 2 ? 16 : 8;
        const std::uint32_t keep = control == 0 ? 0 : ~(0xFFu << shift);
        const std::uint32_t set = control == 0 ? 0 : level << shift;
        t.step[v] = std::uint64_t{keep} << 32 | set;
    }
    return t;
}

constexpr HoldSteps holdSteps6 = makeHoldSteps(false), holdSteps8 = makeHoldSteps(true);

void buildHoldTables(PixelMode mode, LookupTables& t) {
    const HoldSteps& steps = mode == PixelMode::Ham8 ? holdSteps8 : holdSteps6;
    for (std::uint32_t v = 0; v < 256; ++v) t.forms.holdStep[v] = steps.step[v];
}

// ---- The plan for one picture, chosen once ----

// What follows the conversion of each row, while the row is still in the cache.
enum class RowMask : std::uint8_t {
    None,
    Plane,             // clear pixels whose mask plane bit is 0
    Value,             // clear pixels whose one-byte value is the transparent colour
    TrueColourValue,   // the same for values of more than 8 planes
};

struct RowPlan {
    const RowKernels& kernels;
    unsigned valuePlanes;   // planes turned into the values of chunky[0], mask plane included when folded
    unsigned entries;       // every value is below it
    std::uint32_t maskBit;  // value bit of the folded mask plane, else 0
    int clearedEntry;       // the transparent colour's palette entry, cleared in the lookup; else -1
    RowMask mask;
    bool premultiply;       // the row's pixels are premultiplied after the mask
    bool streaming;
};

bool looksUp(PixelMode mode) {
    return mode == PixelMode::Indexed || mode == PixelMode::HalfBrite || mode == PixelMode::LinePalette;
}

bool trueColour(PixelMode mode) { return mode == PixelMode::Rgb24 || mode == PixelMode::Rgba32; }

// "PBM " bytes can be anything whatever the plane count; plane values are
// below 1 << planes, at least 16 so that every tier's smallest table serves.
unsigned entriesFor(const ImageInfo& info, unsigned valuePlanes) {
    if (info.formType == FormType::Pbm || valuePlanes >= 8) return 256;
    return valuePlanes <= 4 ? 16 : 1u << valuePlanes;
}

// Outputs from this many pixels on (16 MB) are written with streaming stores
// when nothing reads the row again.
constexpr std::size_t streamingPixels = std::size_t{1} << 22;

RowMask rowMask(const ImageInfo& info, bool folded) {
    if (folded) return RowMask::None;
    if (info.masking == 1 && info.formType != FormType::Pbm) return RowMask::Plane;  // a "PBM " has no mask plane
    if (info.masking != 2) return RowMask::None;
    if (info.planeCount > 8) return RowMask::TrueColourValue;
    return info.transparentColor <= 0xFF ? RowMask::Value : RowMask::None;  // no value reaches it
}

// Palette pictures take the mask into the lookup itself: a mask plane of up
// to 7 colour planes becomes one more value bit whose clear half of the
// palette is transparent, and the transparent colour's own entry is cleared.
RowPlan planRows(const ImageInfo& info, Alpha alpha) {
    RowPlan plan{rowKernels(simdLevel()), info.planeCount, 0, 0, -1, RowMask::None, false, false};
    const bool lookup = looksUp(info.pixelMode);
    bool folded = false;
    if (lookup && info.masking == 1 && info.formType != FormType::Pbm && info.planeCount <= 7) {
        plan.maskBit = 1u << info.planeCount;
        plan.valuePlanes = info.planeCount + 1u;
        folded = true;
    } else if (lookup && info.masking == 2 && info.planeCount <= 8) {
        plan.clearedEntry = info.transparentColor <= 0xFF ? info.transparentColor : -1;
        folded = true;
    }
    plan.entries = entriesFor(info, plan.valuePlanes);
    plan.mask = rowMask(info, folded);
    // Palette entries are opaque or 0 and masked pixels become 0: only true
    // colour with alpha and hold-and-modify (whose held colour can start from
    // an entry the colour map leaves transparent) have anything to scale, and
    // only when the record does not prove their colours opaque.
    plan.premultiply = alpha == Alpha::Premultiplied && !provesOpaqueColours(info) &&
                       (info.pixelMode == PixelMode::Rgba32 || holdsAndModifies(info.pixelMode));
    plan.streaming = lookup && std::size_t{info.width} * info.height >= streamingPixels && plan.mask == RowMask::None &&
                     !plan.premultiply;
    return plan;
}

// ---- Lookup tables ----

// Brings the lookup palette up to date with base palette entries 0 to count - 1
// (with a folded mask plane, only those below its bit: no colour value
// reaches further); whole when every entry was set before.
void foldPalette(const RowPlan& plan, const std::uint32_t* base, unsigned count, LookupTables& t, bool whole) {
    if (plan.maskBit != 0 && count > plan.maskBit) count = plan.maskBit;
    for (unsigned v = 0; v < count; ++v) {
        if (plan.maskBit != 0) {
            t.palette[v] = 0;
            t.palette[v | plan.maskBit] = base[v];
        } else {
            t.palette[v] = base[v];
        }
    }
    if (plan.clearedEntry >= 0) t.palette[plan.clearedEntry] = 0;
    // No value reaches plan.entries, so nothing from there on is prepared.
    const unsigned changed = whole ? plan.entries : plan.maskBit != 0 ? plan.maskBit + count : count;
    plan.kernels.preparePalette(t, changed < plan.entries ? changed : plan.entries);
}

// The holdStep entries of the values that look up the palette.
void refreshHoldPalette(const RowPlan& plan, PixelMode mode, const std::uint32_t* base, LookupTables& t,
                        bool whole) {
    const unsigned count = holdPaletteValues(mode);
    for (unsigned v = 0; v < count; ++v) {
        t.palette[v] = base[v];
        t.forms.holdStep[v] = base[v];  // keep 0
    }
    plan.kernels.prepareHold(t, whole ? 256 : count);
}

// Pixels between two changes of the palette: line palettes change it every
// row, or every other row where rows are paired.
std::uint32_t pixelsPerPalette(const ImageInfo& info) {
    if (info.linePalettes == nullptr || info.linePaletteCount == 0) return std::uint32_t{info.width} * info.height;
    return info.linePaletteCount < info.height ? 2u * info.width : info.width;
}

void prepareTables(const ImageInfo& info, const RowPlan& plan, DecoderStorage& s) {
    s.tables.pairEntries = 0;  // until a tier's prepare kernel builds pairs
    s.tables.pixelsPerPalette = pixelsPerPalette(info);
    buildBasePalette(info, s.basePalette);
    if (holdsAndModifies(info.pixelMode)) {
        for (unsigned v = 0; v < 256; ++v) s.tables.palette[v] = s.basePalette[v];
        buildHoldTables(info.pixelMode, s.tables);
        s.tables.holdEightPlanes = info.pixelMode == PixelMode::Ham8;
        refreshHoldPalette(plan, info.pixelMode, s.basePalette, s.tables, true);
    } else if (looksUp(info.pixelMode)) {
        for (unsigned v = 0; v < 256; ++v) s.tables.palette[v] = 0;
        foldPalette(plan, s.basePalette, 256, s.tables, true);
    }
}

void loadLinePalette(const ImageInfo& info, const RowPlan& plan, DecoderStorage& s) {
    if (holdsAndModifies(info.pixelMode)) {
        refreshHoldPalette(plan, info.pixelMode, s.basePalette, s.tables, false);
    } else if (looksUp(info.pixelMode)) {  // grey levels take no palette
        foldPalette(plan, s.basePalette, 16, s.tables, false);
    }
}

// ---- One row ----

// Turns the stored row into chunky values: planes 0 to 7 into chunky[0] (and
// further groups for true colour); a "PBM " row already is chunky. Returns
// the one-byte values of up to 8 planes.
const std::uint8_t* chunkyValues(const ImageInfo& info, const RowPlan& plan, StoredRow row, DecoderStorage& s) {
    if (info.formType == FormType::Pbm) return row.data;
    const std::uint32_t planeRowBytes = ((std::uint32_t{info.width} + 15) >> 3) & ~1u;
    const std::uint32_t groups = (std::uint32_t{info.width} + 7) >> 3;
    const unsigned planes = plan.valuePlanes;
    for (unsigned group = 0; group * 8 < planes; ++group) {
        const unsigned count = planes - group * 8 < 8 ? planes - group * 8 : 8;
        plan.kernels.planesToChunky(row.data + std::size_t{group} * 8 * row.planeStride, row.planeStride, count,
                                    groups, planeRowBytes, s.chunky[group]);
    }
    return s.chunky[0];
}

void convertTrueColour(const ImageInfo& info, const RowKernels& k, StoredRow row, const DecoderStorage& s,
                       std::uint32_t* out) {
    const bool alpha = info.pixelMode == PixelMode::Rgba32;
    if (info.formType == FormType::Pbm) {
        (alpha ? k.convertChunkyRgba : k.convertChunkyRgb)(row.data, info.width, out);
    } else if (alpha) {
        k.convertPlanarRgba(s.chunky[0], s.chunky[1], s.chunky[2], s.chunky[3], info.width, out);
    } else {
        k.convertPlanarRgb(s.chunky[0], s.chunky[1], s.chunky[2], info.width, out);
    }
}

void convertRow(const ImageInfo& info, const RowPlan& plan, StoredRow row, const std::uint8_t* values,
                const DecoderStorage& s, std::uint32_t* out) {
    const RowKernels& k = plan.kernels;
    if (holdsAndModifies(info.pixelMode)) {
        k.convertHold(values, s.tables, plan.entries, info.width, out);
    } else if (trueColour(info.pixelMode)) {
        convertTrueColour(info, k, row, s, out);
    } else if (info.pixelMode == PixelMode::Grey8) {
        k.convertPlanarRgb(values, values, values, info.width, out);  // the level in red, green and blue
    } else {
        (plan.streaming ? k.convertIndexedStreaming : k.convertIndexed)(values, s.tables, plan.entries, info.width, out);
    }
}

// The value of pixel x as its planes or bytes compose it, for comparison
// with a transparent colour of more than 8 planes.
std::uint32_t pixelValue(const ImageInfo& info, const std::uint8_t* pbmRow, const DecoderStorage& s,
                         std::uint32_t x) {
    if (info.formType == FormType::Pbm) {
        const std::uint32_t bytes = (info.planeCount + 7u) >> 3;
        std::uint32_t value = 0;
        for (std::uint32_t i = 0; i < bytes; ++i) value = (value << 8) | pbmRow[x * bytes + i];
        return value;
    }
    std::uint32_t value = s.chunky[0][x];
    for (unsigned group = 1; group < (info.planeCount + 7u) >> 3; ++group)
        value |= std::uint32_t{s.chunky[group][x]} << (8 * group);
    return value;
}

// Masks after conversion, so that hold-and-modify still passes a hidden
// pixel's colour on to the next.
void maskRow(const ImageInfo& info, const RowPlan& plan, StoredRow row, const std::uint8_t* values,
             const DecoderStorage& s, std::uint32_t* out) {
    switch (plan.mask) {
        case RowMask::Plane:
            plan.kernels.applyMaskPlane(row.data + std::size_t{info.planeCount} * row.planeStride, info.width, out);
            break;
        case RowMask::Value:
            plan.kernels.clearValue(values, static_cast<std::uint8_t>(info.transparentColor), info.width, out);
            break;
        case RowMask::TrueColourValue:
            for (std::uint32_t x = 0; x < info.width; ++x) {
                if (pixelValue(info, row.data, s, x) == info.transparentColor) out[x] = 0;
            }
            break;
        case RowMask::None: break;
    }
}

}  // namespace

void decodePicture(const ImageInfo& info, std::uint32_t* pixels, Alpha alpha) {
    if (info.body == nullptr || info.width == 0) {
        writePaletteStrip(info, pixels);
        return;
    }
    DecoderStorage storage;
    const RowPlan plan = planRows(info, alpha);
    RowSource source{info, rowGeometry(info), {info.body, info.bodySize}, 0, plan.kernels};
    prepareTables(info, plan, storage);
    LinePaletteCursor linePalette{info.linePalettes, info.linePaletteCount, 0,
                                  info.linePaletteCount < info.height, info.linePaletteCount};
    for (std::uint32_t r = 0; r < info.height; ++r) {
        const std::uint32_t m = info.height - 1u - r;
        const StoredRow row = readRow(source, storage);
        const std::uint8_t* values = chunkyValues(info, plan, row, storage);
        if (linePalette.active() && linePalette.loadInto(storage.basePalette, m)) loadLinePalette(info, plan, storage);
        std::uint32_t* out = pixels + std::size_t{m} * info.width;
        convertRow(info, plan, row, values, storage, out);
        maskRow(info, plan, row, values, storage, out);
        if (plan.premultiply) plan.kernels.premultiply(out, info.width);
    }
    if (plan.streaming) plan.kernels.finishStreaming();
}

void decodePicture(const ImageInfo& info, std::uint32_t* pixels) { decodePicture(info, pixels, Alpha::Straight); }

}  // namespace vantrel
