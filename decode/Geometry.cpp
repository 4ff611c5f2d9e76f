#include "decode/Decoder.h"
#include "decode/RowReader.h"

namespace vantrel {
namespace {

std::uint32_t colourMapEntry(const std::uint8_t* entry) {
    return 0xFF000000u | (std::uint32_t{entry[0]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[2];
}

// Extra Half-Brite: entry 32 + i is entry i with each colour byte halved, still opaque.
void addHalfBrightColours(std::uint32_t* workingPalette) {
    for (unsigned i = 0; i < 32; ++i) {
        workingPalette[32 + i] = 0xFF000000u | ((workingPalette[i] >> 1) & 0x007F7F7Fu);
    }
}

// How many colour map entries the mode takes; 0 for modes without a base palette.
unsigned colourMapEntriesTaken(const ImageInfo& info) {
    switch (info.pixelMode) {
        case PixelMode::Indexed: return info.paletteSize < 256 ? info.paletteSize : 256;
        case PixelMode::HalfBrite: return 32;
        case PixelMode::Ham6: return 16;
        case PixelMode::Ham8: return 64;
        default: return 0;
    }
}

}  // namespace

OutputSize outputSize(const ImageInfo& info) {
    if (info.pixelMode == PixelMode::PaletteStrip) return {info.paletteSize, 1};
    return {info.width, info.height};
}

void buildBasePalette(const ImageInfo& info, std::uint32_t* workingPalette) {
    for (unsigned i = 0; i < 256; ++i) workingPalette[i] = 0;
    const unsigned count = colourMapEntriesTaken(info);
    for (unsigned i = 0; i < count; ++i) workingPalette[i] = colourMapEntry(info.palette + 3 * i);
    if (info.pixelMode == PixelMode::HalfBrite) addHalfBrightColours(workingPalette);
}

RowGeometry rowGeometry(const ImageInfo& info) {
    RowGeometry g{};
    g.planeRowBytes = ((std::uint32_t{info.width} + 15) >> 3) & ~1u;
    g.bytesPerPixel = (std::uint32_t{info.planeCount} + 7) >> 3;
    switch (info.formType) {
        case FormType::Ilbm:
            g.rowSize = g.planeRowBytes * (info.planeCount + (info.masking == 1 ? 1u : 0u));
            g.planeStride = g.planeRowBytes;
            break;
        case FormType::Pbm:
            g.rowSize = (info.width * g.bytesPerPixel + 1) & ~1u;
            g.planeStride = 0;
            break;
        case FormType::Acbm:
            g.rowSize = g.planeRowBytes;
            g.planeStride = g.planeRowBytes * info.height;
            break;
    }
    return g;
}

}  // namespace vantrel
