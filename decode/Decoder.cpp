#include "decode/Decoder.h"

#include "decode/RowReader.h"

namespace vantrel {
namespace {

constexpr std::uint32_t linePaletteBytes = 32;

// A line palette word 0x0RGB: each 4-bit level repeated into both halves of its byte.
std::uint32_t linePaletteColour(const std::uint8_t* word) {
    const std::uint32_t red = word[0] & 0xFu;
    const std::uint32_t green = word[1] >> 4;
    const std::uint32_t blue = word[1] & 0xFu;
    return 0xFF000000u | (red * 17) << 16 | (green * 17) << 8 | (blue * 17);
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

    void loadInto(std::uint32_t* workingPalette, std::uint32_t memoryRow) {
        if (first == nullptr || count == 0) return;
        const std::uint32_t index = next < count ? next : count - 1;
        const std::uint8_t* words = first + std::size_t{index} * linePaletteBytes;
        for (unsigned i = 0; i < 16; ++i) workingPalette[i] = linePaletteColour(words + 2 * i);
        if (!(paired && (memoryRow & 1) != 0)) ++next;
    }
};

std::uint32_t replaceByte(std::uint32_t colour, unsigned shift, std::uint32_t level) {
    return (colour & ~(0xFFu << shift)) | (level << shift);
}

// Hold-and-modify: control 0 looks up the palette, 1 modifies blue, 2 red,
// anything higher green; the other bytes come from the held colour.
std::uint32_t holdAndModify(std::uint32_t held, std::uint32_t control, std::uint32_t level,
                            const std::uint32_t* workingPalette, std::uint32_t value) {
    switch (control) {
        case 0: return workingPalette[value & 0xFF];
        case 1: return replaceByte(held, 0, level);
        case 2: return replaceByte(held, 16, level);
        default: return replaceByte(held, 8, level);
    }
}

std::uint32_t trueColour(std::uint32_t value, std::uint32_t alpha) {
    return alpha << 24 | (value & 0xFF) << 16 | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

std::uint32_t convertPixel(PixelMode mode, std::uint32_t value, std::uint32_t held,
                           const std::uint32_t* workingPalette) {
    switch (mode) {
        case PixelMode::Ham6:
        case PixelMode::LineHam6:
            return holdAndModify(held, value >> 4, (value & 0xF) * 17, workingPalette, value);
        case PixelMode::Ham8: {
            const std::uint32_t level = value & 0x3F;
            return holdAndModify(held, value >> 6, (level << 2) + (level >> 4), workingPalette, value);
        }
        case PixelMode::Grey8: return 0xFF000000u + (value & 0xFF) * 0x010101u;
        case PixelMode::Rgb24: return trueColour(value, 0xFF);
        case PixelMode::Rgba32: return trueColour(value, value >> 24);
        default: return workingPalette[value & 0xFF];
    }
}

void convertRow(const ImageInfo& info, const DecoderStorage& storage, std::uint32_t* out) {
    std::uint32_t held = storage.workingPalette[0];
    for (std::uint32_t x = 0; x < info.width; ++x) {
        held = convertPixel(info.pixelMode, storage.valueRow[x], held, storage.workingPalette);
        out[x] = storage.maskRow[x] != 0 ? held : 0;
    }
}

}  // namespace

void decodePicture(const ImageInfo& info, std::uint32_t* pixels) {
    if (info.body == nullptr || info.width == 0) {
        writePaletteStrip(info, pixels);
        return;
    }
    DecoderStorage storage;
    RowSource source{info, rowGeometry(info), {info.body, info.bodySize}, 0};
    buildBasePalette(info, storage.workingPalette);
    LinePaletteCursor linePalette{info.linePalettes, info.linePaletteCount, 0,
                                  info.linePaletteCount < info.height};
    for (std::uint32_t r = 0; r < info.height; ++r) {
        const std::uint32_t m = info.height - 1u - r;
        splitRow(source, readRow(source, storage), storage);
        linePalette.loadInto(storage.workingPalette, m);
        convertRow(info, storage, pixels + std::size_t{m} * info.width);
    }
}

}  // namespace vantrel
