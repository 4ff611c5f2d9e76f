#include "decode/Decoder.h"

#include <cstddef>

#include "decode/RowReader.h"

#if defined(__SSE2__) || defined(_M_X64)
#define VANTREL_DECODE_SSE2 1
#include <emmintrin.h>
#endif

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

    bool active() const { return first != nullptr && count != 0; }

    void loadInto(std::uint32_t* workingPalette, std::uint32_t memoryRow) {
        const std::uint32_t index = next < count ? next : count - 1;
        const std::uint8_t* words = first + std::size_t{index} * linePaletteBytes;
        for (unsigned i = 0; i < 16; ++i) workingPalette[i] = linePaletteColour(words + 2 * i);
        if (!(paired && (memoryRow & 1) != 0)) ++next;
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

void buildHoldTables(PixelMode mode, DecoderStorage& s) {
    const bool eightPlanes = mode == PixelMode::Ham8;
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t control = eightPlanes ? v >> 6 : v >> 4;
        const std::uint32_t level = eightPlanes ? ((v & 0x3F) << 2) + ((v & 0x3F) >> 4) : (v & 0xF) * 17;
        const unsigned shift = control == 1 ? 0 : control == 2 ? 16 : 8;
        const std::uint32_t keep = control == 0 ? 0 : ~(0xFFu << shift);
        const std::uint32_t set = control == 0 ? 0 : level << shift;
        s.holdStep[v] = std::uint64_t{keep} << 32 | set;
    }
}

void refreshHoldPalette(PixelMode mode, DecoderStorage& s) {
    const unsigned count = holdPaletteValues(mode);
    for (unsigned v = 0; v < count; ++v) s.holdStep[v] = s.workingPalette[v];  // keep 0
}

// The first count steps split by byte for the AVX-512 kernel: set into
// paletteBytes, keep into holdKeep.
void splitHoldSteps(unsigned count, DecoderStorage& s) {
    for (unsigned v = 0; v < count; ++v) {
        const auto set = static_cast<std::uint32_t>(s.holdStep[v]), keep = static_cast<std::uint32_t>(s.holdStep[v] >> 32);
        for (unsigned k = 0; k < 4; ++k) {
            s.paletteBytes.bytes[k][v] = static_cast<std::uint8_t>(set >> (8 * k));
            s.holdKeep.bytes[k][v] = static_cast<std::uint8_t>(keep >> (8 * k));
        }
    }
}

// Two pixels per step on the held colour: their two steps composed into one,
// held = (held & (keepA & keepB)) | ((setA & keepB) | setB), so that the
// chain from pixel to pixel is one step per pair instead of per pixel.
void convertHold(const std::uint8_t* values, const DecoderStorage& s, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t held = s.workingPalette[0];
    std::uint32_t x = 0;
    for (; x + 2 <= width; x += 2) {
        const std::uint64_t stepA = s.holdStep[values[x]], stepB = s.holdStep[values[x + 1]];
        const auto keepA = static_cast<std::uint32_t>(stepA >> 32), setA = static_cast<std::uint32_t>(stepA);
        const auto keepB = static_cast<std::uint32_t>(stepB >> 32), setB = static_cast<std::uint32_t>(stepB);
        out[x] = (held & keepA) | setA;
        held = (held & (keepA & keepB)) | ((setA & keepB) | setB);
        out[x + 1] = held;
    }
    if (x < width) {
        const std::uint64_t step = s.holdStep[values[x]];
        out[x] = (held & static_cast<std::uint32_t>(step >> 32)) | static_cast<std::uint32_t>(step);
    }
}

// ---- Other modes ----

// Four lookups per 16-byte store. A picture far larger than the caches is
// written with streaming stores, which skip reading each output line into
// the cache first; they need 16-byte alignment, so a row starts with single
// words until it has that.
template <bool Streaming>
void convertIndexed(const std::uint8_t* values, const std::uint32_t* palette, std::uint32_t width,
                    std::uint32_t* out) {
    std::uint32_t x = 0;
#if VANTREL_DECODE_SSE2
    for (; Streaming && x < width && (reinterpret_cast<std::uintptr_t>(out + x) & 15) != 0; ++x)
        out[x] = palette[values[x]];
    for (; x + 4 <= width; x += 4) {
        const __m128i first = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(palette[values[x]])),
                                                 _mm_cvtsi32_si128(static_cast<int>(palette[values[x + 1]])));
        const __m128i second = _mm_unpacklo_epi32(_mm_cvtsi32_si128(static_cast<int>(palette[values[x + 2]])),
                                                  _mm_cvtsi32_si128(static_cast<int>(palette[values[x + 3]])));
        const __m128i four = _mm_unpacklo_epi64(first, second);
        if constexpr (Streaming) {
            _mm_stream_si128(reinterpret_cast<__m128i*>(out + x), four);
        } else {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), four);
        }
    }
#endif
    for (; x < width; ++x) out[x] = palette[values[x]];
}

// Outputs from this many pixels on (16 MB) are written with streaming stores.
constexpr std::size_t streamingPixels = std::size_t{1} << 22;

bool streamsOutput(const ImageInfo& info) {
    return std::size_t{info.width} * info.height >= streamingPixels;
}

// Streaming stores are weakly ordered: make them visible before returning.
void finishStreaming() {
#if VANTREL_DECODE_SSE2
    _mm_sfence();
#endif
}

void convertGrey(const std::uint8_t* values, std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x) out[x] = 0xFF000000u + values[x] * 0x010101u;
}

// Bit planes: planes 0 to 7 are red, 8 to 15 green, 16 to 23 blue, 24 to 31 alpha.
void convertPlanarTrueColour(const DecoderStorage& s, bool withAlpha, std::uint32_t width, std::uint32_t* out) {
    const std::uint8_t *red = s.chunky[0], *green = s.chunky[1], *blue = s.chunky[2], *alpha = s.chunky[3];
    if (withAlpha) {
        for (std::uint32_t x = 0; x < width; ++x)
            out[x] = std::uint32_t{alpha[x]} << 24 | std::uint32_t{red[x]} << 16 | std::uint32_t{green[x]} << 8 | blue[x];
    } else {
        for (std::uint32_t x = 0; x < width; ++x)
            out[x] = 0xFF000000u | std::uint32_t{red[x]} << 16 | std::uint32_t{green[x]} << 8 | blue[x];
    }
}

// "PBM " pixel bytes in file order: blue, green, red for 24 planes; alpha,
// blue, green, red for 32.
void convertChunkyTrueColour(const std::uint8_t* row, bool withAlpha, std::uint32_t width, std::uint32_t* out) {
    if (withAlpha) {
        for (std::uint32_t x = 0; x < width; ++x, row += 4)
            out[x] = std::uint32_t{row[0]} << 24 | std::uint32_t{row[3]} << 16 | std::uint32_t{row[2]} << 8 | row[1];
    } else {
        for (std::uint32_t x = 0; x < width; ++x, row += 3)
            out[x] = 0xFF000000u | std::uint32_t{row[2]} << 16 | std::uint32_t{row[1]} << 8 | row[0];
    }
}

// ---- Masks, applied after conversion so that hold-and-modify still passes a
// hidden pixel's colour on to the next ----

void applyMaskPlane(const std::uint8_t* maskPlane, std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t b = 0; b < (width + 7) >> 3; ++b) {
        const std::uint32_t bits = maskPlane[b];
        if (bits == 0xFF) continue;
        const std::uint32_t end = width - 8 * b < 8 ? width - 8 * b : 8;
        for (std::uint32_t i = 0; i < end; ++i) {
            if ((bits & (0x80u >> i)) == 0) out[8 * b + i] = 0;
        }
    }
}

// The value of pixel x as its planes or bytes compose it, for comparison
// with the transparent colour.
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

void applyTransparentColour(const ImageInfo& info, const std::uint8_t* values, const std::uint8_t* pbmRow,
                            const DecoderStorage& s, std::uint32_t* out) {
    const std::uint32_t transparent = info.transparentColor;
    if (info.planeCount <= 8) {
        if (transparent > 0xFF) return;
        for (std::uint32_t x = 0; x < info.width; ++x) {
            if (values[x] == transparent) out[x] = 0;
        }
        return;
    }
    for (std::uint32_t x = 0; x < info.width; ++x) {
        if (pixelValue(info, pbmRow, s, x) == transparent) out[x] = 0;
    }
}

// ---- One row ----

// The row kernels for one picture, chosen once.
struct RowKernels {
    SimdLevel level;
    bool wideLookup;          // palette lookup with AVX-512 byte permutes
    unsigned lookupEntries;   // 64, 128 or 256: no pixel value reaches it
    bool streaming;
};

// Values of up to 6 planes fit a 64-entry lookup, of 7 planes 128; "PBM "
// bytes can be anything whatever the plane count.
unsigned lookupEntries(const ImageInfo& info) {
    if (info.formType == FormType::Pbm || info.planeCount >= 8) return 256;
    return info.planeCount == 7 ? 128 : 64;
}

RowKernels chooseKernels(const ImageInfo& info) {
    RowKernels k{simdLevel(), false, lookupEntries(info), streamsOutput(info)};
#if VANTREL_X86_64
    k.wideLookup = k.level == SimdLevel::Avx512;
#endif
    return k;
}

// Turns the stored row into chunky values: planes 0 to 7 into chunky[0] (and
// further groups for true colour); a "PBM " row already is chunky. Returns
// the one-byte values of up to 8 planes.
const std::uint8_t* chunkyValues(const ImageInfo& info, StoredRow row, DecoderStorage& s, const RowKernels& k) {
    if (info.formType == FormType::Pbm) return row.data;
    const unsigned planes = info.planeCount;
    for (unsigned group = 0; group * 8 < planes; ++group) {
        const unsigned count = planes - group * 8 < 8 ? planes - group * 8 : 8;
        planesToChunky(row, group * 8, count, info.width, s.chunky[group], k.level);
    }
    return s.chunky[0];
}

void convertRow(const ImageInfo& info, StoredRow row, const std::uint8_t* values, const DecoderStorage& s,
                const RowKernels& k, std::uint32_t* out) {
    const std::uint32_t width = info.width;
    switch (info.pixelMode) {
        case PixelMode::Ham6:
        case PixelMode::LineHam6:
        case PixelMode::Ham8:
#if VANTREL_X86_64
            if (k.wideLookup) {
                wide::convertHold(values, s.paletteBytes, s.holdKeep, k.lookupEntries, s.workingPalette[0], width, out);
                break;
            }
#endif
            convertHold(values, s, width, out);
            break;
        case PixelMode::Grey8:
#if VANTREL_X86_64
            if (k.wideLookup) {  // paletteBytes holds the grey ramp
                wide::convertIndexed(values, s.paletteBytes, 256, k.streaming, width, out);
                break;
            }
#endif
            convertGrey(values, width, out);
            break;
        case PixelMode::Rgb24:
        case PixelMode::Rgba32: {
            const bool alpha = info.pixelMode == PixelMode::Rgba32;
            if (info.formType == FormType::Pbm) {
                convertChunkyTrueColour(row.data, alpha, width, out);
            } else {
                convertPlanarTrueColour(s, alpha, width, out);
            }
            break;
        }
        default:
#if VANTREL_X86_64
            if (k.wideLookup) {
                wide::convertIndexed(values, s.paletteBytes, k.lookupEntries, k.streaming, width, out);
                break;
            }
#endif
            if (k.streaming) {
                convertIndexed<true>(values, s.workingPalette, width, out);
            } else {
                convertIndexed<false>(values, s.workingPalette, width, out);
            }
            break;
    }
}

void applyMask(const ImageInfo& info, StoredRow row, const std::uint8_t* values, const DecoderStorage& s,
               std::uint32_t* out) {
    if (info.masking == 1 && info.formType != FormType::Pbm) {
        applyMaskPlane(row.data + std::size_t{info.planeCount} * row.planeStride, info.width, out);
    } else if (info.masking == 2) {
        applyTransparentColour(info, values, row.data, s, out);
    }
}

}  // namespace

void decodePicture(const ImageInfo& info, std::uint32_t* pixels) {
    if (info.body == nullptr || info.width == 0) {
        writePaletteStrip(info, pixels);
        return;
    }
    DecoderStorage storage;
    const RowKernels kernels = chooseKernels(info);
    RowSource source{info, rowGeometry(info), {info.body, info.bodySize}, 0, kernels.level};
    buildBasePalette(info, storage.workingPalette);
    const bool grey = info.pixelMode == PixelMode::Grey8;
    if (kernels.wideLookup && grey) {
        for (unsigned v = 0; v < 256; ++v) {
            for (unsigned k = 0; k < 3; ++k) storage.paletteBytes.bytes[k][v] = static_cast<std::uint8_t>(v);
            storage.paletteBytes.bytes[3][v] = 0xFF;
        }
    } else if (kernels.wideLookup) {
        splitPalette(storage.workingPalette, 256, storage.paletteBytes);
    }
    const bool hold = holdsAndModifies(info.pixelMode);
    if (hold) {
        buildHoldTables(info.pixelMode, storage);
        refreshHoldPalette(info.pixelMode, storage);
        if (kernels.wideLookup) splitHoldSteps(256, storage);
    }
    LinePaletteCursor linePalette{info.linePalettes, info.linePaletteCount, 0,
                                  info.linePaletteCount < info.height};
    for (std::uint32_t r = 0; r < info.height; ++r) {
        const std::uint32_t m = info.height - 1u - r;
        const StoredRow row = readRow(source, storage);
        const std::uint8_t* values = chunkyValues(info, row, storage, kernels);
        if (linePalette.active()) {
            linePalette.loadInto(storage.workingPalette, m);
            if (hold) refreshHoldPalette(info.pixelMode, storage);
#if VANTREL_X86_64
            // Only entries 0 to 15 change; for hold-and-modify they are the
            // set half of the steps, whose keep half stays 0.
            if (kernels.wideLookup && !grey) wide::splitSixteen(storage.workingPalette, storage.paletteBytes);
#endif
        }
        std::uint32_t* out = pixels + std::size_t{m} * info.width;
        convertRow(info, row, values, storage, kernels, out);
        applyMask(info, row, values, storage, out);
    }
    finishStreaming();
}

}  // namespace vantrel
