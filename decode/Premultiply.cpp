#include "decode/Premultiply.h"

#include "decode/Decoder.h"

#include "decode/kernels/RowKernels.h"

namespace vantrel {
namespace {

// ---- What a record proves ----

bool masksPixels(const ImageInfo& info) {
    if (info.masking == 2) return true;
    return info.masking == 1 && info.formType != FormType::Pbm;  // a "PBM " has no mask plane
}

// Working palette entries 0 up to the result are opaque: those the colour map
// sets, and entries 0 to 15 when line palettes are loaded on every row.
unsigned opaqueEntries(const ImageInfo& info) {
    unsigned fromColourMap = 0;
    switch (info.pixelMode) {
        case PixelMode::Indexed: fromColourMap = info.paletteSize < 256 ? info.paletteSize : 256; break;
        case PixelMode::HalfBrite: fromColourMap = 64; break;  // 32 taken and their halves
        case PixelMode::Ham6: fromColourMap = 16; break;
        case PixelMode::Ham8: fromColourMap = 64; break;
        default: break;
    }
    const bool linePalettes = info.linePalettes != nullptr && info.linePaletteCount != 0;
    return linePalettes && fromColourMap < 16 ? 16 : fromColourMap;
}

// Entries 0 up to the result are all that pixel values can look up: a "PBM "
// byte is not limited to the plane count; hold-and-modify looks up only the
// values whose control bits are 0, and starts every row from entry 0.
unsigned reachableEntries(const ImageInfo& info) {
    switch (info.pixelMode) {
        case PixelMode::Ham6:
        case PixelMode::LineHam6: return 16;
        case PixelMode::Ham8: return 64;
        default: return info.formType == FormType::Pbm ? 256 : 1u << info.planeCount;
    }
}

}  // namespace

bool provesOpaqueColours(const ImageInfo& info) {
    switch (info.pixelMode) {
        case PixelMode::PaletteStrip:
        case PixelMode::Grey8:
        case PixelMode::Rgb24: return true;
        case PixelMode::Rgba32: return false;
        default: return reachableEntries(info) <= opaqueEntries(info);
    }
}

bool provesOpaque(const ImageInfo& info) {
    if (info.pixelMode == PixelMode::PaletteStrip) return true;
    return !masksPixels(info) && provesOpaqueColours(info);
}

void premultiplyPicture(const ImageInfo& info, std::uint32_t* pixels) {
    if (provesOpaque(info)) return;
    const OutputSize size = outputSize(info);
    premultiplyPixels(pixels, std::size_t{size.width} * size.height);
}

void premultiplyPixels(std::uint32_t* pixels, std::size_t count) { rowKernels(simdLevel()).premultiply(pixels, count); }

}  // namespace vantrel
