// One table of row kernels per tier (Baseline, Avx2, Avx2Gfni, Avx512,
// Neon), each tier in a file of its own built for its instruction set. The
// decoder picks a table once per picture and calls through it: the row loop
// never asks which instruction set it runs on. Every kernel of every tier
// gives the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/Simd.h"

namespace vantrel {

// The working palette split by byte: bytes[k][i] is byte k (0 blue, 1 green,
// 2 red, 3 alpha) of entry i, so that many pixels look up one byte each with
// one byte shuffle or permute.
struct PaletteBytes {
    std::uint8_t bytes[4][256];
};

// The tables a tier prepares from the palette and hold steps: holdStep[v]
// is hold-and-modify's step held = (held & keep) | set, set in the low and
// keep in the high half; the split forms serve the tiers that look up bytes.
struct HoldAndSplit {
    std::uint64_t holdStep[256];
    PaletteBytes paletteBytes;  // palette split; for hold-and-modify, the set halves
    PaletteBytes holdKeep;      // the keep halves of holdStep
};

// Two pixels at once for palettes of up to 32 entries: pairs[a | b << 5] is
// palette[a] in the low and palette[b] in the high half.
constexpr unsigned pairedEntries = 32;

// What a row's values look up. palette is the working palette as the pixels
// show it (mask and transparent colour already folded in where they can be).
// A picture uses one of the union's forms, as its tier's prepare kernels
// keep it: the hold steps and split bytes, or the baseline tier's pairs for
// small palettes, valid for values below pairEntries (0 when none are).
struct LookupTables {
    std::uint32_t palette[256];
    union {
        HoldAndSplit forms;
        std::uint64_t pairs[pairedEntries * pairedEntries];
    };
    unsigned pairEntries;
    // Pixels looked up, at the least, between two changes of the palette: one
    // or two rows where line palettes change it, else the whole picture. A
    // tier builds a larger form of the palette only where it pays.
    std::uint32_t pixelsPerPalette;
    // Hold-and-modify of 7 or 8 planes: 6-bit levels, control in bits 6 and
    // 7; else 4-bit levels, control from bit 4 up (anything above 2 modifies green).
    bool holdEightPlanes;
};

struct RowKernels {
    // ByteRun1 runs from position while it is before safeEnd (from where the
    // body still holds a control byte and 144 more) and out before rowEnd. A
    // run may store up to 128 bytes whatever its length (the row buffer has
    // room past rowEnd). Returns the new end of the output and advances position.
    std::uint8_t* (*unpackRuns)(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                                const std::uint8_t* rowEnd);

    // Bit planes to chunky bytes: planes 0 to planes - 1 (1 to 8) from plane0,
    // stride bytes apart, each planeRowBytes long (an even number that may be
    // read whole); groups bytes of each plane turned into 8 * groups bytes,
    // byte x getting bit j from plane j of pixel x. out has room for
    // 8 * planeRowBytes bytes, which may all be written.
    void (*planesToChunky)(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                           std::uint32_t planeRowBytes, std::uint8_t* out);

    // Bring the tier's forms up to date after palette entries (or hold
    // steps) 0 to count - 1 changed.
    void (*preparePalette)(LookupTables& tables, unsigned count);
    void (*prepareHold)(LookupTables& tables, unsigned count);

    // out[x] = palette[values[x]] for x below width; every value is below
    // entries (16, 32, 64, 128 or 256). The streaming form writes with
    // streaming stores, for outputs far larger than the caches.
    void (*convertIndexed)(const std::uint8_t* values, const LookupTables& tables, unsigned entries,
                           std::uint32_t width, std::uint32_t* out);
    void (*convertIndexedStreaming)(const std::uint8_t* values, const LookupTables& tables, unsigned entries,
                                    std::uint32_t width, std::uint32_t* out);

    // Hold-and-modify: held starts as palette[0] and becomes
    // (held & keep) | set with the step of each value in turn; holdStep is
    // built for the mode holdEightPlanes names.
    void (*convertHold)(const std::uint8_t* values, const LookupTables& tables, unsigned entries, std::uint32_t width,
                        std::uint32_t* out);

    // Bit-plane true colour from chunky bytes: red, green, blue (and alpha,
    // else opaque); grey levels pass the same bytes as all three.
    void (*convertPlanarRgb)(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                             std::uint32_t width, std::uint32_t* out);
    void (*convertPlanarRgba)(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                              const std::uint8_t* alpha, std::uint32_t width, std::uint32_t* out);

    // "PBM " true colour: 3 bytes blue, green, red, or 4 bytes alpha, blue,
    // green, red per pixel.
    void (*convertChunkyRgb)(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out);
    void (*convertChunkyRgba)(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out);

    // Clears pixel x (to 0) where bit 7 - x % 8 of maskBits[x / 8] is 0.
    void (*applyMaskPlane)(const std::uint8_t* maskBits, std::uint32_t width, std::uint32_t* out);
    // Clears pixel x where values[x] is value.
    void (*clearValue)(const std::uint8_t* values, std::uint8_t value, std::uint32_t width, std::uint32_t* out);

    // Scales blue, green and red of each pixel by its alpha, rounding as
    // (x + (x >> 8) + 1) >> 8 with x = byte * alpha; alpha is kept.
    void (*premultiply)(std::uint32_t* pixels, std::size_t count);

    // Makes streaming stores visible (a fence), after the last streamed row.
    void (*finishStreaming)();
};

// The table of a tier; a tier this build has no kernels for (another
// architecture's) gives the baseline table.
const RowKernels& rowKernels(SimdLevel level);

}  // namespace vantrel
