#include "iff/Parser.h"

namespace vantrel {
namespace {

constexpr std::uint32_t holdAndModifyBit = 0x800;
constexpr std::uint32_t extraHalfBriteBit = 0x80;

bool choose(ImageInfo& info, PixelMode mode) {
    info.pixelMode = mode;
    return true;
}

// Planes, a body, and neither true colour nor line palettes: the colour map
// and the display mode decide.
bool selectColourMapMode(ImageInfo& info) {
    const unsigned planes = info.planeCount;
    const unsigned entries = info.paletteSize;
    if (info.palette == nullptr) return planes == 8 && choose(info, PixelMode::Grey8);
    if ((info.displayMode & holdAndModifyBit) != 0) {
        if (planes == 5 || planes == 6) return entries >= 16 && choose(info, PixelMode::Ham6);
        if (planes == 7 || planes == 8) return entries >= 64 && choose(info, PixelMode::Ham8);
    }
    if ((info.displayMode & extraHalfBriteBit) != 0 && planes == 6) {
        return entries >= 32 && choose(info, PixelMode::HalfBrite);
    }
    if (entries >= (1u << planes)) return choose(info, PixelMode::Indexed);
    // A colour map shorter than the planes can address: its size alone decides.
    if ((planes == 5 || planes == 6) && entries == 16) return choose(info, PixelMode::Ham6);
    if (entries == 32 && planes == 6) return choose(info, PixelMode::HalfBrite);
    if (entries == 64 && (planes == 7 || planes == 8)) return choose(info, PixelMode::Ham8);
    return choose(info, PixelMode::Indexed);
}

}  // namespace

bool selectPixelMode(ImageInfo& info) {
    const unsigned planes = info.planeCount;
    if (planes == 0) return info.palette != nullptr && choose(info, PixelMode::PaletteStrip);
    if (info.body == nullptr) return false;
    if (planes == 24 || planes == 32) {
        info.palette = nullptr;  // a colour map means nothing to true colour
        return choose(info, planes == 24 ? PixelMode::Rgb24 : PixelMode::Rgba32);
    }
    if (info.linePalettes != nullptr) {
        if (planes == 5 || planes == 6) return choose(info, PixelMode::LineHam6);
        if (planes == 4) return choose(info, PixelMode::LinePalette);
    }
    return selectColourMapMode(info);
}

}  // namespace vantrel
