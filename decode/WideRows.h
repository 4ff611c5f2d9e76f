// AVX-512 row kernels (see Simd.h): the same contracts as the baseline row
// code, chosen once per picture when simdLevel() is SimdLevel::Avx512. Built
// on x86-64 only; elsewhere these are never called.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vantrel {

// The working palette split by byte: bytes[k][i] is byte k (0 blue, 1 green,
// 2 red, 3 alpha) of entry i, so that 64 pixels look up one byte each with
// one byte permute.
struct PaletteBytes {
    std::uint8_t bytes[4][256];
};

// Copies entries 0 to count - 1 of palette into split.
void splitPalette(const std::uint32_t* palette, unsigned count, PaletteBytes& split);

namespace wide {

// splitPalette for 16 entries.
void splitSixteen(const std::uint32_t* palette, PaletteBytes& split);

// planesToChunky for planes 0 to planes - 1 (at most 8) from plane0, the
// planes stride bytes apart: groups bytes of each plane read, 8 * groups
// chunky bytes written.
void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                    std::uint8_t* out);

// out[x] = palette entry values[x] for x below width. entries is 64, 128 or
// 256: every value is below it. Streaming writes whole aligned 64-byte lines
// with streaming stores.
void convertIndexed(const std::uint8_t* values, const PaletteBytes& palette, unsigned entries, bool streaming,
                    std::uint32_t width, std::uint32_t* out);

// ByteRun1 runs from position while it is before safeEnd (from where the
// body still holds a control byte and 128 more) and out before rowEnd; a run
// may store up to 128 bytes whatever its length (the row buffer has room past
// rowEnd). Returns the new end of the output and advances position.
std::uint8_t* unpackRuns(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                         const std::uint8_t* rowEnd);

// Hold-and-modify: pixel x is held = (held & keep) | set with the steps of
// its value split by byte in keep and set, held starting as held.
void convertHold(const std::uint8_t* values, const PaletteBytes& set, const PaletteBytes& keep, unsigned entries,
                 std::uint32_t held, std::uint32_t width, std::uint32_t* out);

}  // namespace wide
}  // namespace vantrel
