// The NEON tier, for every AArch64 processor: palettes are looked up split by
// byte with tbl / tbx over 64-byte tables and stored with vst4, which
// interleaves the four bytes of 16 pixels in one instruction; bit planes are
// turned into chunky bytes 128 pixels at a time; ByteRun1 runs are stored 16
// bytes at a time.
#include "decode/kernels/Portable.h"
#include "decode/kernels/Tiers.h"

#if VANTREL_AARCH64
#include <arm_neon.h>

namespace vantrel::kernels {
namespace {

// ---- ByteRun1 ----

struct NeonOps {
    static constexpr std::uint32_t width = 16;
    static uint8x16_t spread(std::uint8_t v) { return vdupq_n_u8(v); }
    static void copy(std::uint8_t* to, const std::uint8_t* from) { vst1q_u8(to, vld1q_u8(from)); }
    static void store(std::uint8_t* p, uint8x16_t v) { vst1q_u8(p, v); }
};

std::uint8_t* unpackRuns(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                         const std::uint8_t* rowEnd) {
    return portable::unpackRunsBlocks<NeonOps>(position, safeEnd, out, rowEnd);
}

// ---- Bit planes to chunky ----

uint16x8_t zipLow8(uint8x16_t a, uint8x16_t b) { return vreinterpretq_u16_u8(vzip1q_u8(a, b)); }
uint16x8_t zipHigh8(uint8x16_t a, uint8x16_t b) { return vreinterpretq_u16_u8(vzip2q_u8(a, b)); }
uint32x4_t zipLow16(uint16x8_t a, uint16x8_t b) { return vreinterpretq_u32_u16(vzip1q_u16(a, b)); }
uint32x4_t zipHigh16(uint16x8_t a, uint16x8_t b) { return vreinterpretq_u32_u16(vzip2q_u16(a, b)); }

// Half bytes swap with two shift-and-inserts, other blocks with two shifts
// and two bit selects.
struct SwapBits {
    template <int Shift>
    static void bits(uint8x16_t& a, uint8x16_t& b, std::uint8_t kept) {
        if constexpr (Shift == 4) {
            const uint8x16_t high = vsliq_n_u8(a, b, 4);
            b = vsriq_n_u8(b, a, 4);
            a = high;
        } else {
            const uint8x16_t mask = vdupq_n_u8(kept);
            const uint8x16_t high = vbslq_u8(mask, a, vshlq_n_u8(b, Shift));
            b = vbslq_u8(mask, vshrq_n_u8(a, Shift), b);
            a = high;
        }
    }
};

void storeQuarter(std::uint8_t* out, uint32x4_t low, uint32x4_t high) {
    vst1q_u8(out, vreinterpretq_u8_u32(vzip1q_u32(low, high)));
    vst1q_u8(out + 16, vreinterpretq_u8_u32(vzip2q_u32(low, high)));
}

// 8 * Bytes pixels from Bytes (16 or 8) bytes of each plane; missing planes
// read as zero. The plane registers are turned, then interleaving their
// bytes, pixel 0's first, puts each chunky byte in place.
template <unsigned Bytes>
void planesToChunkyBlock(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint8_t* out) {
    static_assert(Bytes == 16 || Bytes == 8, "a whole or half register of plane bytes");
    uint8x16_t p[8];
    for (unsigned j = 0; j < 8; ++j) {
        const std::uint8_t* from = plane0 + j * stride;
        p[j] = j >= planes   ? vdupq_n_u8(0)
               : Bytes == 16 ? vld1q_u8(from)
                             : vcombine_u8(vld1_u8(from), vdup_n_u8(0));
    }
    portable::turnPlaneRegisters<SwapBits>([&p](unsigned j) -> uint8x16_t& { return p[j]; });
    const uint16x8_t a0 = zipLow8(p[7], p[6]), a1 = zipHigh8(p[7], p[6]);
    const uint16x8_t b0 = zipLow8(p[5], p[4]), b1 = zipHigh8(p[5], p[4]);
    const uint16x8_t c0 = zipLow8(p[3], p[2]), c1 = zipHigh8(p[3], p[2]);
    const uint16x8_t d0 = zipLow8(p[1], p[0]), d1 = zipHigh8(p[1], p[0]);
    storeQuarter(out, zipLow16(a0, b0), zipLow16(c0, d0));
    storeQuarter(out + 32, zipHigh16(a0, b0), zipHigh16(c0, d0));
    if constexpr (Bytes == 16) {
        storeQuarter(out + 64, zipLow16(a1, b1), zipLow16(c1, d1));
        storeQuarter(out + 96, zipHigh16(a1, b1), zipHigh16(c1, d1));
    }
}

// The fewest planes for which turning 8 plane bytes at once beats spreading
// them one at a time: the turn's rounds cost the same for any plane count
// (the SSE2 turn, alike in its steps, broke even at 5).
constexpr unsigned halfBlockPlanes = 5;

// 16 plane bytes at a time, then 8 where the plane row has them (a row of 320
// pixels ends with 8) and there are enough planes, then the last few one at a
// time.
void planesToChunky(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t groups,
                    std::uint32_t planeRowBytes, std::uint8_t* out) {
    std::uint32_t b = 0;
    for (; b < groups && b + 16 <= planeRowBytes; b += 16)
        planesToChunkyBlock<16>(plane0 + b, stride, planes, out + 8 * b);
    if (b < groups && b + 8 <= planeRowBytes && planes >= halfBlockPlanes) {
        planesToChunkyBlock<8>(plane0 + b, stride, planes, out + 8 * b);
        b += 8;
    }
    portable::planesToChunkyFrom(plane0, stride, planes, b, groups, out);
}

// ---- Palette lookup ----

struct ByteTables {
    uint8x16x4_t part[4][4];  // byte k of entries 64q to 64q + 63 in part[k][q]
};

template <unsigned Parts>
void loadByteTables(const PaletteBytes& bytes, ByteTables& t) {
    for (unsigned k = 0; k < 4; ++k)
        for (unsigned q = 0; q < Parts; ++q) t.part[k][q] = vld1q_u8_x4(bytes.bytes[k] + 64 * q);
}

// One byte of 16 entries: tbl answers indices below 64 and gives 0 above;
// each further part answers its 64 with tbx, which leaves other lanes alone.
template <unsigned Parts>
uint8x16_t lookupByte(uint8x16_t index, const uint8x16x4_t (&part)[4]) {
    uint8x16_t r = vqtbl4q_u8(part[0], index);
    for (unsigned q = 1; q < Parts; ++q) r = vqtbx4q_u8(r, part[q], vsubq_u8(index, vdupq_n_u8(static_cast<std::uint8_t>(64 * q))));
    return r;
}

template <unsigned Parts>
void convertTables(const std::uint8_t* values, const LookupTables& tables, std::uint32_t width, std::uint32_t* out) {
    ByteTables t;
    loadByteTables<Parts>(tables.forms.paletteBytes, t);
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8x16_t index = vld1q_u8(values + x);
        uint8x16x4_t pixels;
        for (unsigned k = 0; k < 4; ++k) pixels.val[k] = lookupByte<Parts>(index, t.part[k]);
        vst4q_u8(reinterpret_cast<std::uint8_t*>(out + x), pixels);
    }
    for (; x < width; ++x) out[x] = tables.palette[values[x]];
}

void convertIndexed(const std::uint8_t* values, const LookupTables& tables, unsigned entries, std::uint32_t width,
                    std::uint32_t* out) {
    if (entries <= 64) {
        convertTables<1>(values, tables, width, out);
    } else if (entries <= 128) {
        convertTables<2>(values, tables, width, out);
    } else {
        convertTables<4>(values, tables, width, out);
    }
}

// ---- Hold-and-modify ----

// Sixteen pixels at a time, each colour byte on its own: a pixel either
// writes a byte (a palette entry writes all four, a modify one colour) or
// keeps the one before. For each byte, every pixel finds the last pixel at or
// before it that wrote the byte (a running maximum of positions, four rounds
// of byte shifts) and takes that pixel's value with one tbx, which leaves the
// byte held from the pixels before where there is none.
uint8x16_t holdByte(uint8x16_t value, uint8x16_t wrote, uint8x16_t& held) {
    // Writers are 0x80 + their position, others 0, so that the running
    // maximum is the last writer, and the shifts bring in 0.
    static constexpr std::uint8_t writerBytes[16] = {0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x86, 0x87,
                                                     0x88, 0x89, 0x8A, 0x8B, 0x8C, 0x8D, 0x8E, 0x8F};
    const uint8x16_t zero = vdupq_n_u8(0);
    uint8x16_t last = vandq_u8(wrote, vld1q_u8(writerBytes));
    last = vmaxq_u8(last, vextq_u8(zero, last, 15));
    last = vmaxq_u8(last, vextq_u8(zero, last, 14));
    last = vmaxq_u8(last, vextq_u8(zero, last, 12));
    last = vmaxq_u8(last, vextq_u8(zero, last, 8));
    // As table indices: the writer's position, or 0x80 (out of the table) where none.
    const uint8x16_t result = vqtbx1q_u8(held, value, veorq_u8(last, vdupq_n_u8(0x80)));
    held = vdupq_laneq_u8(result, 15);
    return result;
}

// 8-plane hold-and-modify has 6-bit levels and the control in bits 6 and 7,
// the others 4-bit levels and the control from bit 4 up, any control above 2
// modifying green.
template <bool EightPlanes>
void convertHoldRow(const std::uint8_t* values, const LookupTables& t, std::uint32_t width, std::uint32_t* out) {
    uint8x16x4_t palette[4];
    for (unsigned k = 0; k < 4; ++k) palette[k] = vld1q_u8_x4(t.forms.paletteBytes.bytes[k]);
    uint8x16_t held[4];
    for (unsigned k = 0; k < 4; ++k) held[k] = vdupq_n_u8(static_cast<std::uint8_t>(t.palette[0] >> (8 * k)));
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8x16_t v = vld1q_u8(values + x);
        const uint8x16_t control = vshrq_n_u8(v, EightPlanes ? 6 : 4);
        const uint8x16_t bits = vandq_u8(v, vdupq_n_u8(EightPlanes ? 0x3F : 0x0F));
        const uint8x16_t level = EightPlanes ? vorrq_u8(vshlq_n_u8(bits, 2), vshrq_n_u8(bits, 4)) : vorrq_u8(bits, vshlq_n_u8(bits, 4));
        const uint8x16_t fromPalette = vceqq_u8(control, vdupq_n_u8(0));
        const uint8x16_t modifiesBlue = vceqq_u8(control, vdupq_n_u8(1)), modifiesRed = vceqq_u8(control, vdupq_n_u8(2));
        const uint8x16_t written[4] = {vorrq_u8(fromPalette, modifiesBlue), vmvnq_u8(vorrq_u8(modifiesBlue, modifiesRed)),
                                       vorrq_u8(fromPalette, modifiesRed), fromPalette};
        uint8x16x4_t pixels;
        for (unsigned k = 0; k < 4; ++k) {
            const uint8x16_t entry = vqtbl4q_u8(palette[k], v);
            const uint8x16_t value = k == 3 ? entry : vbslq_u8(fromPalette, entry, level);
            pixels.val[k] = holdByte(value, written[k], held[k]);
        }
        vst4q_u8(reinterpret_cast<std::uint8_t*>(out + x), pixels);
    }
    std::uint32_t colour = 0;
    for (unsigned k = 0; k < 4; ++k) colour |= std::uint32_t{vgetq_lane_u8(held[k], 0)} << (8 * k);
    portable::convertHoldFrom(values, t, x, width, colour, out);
}

void convertHold(const std::uint8_t* values, const LookupTables& t, unsigned, std::uint32_t width,
                 std::uint32_t* out) {
    if (t.holdEightPlanes) {
        convertHoldRow<true>(values, t, width, out);
    } else {
        convertHoldRow<false>(values, t, width, out);
    }
}

// ---- True colour ----

void convertPlanarRgb(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                      std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8x16x4_t pixels{{vld1q_u8(blue + x), vld1q_u8(green + x), vld1q_u8(red + x), vdupq_n_u8(0xFF)}};
        vst4q_u8(reinterpret_cast<std::uint8_t*>(out + x), pixels);
    }
    portable::convertPlanarRgb(red + x, green + x, blue + x, width - x, out + x);
}

void convertPlanarRgba(const std::uint8_t* red, const std::uint8_t* green, const std::uint8_t* blue,
                       const std::uint8_t* alpha, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8x16x4_t pixels{{vld1q_u8(blue + x), vld1q_u8(green + x), vld1q_u8(red + x), vld1q_u8(alpha + x)}};
        vst4q_u8(reinterpret_cast<std::uint8_t*>(out + x), pixels);
    }
    portable::convertPlanarRgba(red + x, green + x, blue + x, alpha + x, width - x, out + x);
}

// vld3 / vld4 take the pixel bytes apart by position in one instruction.
void convertChunkyRgb(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8x16x3_t in = vld3q_u8(row + 3 * x);
        const uint8x16x4_t pixels{{in.val[0], in.val[1], in.val[2], vdupq_n_u8(0xFF)}};
        vst4q_u8(reinterpret_cast<std::uint8_t*>(out + x), pixels);
    }
    portable::convertChunkyRgb(row + 3 * x, width - x, out + x);
}

void convertChunkyRgba(const std::uint8_t* row, std::uint32_t width, std::uint32_t* out) {
    std::uint32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const uint8x16x4_t in = vld4q_u8(row + 4 * x);  // alpha, blue, green, red
        const uint8x16x4_t pixels{{in.val[1], in.val[2], in.val[3], in.val[0]}};
        vst4q_u8(reinterpret_cast<std::uint8_t*>(out + x), pixels);
    }
    portable::convertChunkyRgba(row + 4 * x, width - x, out + x);
}

// ---- Masks ----

void applyMaskPlane(const std::uint8_t* maskBits, std::uint32_t width, std::uint32_t* out) {
    static constexpr std::uint32_t highBits[4] = {0x80, 0x40, 0x20, 0x10}, lowBits[4] = {8, 4, 2, 1};
    const uint32x4_t high = vld1q_u32(highBits), low = vld1q_u32(lowBits);
    std::uint32_t x = 0;
    for (; x + 8 <= width; x += 8) {
        const std::uint32_t bits = maskBits[x >> 3];
        if (bits == 0xFF) continue;
        const uint32x4_t spread = vdupq_n_u32(bits);
        vst1q_u32(out + x, vandq_u32(vld1q_u32(out + x), vtstq_u32(spread, high)));
        vst1q_u32(out + x + 4, vandq_u32(vld1q_u32(out + x + 4), vtstq_u32(spread, low)));
    }
    portable::applyMaskPlane(maskBits + (x >> 3), width - x, out + x);
}

// ---- Premultiply ----

// Sixteen pixels per step, taken apart by byte with vld4; opaque blocks are
// only read.
uint8x16_t scaleBytes(uint8x16_t bytes, uint8x16_t alpha) {
    const uint16x8_t low = vmull_u8(vget_low_u8(bytes), vget_low_u8(alpha));
    const uint16x8_t high = vmull_high_u8(bytes, alpha);
    const uint16x8_t one = vdupq_n_u16(1);
    const uint16x8_t lowRounded = vaddq_u16(vaddq_u16(low, vshrq_n_u16(low, 8)), one);
    const uint16x8_t highRounded = vaddq_u16(vaddq_u16(high, vshrq_n_u16(high, 8)), one);
    return vcombine_u8(vshrn_n_u16(lowRounded, 8), vshrn_n_u16(highRounded, 8));
}

void premultiply(std::uint32_t* pixels, std::size_t count) {
    std::size_t i = 0;
    for (; i + 16 <= count; i += 16) {
        std::uint8_t* p = reinterpret_cast<std::uint8_t*>(pixels + i);
        uint8x16x4_t v = vld4q_u8(p);
        if (vminvq_u8(v.val[3]) == 0xFF) continue;
        // Opaque or clear pixels, as masks leave them: the clear ones become 0.
        if (vminvq_u8(vorrq_u8(vceqzq_u8(v.val[3]), vceqq_u8(v.val[3], vdupq_n_u8(0xFF)))) == 0xFF) {
            for (unsigned k = 0; k < 3; ++k) v.val[k] = vandq_u8(v.val[k], v.val[3]);
            vst4q_u8(p, v);
            continue;
        }
        for (unsigned k = 0; k < 3; ++k) v.val[k] = scaleBytes(v.val[k], v.val[3]);
        vst4q_u8(p, v);
    }
    portable::premultiply(pixels + i, count - i);
}

}  // namespace

const RowKernels neonKernels{unpackRuns,
                             planesToChunky,
                             portable::splitPalette,
                             portable::splitHoldPalette,
                             convertIndexed,
                             convertIndexed,
                             convertHold,
                             convertPlanarRgb,
                             convertPlanarRgba,
                             convertChunkyRgb,
                             convertChunkyRgba,
                             applyMaskPlane,
                             portable::clearValue,
                             premultiply,
                             portable::finishNothing};

}  // namespace vantrel::kernels
#endif
