// The fast decoder against the plain reference decoder, byte for byte, on
// generated pictures of every kind, on the corpus files and on damaged copies
// of them. Each file sits flush against an inaccessible page, and so does the
// output, so an over-read or over-write crashes instead of passing unseen.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/CorpusPresence.h"
#include "decode/Decoder.h"
#include "decode/Premultiply.h"
#include "decode/Simd.h"
#include "iff/Parser.h"
#include "tests/oracle/Agreement.h"
#include "tests/oracle/ReferenceDecoder.h"
#include "tests/support/GuardedBuffer.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/SimdTiers.h"

namespace vantrel {
namespace {

using test::Bytes;
using test::GuardedBuffer;

// How a generated picture gets its colours: plane count, colour map size,
// display mode, and which line palette chunk (if any) it carries.
enum class LineChunk { None, Ctbl, Sham };
struct Colours {
    std::uint8_t planes;
    unsigned cmapEntries;
    std::uint32_t camg;
    LineChunk lines;
};

const Colours colourSetups[] = {
    {1, 2, 0, LineChunk::None},        {2, 4, 0, LineChunk::Ctbl},       {3, 5, 0, LineChunk::None},
    {4, 16, 0x800, LineChunk::None},   {5, 32, 0, LineChunk::None},      {6, 32, 0x80, LineChunk::None},
    {4, 0, 0, LineChunk::Ctbl},        {6, 16, 0x800, LineChunk::None},  {5, 16, 0, LineChunk::None},
    {6, 0, 0x804, LineChunk::Sham},    {4, 0, 0, LineChunk::Sham},       {8, 64, 0x800, LineChunk::None},
    {7, 64, 0x800, LineChunk::Sham},   {8, 300, 0, LineChunk::Ctbl},     {7, 128, 0, LineChunk::None},
    {8, 0, 0, LineChunk::None},        {8, 0, 0x4, LineChunk::Sham},     {24, 0, 0, LineChunk::None},
    {32, 0, 0, LineChunk::Ctbl},
};

struct Picture {
    std::string form;
    Colours colours;
    std::uint8_t masking;
    int compression;  // 0 plain, 1 packed per row, 2 packed as one stream across rows
    unsigned width;
    unsigned height;
    int cut;  // 0 whole body, 1 three fifths of it, 2 all but an odd few bytes
};

std::vector<std::uint32_t> pixelValues(const Picture& p, std::mt19937& random) {
    const unsigned bits = p.form == "PBM " && p.colours.planes <= 8 ? 8 : p.colours.planes;
    const std::uint32_t limit = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    std::vector<std::uint32_t> values(std::size_t{p.width} * p.height);
    std::uint32_t value = 0;
    for (auto& v : values) {
        if (random() % 4 == 0) value = static_cast<std::uint32_t>(random()) & limit;
        v = value;
    }
    return values;
}

Bytes chunkyBody(const std::vector<std::uint32_t>& values, const Picture& p) {
    const unsigned bytes = (p.colours.planes + 7u) / 8;
    Bytes body;
    for (unsigned y = 0; y < p.height; ++y) {
        for (unsigned x = 0; x < p.width; ++x) {
            for (unsigned i = bytes; i-- > 0;) body.push_back(std::uint8_t(values[y * p.width + x] >> (8 * i)));
        }
        if ((p.width * bytes) % 2 != 0) body.push_back(0);
    }
    return body;
}

// "ACBM" keeps each plane of the whole picture together: regroup the rows of
// an interleaved body plane by plane.
Bytes contiguousBody(const Bytes& interleaved, const Picture& p, unsigned stored) {
    const std::size_t planeRow = ((p.width + 15) / 16) * 2;
    Bytes body;
    for (unsigned j = 0; j < stored; ++j) {
        for (unsigned y = 0; y < p.height; ++y) {
            auto from = interleaved.begin() + static_cast<std::ptrdiff_t>((y * stored + j) * planeRow);
            body.insert(body.end(), from, from + static_cast<std::ptrdiff_t>(planeRow));
        }
    }
    return body;
}

Bytes compressed(const Bytes& plain, const Picture& p) {
    if (p.compression == 2) return test::packByteRun1(plain);
    const std::size_t rows = p.height, rowSize = plain.size() / rows;
    Bytes out;
    for (std::size_t y = 0; y < rows; ++y) {
        const Bytes row(plain.begin() + static_cast<std::ptrdiff_t>(y * rowSize),
                        plain.begin() + static_cast<std::ptrdiff_t>((y + 1) * rowSize));
        const Bytes packed = test::packByteRun1(row);
        out.insert(out.end(), packed.begin(), packed.end());
    }
    return out;
}

Bytes pictureBody(const Picture& p, const std::vector<std::uint32_t>& values, std::mt19937& random) {
    if (p.form == "PBM ") return chunkyBody(values, p);
    std::vector<bool> mask(values.size());
    for (std::size_t i = 0; i < mask.size(); ++i) mask[i] = random() % 3 != 0;
    const bool maskPlane = p.masking == 1;
    const Bytes interleaved =
        test::interleavedBody(values, p.width, p.height, p.colours.planes, maskPlane ? &mask : nullptr);
    return p.form == "ACBM" ? contiguousBody(interleaved, p, p.colours.planes + (maskPlane ? 1u : 0u))
                            : interleaved;
}

Bytes lineChunkData(const Picture& p, std::mt19937& random) {
    const bool interlaced = (p.colours.camg & 0x4) != 0 && p.colours.lines == LineChunk::Sham;
    const std::size_t palettes = interlaced ? p.height / 2 : p.height;
    Bytes data(p.colours.lines == LineChunk::Sham ? 2 : 0, 0);
    for (std::size_t i = 0; i < palettes * 32; ++i) data.push_back(std::uint8_t(random()));
    return data;
}

Bytes pictureFile(const Picture& p, std::mt19937& random) {
    const std::vector<std::uint32_t> values = pixelValues(p, random);
    const std::uint8_t packed = p.compression != 0 ? 1 : 0;
    test::IffBuilder file(p.form);
    if (p.colours.camg != 0) file.camg(p.colours.camg);
    file.bmhd({std::uint16_t(p.width), std::uint16_t(p.height), p.colours.planes, p.masking, packed,
               std::uint16_t(values[0])});
    std::vector<std::uint32_t> cmap(p.colours.cmapEntries);
    for (auto& c : cmap) c = static_cast<std::uint32_t>(random()) & 0xFFFFFF;
    if (!cmap.empty()) file.cmap(cmap);
    if (p.colours.lines != LineChunk::None) {
        file.chunk(p.colours.lines == LineChunk::Ctbl ? "CTBL" : "SHAM", lineChunkData(p, random));
    }
    Bytes body = pictureBody(p, values, random);
    if (packed != 0) body = compressed(body, p);
    if (p.cut == 1) body.resize(body.size() * 3 / 5);
    if (p.cut == 2 && body.size() > 5) body.resize(body.size() - 5 + body.size() % 2);
    file.body(body);
    return file.bytes();
}

std::string describe(const Picture& p) {
    std::ostringstream s;
    s << '"' << p.form << "\" " << p.width << 'x' << p.height << " planes " << int(p.colours.planes) << " cmap "
      << p.colours.cmapEntries << " camg " << std::hex << p.colours.camg << std::dec << " lines "
      << int(p.colours.lines) << " masking " << int(p.masking) << " compression " << p.compression << " cut "
      << p.cut;
    return s.str();
}

// One test per tier, so the test list names each tier that ran and each one
// skipped because this processor lacks it.
class OracleAtTier : public ::testing::TestWithParam<SimdLevel> {};

TEST_P(OracleAtTier, GeneratedPicturesOfEveryModeFormAndLayout) {
    const SimdLevel tier = GetParam();
    if (!test::runsHere(tier)) GTEST_SKIP() << simdLevelName(tier) << ": not on this processor";
    std::mt19937 random(20240511);
    std::set<PixelMode> modes;
    const unsigned widths[] = {1, 7, 8, 9, 15, 16, 17, 31, 33, 320};
    for (const std::string form : {"ILBM", "PBM ", "ACBM"}) {
        for (const Colours& colours : colourSetups) {
            for (int compression = 0; compression < (form == "ACBM" ? 1 : 3); ++compression) {
                for (std::uint8_t masking = 0; masking < 3; ++masking) {
                    for (unsigned width : widths) {
                        for (unsigned height : {1u, 2u, 5u}) {
                            for (int cut = 0; cut < (height == 5 ? 3 : 1); ++cut) {  // cut bodies want rows
                                const Picture p{form, colours, masking, compression, width, height, cut};
                                PixelMode mode{};
                                ASSERT_TRUE(decodersAgreeAt({tier}, pictureFile(p, random), describe(p), &mode))
                                    << describe(p);
                                modes.insert(mode);
                                if (HasFailure()) return;
                            }
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(modes.size(), 9u);  // every mode with planes
}

std::string tierTestName(const ::testing::TestParamInfo<SimdLevel>& param) { return test::tierTag(param.param); }

INSTANTIATE_TEST_SUITE_P(Tiers, OracleAtTier, ::testing::ValuesIn(test::allTiers()), tierTestName);

// Outputs of 4M pixels and more are written another way: rows of an odd
// width start at every alignment, and the body ends early.
TEST(Oracle, PicturesLargerThanTheCaches) {
    std::mt19937 random(4095);
    const Colours colours{8, 256, 0, LineChunk::None};
    for (const Picture& p : {Picture{"ILBM", colours, 0, 1, 4095, 1025, 0}, Picture{"PBM ", colours, 0, 0, 4096, 1024, 1}}) {
        EXPECT_TRUE(decodersAgree(pictureFile(p, random), describe(p))) << describe(p);
    }
}

TEST(Oracle, PaletteStripsAndUnpackableBodies) {
    std::mt19937 random(7);
    for (unsigned entries : {0u, 1u, 3u, 32u, 300u}) {
        std::vector<std::uint32_t> cmap(entries, 0x123456);
        EXPECT_TRUE(decodersAgree(test::IffBuilder().cmap(cmap).bytes(), "palette strip"));
    }
    // Random bytes read as ByteRun1: overshooting runs, control 128, a lone last byte.
    for (int i = 0; i < 300; ++i) {
        Bytes body(random() % 400);
        for (auto& b : body) b = std::uint8_t(random());
        const std::uint8_t planes = std::uint8_t(1 + random() % 8);
        const std::string form = i % 2 == 0 ? "ILBM" : "PBM ";
        const Bytes file = test::IffBuilder(form)
                               .bmhd({std::uint16_t(1 + random() % 70), std::uint16_t(1 + random() % 9), planes,
                                      std::uint8_t(random() % 3), 1, 0})
                               .cmap(std::vector<std::uint32_t>(256, 0x808080))
                               .body(body)
                               .bytes();
        EXPECT_TRUE(decodersAgree(file, "random packed body " + std::to_string(i)));
    }
}

// Records that look opaque but are not: pixel bytes past a short colour map,
// line palette chunks too short to hold one palette, a masking colour. Each
// must either be proved opaque and decode so, or be premultiplied in full.
TEST(Oracle, OpacityProofsAtTheirLimits) {
    const Bytes lowBytes = {0, 1, 2, 3, 15, 16, 31, 32, 63, 64, 0x2A, 0x15};
    const Bytes highBytes = {0, 1, 0x80, 0xFF, 0x21, 0x3F, 0x40, 0x7F, 0xC3, 0x10, 0x11, 0x05};
    struct Case {
        std::string form;
        std::uint8_t planes;
        unsigned cmapEntries;
        std::uint32_t camg;
        const char* lineChunk;
        std::size_t lineBytes;
        std::uint8_t masking;
        std::uint16_t height = 3;
    };
    // An interlaced "SHAM" one row high stores no line palette at all.
    const Case cases[] = {
        {"PBM ", 5, 32, 0, nullptr, 0, 0},       {"PBM ", 8, 200, 0, nullptr, 0, 0},
        {"PBM ", 8, 256, 0, nullptr, 0, 0},      {"PBM ", 6, 32, 0x80, nullptr, 0, 0},
        {"PBM ", 4, 0, 0, "CTBL", 32 * 3, 0},    {"ILBM", 4, 0, 0x4, "SHAM", 2, 0, 1},
        {"ILBM", 6, 0, 0x4, "SHAM", 2, 0, 1},    {"ILBM", 6, 0, 0, "SHAM", 2 + 32 * 3, 0},
        {"ILBM", 3, 5, 0, nullptr, 0, 0},        {"ILBM", 3, 4, 0, "CTBL", 32 * 3, 0},
        {"ILBM", 5, 8, 0, "CTBL", 16, 0},        {"ILBM", 6, 16, 0x800, nullptr, 0, 2},
        {"PBM ", 8, 256, 0, nullptr, 0, 1},      {"PBM ", 8, 64, 0x800, nullptr, 0, 0},
    };
    for (const Case& c : cases) {
        for (const Bytes* bytes : {&lowBytes, &highBytes}) {
            std::vector<std::uint32_t> values;
            for (std::uint8_t b : *bytes) values.push_back(c.form == "PBM " ? b : b & ((1u << c.planes) - 1));
            test::IffBuilder file(c.form);
            if (c.camg != 0) file.camg(c.camg);
            const auto width = std::uint16_t(values.size() / c.height);
            file.bmhd({width, c.height, c.planes, c.masking, 0, 1});
            if (c.cmapEntries != 0) file.cmap(std::vector<std::uint32_t>(c.cmapEntries, 0x406080));
            if (c.lineChunk != nullptr) file.chunk(c.lineChunk, Bytes(c.lineBytes, 0x5A));
            const Bytes body = c.form == "PBM " ? Bytes(bytes->begin(), bytes->end())
                                                : test::interleavedBody(values, width, c.height, c.planes, nullptr);
            file.body(body);
            const std::string what = c.form + " " + std::to_string(c.planes) + " planes, " +
                                     std::to_string(c.cmapEntries) + " colours, line bytes " +
                                     std::to_string(c.lineBytes) + ", masking " + std::to_string(c.masking);
            EXPECT_TRUE(decodersAgree(file.bytes(), what)) << what;
        }
    }
}

// Every alpha with every colour byte, in runs of opaque and other pixels
// that start at every offset of a block, and an odd length for a tail.
TEST(Oracle, PremultiplyEveryAlphaAndColour) {
    std::vector<std::uint32_t> pixels;
    for (std::uint32_t alpha = 0; alpha < 256; ++alpha) {
        for (std::uint32_t c = 0; c < 256; ++c) {
            pixels.push_back(alpha << 24 | c << 16 | (255 - c) << 8 | (c * 7 & 0xFF));
            for (std::uint32_t k = 0; k < alpha % 11; ++k) pixels.push_back(0xFF000000u | c << 8);
        }
    }
    pixels.push_back(0x80FFFFFFu);
    std::vector<std::uint32_t> expected = pixels;
    premultiplyPixels(pixels.data(), pixels.size());
    reference::premultiplyPixels(expected.data(), expected.size());
    ASSERT_EQ(pixels, expected);
}

Bytes readFile(const std::string& name) {
    std::ifstream in(std::string(VANTREL_CORPUS_DIR) + "/" + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const char* const corpusFiles[] = {"ilbm8lores.iff", "sham-16x4-ham6.ilbm", "sham-320x256.iff"};

TEST(Oracle, CorpusFiles) {
    VANTREL_SKIP_WITHOUT_CORPUS();
    for (const char* name : corpusFiles) {
        const Bytes file = readFile(name);
        ASSERT_FALSE(file.empty()) << name;
        EXPECT_TRUE(decodersAgree(file, name)) << name << " is not a picture";
    }
}

// Damaged copies: bytes overwritten anywhere (more often in the headers, where
// one byte changes the geometry or the mode) and files cut short.
TEST(Oracle, MutatedCorpusFiles) {
    VANTREL_SKIP_WITHOUT_CORPUS();
    std::mt19937 random(1985);
    int pictures = 0;
    for (const char* name : corpusFiles) {
        const Bytes original = readFile(name);
        ASSERT_GT(original.size(), 12u) << name << " missing from " << VANTREL_CORPUS_DIR;
        for (int i = 0; i < 150; ++i) {
            Bytes file = original;
            const auto changes = 1 + random() % 6;
            for (std::size_t c = 0; c < changes; ++c) {
                const std::size_t span = random() % 2 == 0 ? std::min<std::size_t>(file.size(), 80) : file.size();
                file[random() % span] = std::uint8_t(random());
            }
            if (random() % 4 == 0) file.resize(12 + random() % (file.size() - 12));
            if (decodersAgree(file, std::string(name) + " mutation " + std::to_string(i))) ++pictures;
            if (HasFailure()) return;
        }
    }
    EXPECT_GT(pictures, 150);  // most mutations still decode, so the comparison has bite
}

}  // namespace
}  // namespace vantrel
