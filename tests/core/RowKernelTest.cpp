// Every tier's row kernels against plain per-pixel forms, at every width
// from 1 to a few hundred so that each vector loop and each row end is met,
// with inputs and outputs flush against guard pages.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <utility>
#include <vector>

#include "decode/kernels/RowKernels.h"
#include "tests/support/GuardedBuffer.h"
#include "tests/support/SimdTiers.h"

namespace vantrel {
namespace {

using test::GuardedBuffer;

constexpr std::uint32_t maxWidth = 300;

std::vector<std::uint8_t> randomBytes(std::mt19937& random, std::size_t count, unsigned below = 256) {
    std::vector<std::uint8_t> bytes(count);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(random() % below);
    return bytes;
}

std::uint32_t* words(GuardedBuffer& buffer) { return reinterpret_cast<std::uint32_t*>(buffer.data()); }

LookupTables randomTables(std::mt19937& random) {
    LookupTables t{};
    for (auto& entry : t.palette) entry = static_cast<std::uint32_t>(random());
    t.pixelsPerPalette = 1u << 24;  // a whole picture's worth: every form of the palette pays
    return t;
}

// Hold-and-modify steps as a picture of 8 planes (6-bit levels, control in
// bits 6 and 7) or fewer (4-bit levels, control from bit 4 up, as "PBM "
// bytes may have it) has them: control 0 takes the palette entry, 1 sets
// blue, 2 red, anything higher green.
void holdStepsFor(bool eightPlanes, LookupTables& t) {
    t.holdEightPlanes = eightPlanes;
    for (std::uint32_t v = 0; v < 256; ++v) {
        const std::uint32_t control = eightPlanes ? v >> 6 : v >> 4, bits = eightPlanes ? v & 63 : v & 15;
        const std::uint32_t level = eightPlanes ? (bits << 2) | (bits >> 4) : bits * 17;
        const unsigned shift = control == 1 ? 0 : control == 2 ? 16 : 8;
        t.forms.holdStep[v] = control == 0 ? t.palette[v] : std::uint64_t{~(0xFFu << shift)} << 32 | level << shift;
    }
}

// The prepared forms serve one kind of lookup per picture: the palette's or
// the hold steps'.
LookupTables preparedForPalette(LookupTables t, const RowKernels& k, unsigned count) {
    k.preparePalette(t, count);
    return t;
}

LookupTables preparedForHold(LookupTables t, bool eightPlanes, const RowKernels& k) {
    holdStepsFor(eightPlanes, t);
    k.prepareHold(t, 256);
    return t;
}

std::uint32_t scaled(std::uint32_t byte, std::uint32_t alpha) {
    const std::uint32_t x = byte * alpha;
    return (x + (x >> 8) + 1) >> 8;
}

std::uint32_t premultiplied(std::uint32_t p) {
    const std::uint32_t a = p >> 24;
    return a << 24 | scaled((p >> 16) & 0xFF, a) << 16 | scaled((p >> 8) & 0xFF, a) << 8 | scaled(p & 0xFF, a);
}

class RowKernels_ : public ::testing::Test {
protected:
    template <typename Check>
    void atEveryTierAndWidth(Check check, std::uint32_t widest = maxWidth) {
        for (SimdLevel tier : test::tiersHere()) {
            SCOPED_TRACE(simdLevelName(tier));
            std::mt19937 random(7);
            for (std::uint32_t width = 1; width <= widest; ++width) {
                SCOPED_TRACE("width " + std::to_string(width));
                check(rowKernels(tier), random, width);
                if (HasFailure()) return;
            }
        }
    }
};

// Each palette prepared as the decoder prepares it (up to the values'
// limit), whole, and, as a line palette leaves it, prepared whole and then
// changed in its first 16 entries only, for one row at a time.
TEST_F(RowKernels_, LookUpPalettes) {
    atEveryTierAndWidth([](const RowKernels& k, std::mt19937& random, std::uint32_t width) {
        const LookupTables drawn = randomTables(random);
        LookupTables changed = preparedForPalette(drawn, k, 32);
        changed.pixelsPerPalette = width;
        for (unsigned i = 0; i < 16; ++i) changed.palette[i] = static_cast<std::uint32_t>(random());
        changed = preparedForPalette(changed, k, 16);
        const LookupTables whole = preparedForPalette(drawn, k, 256);
        LookupTables opaque = drawn;  // as most pictures have them, which some tiers look up apart
        for (std::uint32_t& entry : opaque.palette) entry |= 0xFF000000u;
        for (unsigned entries : {16u, 32u, 64u, 128u, 256u}) {
            const LookupTables upToEntries = preparedForPalette(drawn, k, entries);
            const LookupTables opaqueUpToEntries = preparedForPalette(opaque, k, entries);
            for (const LookupTables* t : {&upToEntries, &whole, static_cast<const LookupTables*>(&changed),
                                          static_cast<const LookupTables*>(&opaqueUpToEntries)}) {
                if (t == &changed && entries != 32) continue;
                const char* prepared = t == &whole                ? "whole"
                                       : t == &changed            ? "changed in part"
                                       : t == &opaqueUpToEntries ? "opaque, up to entries"
                                                                  : "up to entries";
                const GuardedBuffer values(randomBytes(random, width, entries));
                GuardedBuffer out(width * 4), streamed(width * 4 + 4, GuardedBuffer::Edge::Start);
                k.convertIndexed(values.begin(), *t, entries, width, words(out));
                k.convertIndexedStreaming(values.begin(), *t, entries, width, words(streamed) + 1);  // misaligned start
                k.finishStreaming();
                for (std::uint32_t x = 0; x < width; ++x) {
                    const std::uint32_t v = values.begin()[x];
                    ASSERT_EQ(words(out)[x], t->palette[v]) << prepared << ", entries " << entries << ", pixel " << x;
                    ASSERT_EQ(words(streamed)[x + 1], t->palette[v])
                        << "streamed, " << prepared << ", entries " << entries << ", pixel " << x;
                }
            }
        }
    });
}

// 5 and 6 planes (values below 32 and 64), "PBM " bytes (any value, 4-bit
// levels) and 7 and 8 planes (6-bit levels), with palettes of any alpha and
// with opaque ones, as pictures have them.
TEST_F(RowKernels_, HoldAndModify) {
    atEveryTierAndWidth([](const RowKernels& k, std::mt19937& random, std::uint32_t width) {
        LookupTables drawn = randomTables(random);
        const LookupTables hold6 = preparedForHold(drawn, false, k), hold8 = preparedForHold(drawn, true, k);
        for (auto& entry : drawn.palette) entry |= 0xFF000000u;
        const LookupTables opaque6 = preparedForHold(drawn, false, k), opaque8 = preparedForHold(drawn, true, k);
        const std::pair<unsigned, const LookupTables*> cases[] = {
            {32, &hold6},    {64, &hold6},    {256, &hold6},   {128, &hold8},
            {256, &hold8},   {64, &opaque6},  {256, &opaque6}, {256, &opaque8}};
        for (const auto& [entries, h] : cases) {
            const GuardedBuffer values(randomBytes(random, width, entries));
            GuardedBuffer out(width * 4);
            k.convertHold(values.begin(), *h, entries, width, words(out));
            std::uint32_t held = h->palette[0];
            for (std::uint32_t x = 0; x < width; ++x) {
                const std::uint64_t step = h->forms.holdStep[values.begin()[x]];
                held = (held & static_cast<std::uint32_t>(step >> 32)) | static_cast<std::uint32_t>(step);
                ASSERT_EQ(words(out)[x], held) << "entries " << entries << (h->holdEightPlanes ? ", 8 planes" : "")
                                               << (h == &opaque6 || h == &opaque8 ? ", opaque" : "") << ", pixel " << x;
            }
        }
    });
}

// Up to 600 pixels, so that the blocks of 256 pixels are followed by every
// kind of row end: blocks of 128 and 64 pixels and single plane bytes.
TEST_F(RowKernels_, TurnBitPlanesIntoChunkyBytes) {
    atEveryTierAndWidth([](const RowKernels& k, std::mt19937& random, std::uint32_t width) {
        const std::uint32_t planeRowBytes = ((width + 15) >> 3) & ~1u, groups = (width + 7) >> 3;
        for (unsigned planes = 1; planes <= 8; ++planes) {
            const GuardedBuffer row(randomBytes(random, std::size_t{planeRowBytes} * planes));
            GuardedBuffer out(std::size_t{planeRowBytes} * 8);
            k.planesToChunky(row.begin(), planeRowBytes, planes, groups, planeRowBytes, out.data());
            for (std::uint32_t x = 0; x < groups * 8; ++x) {
                unsigned expected = 0;
                for (unsigned j = 0; j < planes; ++j)
                    expected |= ((row.begin()[j * planeRowBytes + x / 8] >> (7 - x % 8)) & 1u) << j;
                ASSERT_EQ(out.data()[x], expected) << planes << " planes, pixel " << x;
            }
        }
    }, 600);
}

TEST_F(RowKernels_, ConvertTrueColour) {
    atEveryTierAndWidth([](const RowKernels& k, std::mt19937& random, std::uint32_t width) {
        const GuardedBuffer red(randomBytes(random, width)), green(randomBytes(random, width));
        const GuardedBuffer blue(randomBytes(random, width)), alpha(randomBytes(random, width));
        const GuardedBuffer rgb(randomBytes(random, std::size_t{width} * 3)), rgba(randomBytes(random, std::size_t{width} * 4));
        GuardedBuffer planar(width * 4), planarAlpha(width * 4), chunky(width * 4), chunkyAlpha(width * 4);
        k.convertPlanarRgb(red.begin(), green.begin(), blue.begin(), width, words(planar));
        k.convertPlanarRgba(red.begin(), green.begin(), blue.begin(), alpha.begin(), width, words(planarAlpha));
        k.convertChunkyRgb(rgb.begin(), width, words(chunky));
        k.convertChunkyRgba(rgba.begin(), width, words(chunkyAlpha));
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t colour = std::uint32_t{red.begin()[x]} << 16 | std::uint32_t{green.begin()[x]} << 8 | blue.begin()[x];
            ASSERT_EQ(words(planar)[x], 0xFF000000u | colour) << x;
            ASSERT_EQ(words(planarAlpha)[x], std::uint32_t{alpha.begin()[x]} << 24 | colour) << x;
            const std::uint8_t* p = rgb.begin() + 3 * x;
            ASSERT_EQ(words(chunky)[x], 0xFF000000u | std::uint32_t{p[2]} << 16 | std::uint32_t{p[1]} << 8 | p[0]) << x;
            const std::uint8_t* q = rgba.begin() + 4 * x;
            ASSERT_EQ(words(chunkyAlpha)[x],
                      std::uint32_t{q[0]} << 24 | std::uint32_t{q[3]} << 16 | std::uint32_t{q[2]} << 8 | q[1])
                << x;
        }
    });
}

TEST_F(RowKernels_, MaskPlanesTransparentValuesAndPremultiply) {
    atEveryTierAndWidth([](const RowKernels& k, std::mt19937& random, std::uint32_t width) {
        const GuardedBuffer bits(randomBytes(random, (width + 7) / 8));
        const GuardedBuffer values(randomBytes(random, width, 4));
        std::vector<std::uint32_t> pixels(width);
        for (auto& p : pixels) p = static_cast<std::uint32_t>(random());
        for (std::uint32_t x = 0; x < width; x += 3) pixels[x] |= 0xFF000000u;  // some opaque
        // Opaque and clear pixels only, as masks leave them, and now and then
        // a half-clear one, so that blocks of each kind occur.
        std::vector<std::uint32_t> bare(width);
        for (std::uint32_t x = 0; x < width; ++x) {
            const std::uint32_t alpha = x % 29 == 28 ? 0x80u : (random() & 1) != 0 ? 0xFFu : 0u;
            bare[x] = alpha << 24 | (static_cast<std::uint32_t>(random()) & 0xFFFFFFu);
        }
        GuardedBuffer masked(width * 4), cleared(width * 4), scaledOut(width * 4), scaledBare(width * 4);
        for (std::uint32_t x = 0; x < width; ++x) {
            words(masked)[x] = words(cleared)[x] = words(scaledOut)[x] = pixels[x];
            words(scaledBare)[x] = bare[x];
        }
        k.applyMaskPlane(bits.begin(), width, words(masked));
        k.clearValue(values.begin(), 2, width, words(cleared));
        k.premultiply(words(scaledOut), width);
        k.premultiply(words(scaledBare), width);
        for (std::uint32_t x = 0; x < width; ++x) {
            const bool shown = ((bits.begin()[x / 8] >> (7 - x % 8)) & 1u) != 0;
            ASSERT_EQ(words(masked)[x], shown ? pixels[x] : 0) << "mask plane, pixel " << x;
            ASSERT_EQ(words(cleared)[x], values.begin()[x] == 2 ? 0 : pixels[x]) << "transparent value, pixel " << x;
            ASSERT_EQ(words(scaledOut)[x], premultiplied(pixels[x])) << "premultiply, pixel " << x;
            ASSERT_EQ(words(scaledBare)[x], premultiplied(bare[x])) << "premultiply opaque or clear, pixel " << x;
        }
    });
}

// Runs of every length and kind, in random order, unpacked into a buffer with
// the room past the row that the kernels may use.
TEST_F(RowKernels_, UnpackByteRun1) {
    for (SimdLevel tier : test::tiersHere()) {
        SCOPED_TRACE(simdLevelName(tier));
        std::mt19937 random(11);
        std::vector<std::uint8_t> packed, expected;
        while (expected.size() < 20000) {
            const unsigned control = random() % 256;
            packed.push_back(static_cast<std::uint8_t>(control));
            if (control < 128) {
                for (unsigned i = 0; i <= control; ++i) {
                    packed.push_back(static_cast<std::uint8_t>(random()));
                    expected.push_back(packed.back());
                }
            } else if (control > 128) {
                packed.push_back(static_cast<std::uint8_t>(random()));
                expected.insert(expected.end(), 257 - control, packed.back());
            }
        }
        packed.insert(packed.end(), 145, 0x80);  // the margin the fast path needs, as no-op runs
        const GuardedBuffer body(packed);
        GuardedBuffer out(expected.size() + 128);
        const std::uint8_t* position = body.begin();
        std::uint8_t* end = rowKernels(tier).unpackRuns(position, body.end() - 145, out.data(), out.data() + expected.size());
        ASSERT_EQ(static_cast<std::size_t>(end - out.data()), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) ASSERT_EQ(out.data()[i], expected[i]) << "byte " << i;
    }
}

}  // namespace
}  // namespace vantrel
