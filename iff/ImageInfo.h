// The parsed description of one IFF picture: what the chunk walk found and the
// decode path chosen for it. The record owns nothing; its pointers borrow the
// caller's bytes (the mapped file) and stay valid only as long as those do.
#pragma once

#include <cstdint>

namespace vantrel {

// The three IFF form types that hold a bitmap picture.
enum class FormType : std::uint8_t {
    Ilbm = 0,  // "ILBM": interleaved bit planes
    Pbm = 1,   // "PBM ": chunky pixels, one to four bytes each
    Acbm = 2,  // "ACBM": contiguous bit planes, never compressed
};

// The decode path. Each mode carries promises about the record (see
// selectPixelMode) that the decoder relies on without testing them again.
enum class PixelMode : std::uint8_t {
    PaletteStrip = 0,  // no bit planes: the colour map shown as a 1-pixel strip
    Indexed = 1,       // plane bits index the colour map
    HalfBrite = 2,     // 6 planes: 32 colours plus the same at half brightness
    LinePalette = 3,   // 4 planes, 16 colours reloaded per row
    Ham6 = 4,          // hold-and-modify, 5 or 6 planes, 16 base colours
    LineHam6 = 5,      // hold-and-modify with base colours reloaded per row
    Ham8 = 6,          // hold-and-modify, 7 or 8 planes, 64 base colours
    Grey8 = 7,         // 8 planes, no colour map: grey levels
    Rgb24 = 8,         // 24 planes of true colour
    Rgba32 = 9,        // 32 planes of true colour with alpha
};

struct ImageInfo {
    std::uint16_t width;             // 1..4096 once a "BMHD" with planes is taken, else 0
    std::uint16_t height;            // 1..4096 whenever width is non-zero
    std::uint8_t planeCount;         // 0, 1..8, 24 or 32
    std::uint8_t masking;            // 0 none, 1 mask plane, 2 transparent colour
    PixelMode pixelMode;             // written only by a successful selectPixelMode
    std::uint8_t compression;        // 0 plain, 1 ByteRun1 (never 1 for Acbm)
    const std::uint8_t* palette;       // "CMAP" data, 3 bytes per entry, or null
    const std::uint8_t* linePalettes;  // 32-byte line palettes from "CTBL"/"SHAM", or null
    const std::uint8_t* body;          // "BODY"/"ABIT" data, or null
    std::uint16_t paletteSize;       // whole "CMAP" entries, at most 65535
    std::uint16_t linePaletteCount;  // line palettes at linePalettes
    std::uint32_t bodySize;          // body bytes (pad byte not counted)
    std::uint32_t displayMode;       // "CAMG" word, 0 when absent
    std::uint16_t transparentColor;  // pixel value that is transparent when masking is 2
    FormType formType;
};

}  // namespace vantrel
