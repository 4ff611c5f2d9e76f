// Row kernels in plain C++, included by every tier's file inside its own
// unnamed namespace, so that each tier compiles them with its own target
// flags (the compiler vectorises them for that instruction set) and no two
// tiers share a compiled function. A tier uses these where its instruction
// set offers nothing better, and for the ends of rows.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/kernels/RowKernels.h"

namespace vantrel::kernels {
namespace {
namespace portable {

inline void store64(std::uint8_t* p, std::uint64_t v) {
    for (unsigned i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline std::uint64_t load64(const std::uint8_t* p) {
    return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 | std::uint64_t{p[3]} << 24 |
           std::uint64_t{p[4]} << 32 | std::uint64_t{p[5]} << 40 | std::uint64_t{p[6]} << 48 |
           std::uint64_t{p[7]} << 56;
}

// ---- Bit planes to chunky, eight pixels at a time ----

// spreadBits[b] holds bit 7 - i of b in bit 0 of its byte i: one plane byte
// spread over the 8 pixels it covers, leftmost pixel in the lowest byte.
struct SpreadTable {
    std::uint64_t lanes[256];
};

constexpr SpreadTable makeSpreadTable() {
    SpreadTable t{};
    for (unsigned b = 0; b < 256; ++b) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < 8; ++i) v |= std::uint64_t{(b >> (7 - i)) & 1u} << (8 * i);
        t.lanes[b] = v;
    }
    return t;
}

constexpr SpreadTable spreadBits = makeSpreadTable();

template <unsigned Planes>
void planesToChunkyFixed(const std::uint8_t* plane0, std::size_t stride, std::uint32_t from, std::uint32_t groups,
                         std::uint8_t* out) {
    for (std::uint32_t b = from; b < groups; ++b) {
        std::uint64_t v = 0;
        const std::uint8_t* p = plane0 + b;
        for (unsigned j = 0; j < Planes; ++j) v |= spreadBits.lanes[p[j * stride]] << j;
        store64(out + 8 * std::size_t{b}, v);
    }
}

// Plane bytes from to groups - 1.
inline void planesToChunkyFrom(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t from,
                               std::uint32_t groups, std::uint8_t* out) {
    switch (planes) {
        case 1: planesToChunkyFixed<1>(plane0, stride, from, groups, out); break;
        case 2: planesToChunkyFixed<2>(plane0, stride, from, groups, out); break;
        case 3: planesToChunkyFixed<3>(plane0, stride, from, groups, out); break;
        case 4: planesToChunkyFixed<4>(plane0, stride, from, groups, out); break;
        case 5: planesToChunkyFixed<5>(plane0, stride, from, groups, out); break;
        case 6: planesToChunkyFixed<6>(plane0, stride, from, groups, out); break;
        case 7: planesToChunkyFixed<7>(plane0, stride, from, groups, out); break;
        default: planesToChunkyFixed<8>(plane0, stride, from, groups, out); break;
    }
}

inline void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                           std::uint32_t, std::uint8_t* out) {
    planesToChunkyFrom(plane0, stride, planes, 0, groups, out);
}

// The turn of 8x8 bit blocks across eight plane registers, for the vector
// tiers: three rounds of swaps between pairs of planes (blocks of 4, 2 and 1
// bits) leave in the register of plane b, for each byte, bit b of every
// plane, plane j in bit j: the chunky byte of pixel 7 - b. plane(j) gives
// the register of plane j; Swap::bits<Shift>(a, b, kept) swaps the bits of a
// at positions with bit Shift set with those of b at positions with it clear
// (kept has the clear ones).
template <typename Swap, typename Plane>
inline void turnPlaneRegisters(Plane plane) {
    for (unsigned j = 0; j < 4; ++j) Swap::template bits<4>(plane(j), plane(j + 4), 0x0F);
    for (unsigned j = 0; j < 8; j += 4) {
        Swap::template bits<2>(plane(j), plane(j + 2), 0x33);
        Swap::template bits<2>(plane(j + 1), plane(j + 3), 0x33);
    }
    for (unsigned j = 0; j < 8; j += 2) Swap::template bits<1>(plane(j), plane(j + 1), 0x55);
}

// ---- ByteRun1 ----

// The first 32 bytes of a run (64 where the vectors are that wide) are
// stored whatever its length, so that short runs, the most common, take no
// loop branch; longer ones finish in a loop. A control byte of 128 stores
// nothing and takes 1 byte.
template <typename Ops>
std::uint8_t* unpackRunsBlocks(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                               const std::uint8_t* rowEnd) {
    constexpr std::uint32_t first = Ops::width > 32 ? Ops::width : 32;
    const std::uint8_t* p = position;
    while (p < safeEnd && out < rowEnd) {
        const std::uint32_t control = *p++;
        if (control < 128) {
            const std::uint32_t count = control + 1u;
            for (std::uint32_t i = 0; i < first; i += Ops::width) Ops::copy(out + i, p + i);
            for (std::uint32_t i = first; i < count; i += Ops::width) Ops::copy(out + i, p + i);
            p += count;
            out += count;
        } else if (control > 128) {
            const std::uint32_t count = 257u - control;
            const auto pattern = Ops::spread(*p++);
            for (std::uint32_t i = 0; i < first; i += Ops::width) Ops::store(out + i, pattern);
            for (std::uint32_t i = first; i < count; i += Ops::width) Ops::store(out + i, pattern);
            out += count;
        }
    }
    position = p;
    return out;
}

struct WordOps {
    static constexpr std::uint32_t width = 8;
    static std::uint64_t spread(std::uint8_t v) { return v * 0x0101010101010101ull; }
    static void copy(std::uint8_t* to, const std::uint8_t* from) { store64(to, load64(from)); }
    static void store(std::uint8_t* p, std::uint64_t v) { store64(p, v); }
};

inline std::uint8_t* unpackRuns(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                                const std::uint8_t* rowEnd) {
    return unpackRunsBlocks<WordOps>(position, safeEnd, out, rowEnd);
}

// ---- Lookups ----

inline void preparePaletteNothing(LookupTables&, unsigned) {}

inline void splitPalette(LookupTables& t, unsigned count) {
    for (unsigned i = 0; i < count; ++i) {
        const std::uint32_t entry = t.palette[i];
        for (unsigned k = 0; k < 4; ++k) t.forms.paletteBytes.bytes[k][i] = static_cast<std::uint8_t>(entry >> (8 * k));
    }
}

inline void splitHold(LookupTables& t, unsigned count) {
    for (unsigned v = 0; v < count; ++v) {
        const auto set = static_cast<std::uint32_t>(t.forms.holdStep[v]);
        const auto keep = static_cast<std::uint32_t>(t.forms.holdStep[v] >> 32);
        for (unsigned k = 0; k < 4; ++k) {
            t.forms.paletteBytes.bytes[k][v] = static_cast<std::uint8_t>(set >> (8 * k));
            t.forms.holdKeep.bytes[k][v] = static_cast<std::uint8_t>(keep >> (8 * k));
        }
    }
}

// Only the values with control 0 look up the palette: 64 at most.
inline void splitHoldPalette(LookupTables& t, unsigned count) { splitPalette(t, count < 64 ? count : 64); }

inline void convertIndexed(const std::uint8_t* values, const LookupTables& t, unsigned, std::uint32_t width,
                           std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x) out[x] = t.palette[values[x]];
}

// Pixels from to width - 1 from the colour held before them: the ends of
// rows that the vector kernels leave.
inline void convertHoldFrom(const std::uint8_t* values, const LookupTables& t, std::uint32_t from,
                            std::uint32_t width, std::uint32_t held, std::uint32_t* out) {
    for (std::uint32_t x = from; x < width; ++x) {
        const std::uint64_t step = t.forms.holdStep[values[x]];
        held = (held & static_cast<std::uint32_t>(step >> 32)) | static_cast<std::uint32_t>(step);
        out[x] = held;
    }
}

// The keep and set halves of a value's hold step.
struct HoldHalves {
    std::uint32_t keep, set;
};

inline HoldHalves holdHalves(const LookupTables& t, std::uint8_t value) {
    const std::uint64_t step = t.forms.holdStep[value];
    return {static_cast<std::uint32_t>(step >> 32), static_cast<std::uint32_t>(step)};
}

// Two pixels per step on the held colour: their two steps composed into one,
// held = (held & (keepA & keepB)) | ((setA & keepB) | setB), so that the
// chain from pixel to pixel is one step per pair instead of per pixel. Rows
// go eight pixels at a time, which spares most of the loop's own work, and
// walk pointers: counted by index, each value and pixel cost an address of
// its own, and HAM6 and HAM8 decodes were 6 to 8% slower.
inline void convertHold(const std::uint8_t* values, const LookupTables& t, unsigned, std::uint32_t width,
                        std::uint32_t* out) {
    std::uint32_t held = t.palette[0];
    const auto pairStep = [&](const std::uint8_t* v, std::uint32_t* o) {
        const HoldHalves a = holdHalves(t, v[0]), b = holdHalves(t, v[1]);
        o[0] = (held & a.keep) | a.set;
        held = (held & (a.keep & b.keep)) | ((a.set & b.keep) | b.set);
        o[1] = held;
    };
    const std::uint8_t* const end = values + width;
    for (; end - values >= 8; values += 8, out += 8) {
        for (unsigned k = 0; k < 8; k += 2) pairStep(values + k, out + k);
    }
    for (; end - values >= 2; values += 2, out += 2) pairStep(values, out);
    if (values < end) {
        const HoldHalves a = holdHalves(t, values[0]);
        out[0] = (held & a.keep) | a.set;
    }
}

// ---- True colour ----

inline void convertPlanarRgb(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                             std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x)
        out[x] = 0xFF000000u | std::uint32_t{red[x]} << 16 | std::uint32_t{green[x]} << 8 | blue[x];
}

inline void convertPlanarRgba(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                              const std::uint8_t* alpha, std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x)
        out[x] = std::uint32_t{alpha[x]} << 24 | std::uint32_t{red[x]} << 16 | std::uint32_t{green[x]} << 8 | blue[x];
}

inline void convertChunkyRgb(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x, row += 3)
        out[x] = 0xFF000000u | std::uint32_t{row[2]} << 16 | std::uint32_t{row[1]} << 8 | row[0];
}

inline void convertChunkyRgba(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x, row += 4)
        out[x] = std::uint32_t{row[0]} << 24 | std::uint32_t{row[3]} << 16 | std::uint32_t{row[2]} << 8 | row[1];
}

// ---- Masks ----

inline void applyMaskPlane(const std::uint8_t* maskBits, std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x) {
        const std::uint32_t keep = 0u - ((maskBits[x >> 3] >> (7 - (x & 7))) & 1u);
        out[x] &= keep;
    }
}

inline void clearValue(const std::uint8_t* values, std::uint8_t value, std::uint32_t width, std::uint32_t* out) {
    for (std::uint32_t x = 0; x < width; ++x) out[x] = values[x] == value ? 0 : out[x];
}

// ---- Premultiply ----

inline std::uint32_t scaleByte(std::uint32_t byte, std::uint32_t alpha) {
    const std::uint32_t x = byte * alpha;
    return (x + (x >> 8) + 1) >> 8;
}

inline std::uint32_t premultiplied(std::uint32_t p) {
    const std::uint32_t alpha = p >> 24;
    if (alpha == 0xFF) return p;
    return alpha << 24 | scaleByte((p >> 16) & 0xFF, alpha) << 16 | scaleByte((p >> 8) & 0xFF, alpha) << 8 |
           scaleByte(p & 0xFF, alpha);
}

inline void premultiply(std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) pixels[i] = premultiplied(pixels[i]);
}

inline void finishNothing() {}

}  // namespace portable
}  // namespace
}  // namespace vantrel::kernels
