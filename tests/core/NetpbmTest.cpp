// Differential tests against netpbm: pictures that ppmtoilbm encodes from
// ImageMagick's built-in images (or that the tests build from them), decoded
// here and by ilbmtoppm, compared pixel for pixel. Where the two decoders
// follow different rules, the test says so and compares after mapping the
// difference away.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

#include "tests/support/CorpusPresence.h"
#include "tests/core/GuardedDecode.h"

namespace vantrel::test {
namespace {

namespace fs = std::filesystem;

bool onPath(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (!dir.empty() && access((dir + "/" + tool).c_str(), X_OK) == 0) return true;
    }
    return false;
}

bool run(const std::string& command) { return std::system(("(" + command + ") 2>/dev/null").c_str()) == 0; }

Bytes readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A PPM (P6 or P3, maxval 255) as 0xRRGGBB words, or a PBM (P4) as 1 for black, 0 for white.
struct Image {
    unsigned width = 0;
    unsigned height = 0;
    std::vector<std::uint32_t> pixels;
    std::uint32_t at(unsigned x, unsigned y) const { return pixels.at(std::size_t{y} * width + x); }
};

Image readPnm(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    unsigned maxval = 1;
    Image image;
    in >> magic >> image.width >> image.height;
    if (magic != "P4") in >> maxval;
    in.get();
    if (!in || (magic != "P6" && magic != "P3" && magic != "P4") || (magic != "P4" && maxval != 255)) {
        ADD_FAILURE() << path << ": unexpected " << magic << " maxval " << maxval;
        return {};
    }
    if (magic == "P3") {
        for (unsigned r, g, b; in >> r >> g >> b;) image.pixels.push_back(r << 16 | g << 8 | b);
        return image;
    }
    const Bytes data(std::istreambuf_iterator<char>(in), {});
    const std::size_t rowBytes = magic == "P6" ? image.width * 3 : (image.width + 7) / 8;
    for (std::size_t y = 0; y < image.height && (y + 1) * rowBytes <= data.size(); ++y) {
        const std::uint8_t* row = data.data() + y * rowBytes;
        for (std::size_t x = 0; x < image.width; ++x) {
            const std::uint8_t* rgb = row + 3 * x;
            image.pixels.push_back(magic == "P6" ? std::uint32_t{rgb[0]} << 16 | std::uint32_t{rgb[1]} << 8 | rgb[2]
                                                 : (row[x / 8] >> (7 - x % 8)) & 1u);
        }
    }
    EXPECT_EQ(image.pixels.size(), std::size_t{image.width} * image.height) << path << " is short";
    return image;
}

std::uint32_t identity(std::uint32_t rgb) { return rgb; }

// Compares our pixels, which must be opaque, with another decoder's or the
// source's, each side first passed through its view.
template <class TheirView, class OurView = std::uint32_t (*)(std::uint32_t)>
::testing::AssertionResult samePixels(const Decoded& ours, const Image& theirs, TheirView theirView,
                                      OurView ourView = identity) {
    if (ours.size.width != theirs.width || ours.size.height != theirs.height) {
        return ::testing::AssertionFailure() << "sizes differ: " << ours.size.width << "x" << ours.size.height
                                             << " against " << theirs.width << "x" << theirs.height;
    }
    std::size_t differing = 0;
    std::ostringstream first;
    for (unsigned y = 0; y < theirs.height; ++y) {
        for (unsigned x = 0; x < theirs.width; ++x) {
            const std::uint32_t want = 0xFF000000u | theirView(theirs.at(x, y));
            const std::uint32_t got = ours.at(x, y) >> 24 == 0xFF ? 0xFF000000u | ourView(ours.at(x, y) & 0xFFFFFF) : 0;
            if (got == want) continue;
            if (differing++ == 0) first << std::hex << "first at " << std::dec << x << "," << y << std::hex << ": ours "
                                        << ours.at(x, y) << ", theirs " << theirs.at(x, y);
        }
    }
    if (differing == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << differing << " pixels differ, " << first.str();
}

class Netpbm : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"convert", "pnmquant", "ppmtoilbm", "ilbmtoppm"}) {
            if (!onPath(tool)) GTEST_SKIP() << tool << " not found (scripts/setup-debian.sh installs it)";
        }
        std::string pattern = (fs::temp_directory_path() / "vantrel-netpbm-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        if (!dir_.empty()) fs::remove_all(dir_, ignored);
    }

    std::string path(const std::string& name) const { return dir_ + "/" + name; }

    // An ImageMagick built-in picture, e.g. "rose:" or "logo: -resize 48x36", as a PPM file.
    std::string source(const std::string& name, const std::string& imageSource, unsigned colours = 0) {
        const std::string ppm = path(name + ".ppm");
        if (!fs::exists(ppm)) {
            EXPECT_TRUE(run("convert " + imageSource + " ppm:" + ppm)) << imageSource;
        }
        if (colours == 0) return ppm;
        const std::string quantised = path(name + "-" + std::to_string(colours) + ".ppm");
        EXPECT_TRUE(run("pnmquant " + std::to_string(colours) + " " + ppm + " > " + quantised));
        return quantised;
    }

    std::string encode(const std::string& ppm, const std::string& options) {
        const std::string iff = path("picture.iff");
        EXPECT_TRUE(run("ppmtoilbm " + options + " " + ppm + " > " + iff)) << options;
        return iff;
    }

    std::string write(const Bytes& file) {
        const std::string iff = path("built.iff");
        std::ofstream(iff, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                   static_cast<std::streamsize>(file.size()));
        return iff;
    }

    Image theirs(const std::string& iff, const std::string& maskFile = "") {
        const std::string ppm = path("theirs.ppm");
        const std::string mask = maskFile.empty() ? "" : " -maskfile " + path(maskFile);
        EXPECT_TRUE(run("ilbmtoppm" + mask + " " + iff + " > " + ppm)) << iff;
        return readPnm(ppm);
    }

    std::string dir_;
};

const char* const sources[][2] = {{"rose", "rose:"}, {"logo", "logo: -resize 48x36"}, {"wizard", "wizard: -resize 36x44"}};

TEST_F(Netpbm, IndexedPicturesOfOneToEightPlanes) {
    // Every plane count for the rose; a few for the others, whose widths are
    // not multiples of 16 (quantising takes most of the time here).
    const std::vector<unsigned> planeCounts[] = {{1, 2, 3, 4, 5, 6, 7, 8}, {2, 5, 8}, {1, 4, 7}};
    for (std::size_t i = 0; i < std::size(sources); ++i) {
        const auto& s = sources[i];
        for (unsigned planes : planeCounts[i]) {
            const std::string quantised = source(s[0], s[1], 1u << planes);
            for (const char* compression : {"-compress", "-nocompress"}) {
                const std::string what = std::string(s[0]) + " " + std::to_string(planes) + " planes " + compression;
                const std::string iff = encode(quantised, "-fp " + std::to_string(planes) + " " + compression);
                const Decoded ours = decodeGuarded(readFile(iff));
                ASSERT_TRUE(ours.ok) << what;
                EXPECT_EQ(ours.info.pixelMode, PixelMode::Indexed) << what;
                EXPECT_EQ(ours.info.planeCount, planes) << what;
                EXPECT_EQ(ours.info.compression, compression[1] == 'c' ? 1 : 0) << what;
                EXPECT_TRUE(samePixels(ours, theirs(iff), identity)) << what;
                EXPECT_TRUE(samePixels(ours, readPnm(quantised), identity)) << what << " against the source";
            }
        }
    }
}

// ilbmtoppm widens a hold-and-modify level by shifting it up (and may keep the
// held colour's low bits below it), where this decoder repeats the level's bits
// into the low bits. Both start every row from black: ppmtoilbm's colour map
// begins with black, which is this decoder's entry 0 and ilbmtoppm's start.
// For 6 planes ppmtoilbm's 16 grey levels are already repeated nibbles, so
// their colour widened our way must be ours exactly. Its 64 grey levels for 8
// planes are rounded i x 255 / 63, not repeated 6-bit levels, so there only
// the level's 6 bits are compared.
std::uint32_t widen4(std::uint32_t rgb) { return ((rgb >> 4) & 0x0F0F0F) * 17; }

std::uint32_t top6(std::uint32_t rgb) { return rgb & 0xFCFCFC; }

TEST_F(Netpbm, HoldAndModifyAgreesAfterWideningLevelsOurWay) {
    const char* const hamSources[][2] = {{"rose", "rose:"}, {"granite", "granite: -resize 32x32"}, {"logo", "logo: -resize 48x36"}};
    for (const auto& s : hamSources) {
        const std::string ppm = source(s[0], s[1]);
        for (const char* options : {"-ham6", "-ham6 -nocompress", "-ham8", "-ham8 -nocompress"}) {
            const std::string what = std::string(s[0]) + " " + options;
            const std::string iff = encode(ppm, options);
            const Decoded ours = decodeGuarded(readFile(iff));
            ASSERT_TRUE(ours.ok) << what;
            const bool six = options[4] == '6';
            EXPECT_EQ(ours.info.pixelMode, six ? PixelMode::Ham6 : PixelMode::Ham8) << what;
            if (six) {
                EXPECT_TRUE(samePixels(ours, theirs(iff), widen4)) << what;
            } else {
                EXPECT_TRUE(samePixels(ours, theirs(iff), top6, top6)) << what;
            }
        }
    }
}

TEST_F(Netpbm, TrueColourAndColourMapOnly) {
    for (const auto& s : sources) {
        const std::string ppm = source(s[0], s[1]);
        for (const char* options : {"-24force", "-24force -nocompress"}) {
            const std::string iff = encode(ppm, options);
            const Decoded ours = decodeGuarded(readFile(iff));
            ASSERT_TRUE(ours.ok) << s[0] << " " << options;
            EXPECT_EQ(ours.info.pixelMode, PixelMode::Rgb24);
            EXPECT_TRUE(samePixels(ours, theirs(iff), identity)) << s[0] << " " << options;
            EXPECT_TRUE(samePixels(ours, readPnm(ppm), identity)) << s[0] << " " << options << " against the source";
        }
        const std::string iff = encode(source(s[0], s[1], 32), "-cmaponly");
        const Decoded strip = decodeGuarded(readFile(iff));
        ASSERT_TRUE(strip.ok) << s[0];
        EXPECT_EQ(strip.info.pixelMode, PixelMode::PaletteStrip);
        EXPECT_TRUE(samePixels(strip, theirs(iff), identity)) << s[0] << " colour map only";
    }
}

// A quantised source as colour map and per-pixel indices.
struct Indexed {
    unsigned width;
    unsigned height;
    std::vector<std::uint32_t> map;
    std::vector<std::uint32_t> values;
};

Indexed indexedFrom(const Image& image) {
    Indexed out{image.width, image.height, {}, {}};
    std::map<std::uint32_t, std::uint32_t> index;
    for (std::uint32_t rgb : image.pixels) {
        const auto found = index.emplace(rgb, static_cast<std::uint32_t>(out.map.size()));
        if (found.second) out.map.push_back(rgb);
        out.values.push_back(found.first->second);
    }
    return out;
}

BitmapHeader header(const Indexed& p, std::uint8_t planes, std::uint8_t masking = 0, std::uint8_t compression = 0) {
    BitmapHeader h;
    h.width = static_cast<std::uint16_t>(p.width);
    h.height = static_cast<std::uint16_t>(p.height);
    h.planes = planes;
    h.masking = masking;
    h.compression = compression;
    return h;
}

TEST_F(Netpbm, HalfBriteChunkyAndMaskedPicturesBuiltHere) {
    const Indexed rose32 = indexedFrom(readPnm(source("rose", "rose:", 32)));
    ASSERT_EQ(rose32.map.size(), 32u);
    std::vector<std::uint32_t> values = rose32.values;
    for (std::size_t i = 0; i < values.size(); i += 3) values[i] += 32;  // every third pixel at half brightness
    const Bytes body = interleavedBody(values, rose32.width, rose32.height, 6);
    const Bytes halfBrite = IffBuilder().bmhd(header(rose32, 6)).camg(0x80).cmap(rose32.map).body(body).bytes();
    const Decoded ours = decodeGuarded(halfBrite);
    EXPECT_EQ(ours.info.pixelMode, PixelMode::HalfBrite);
    EXPECT_TRUE(samePixels(ours, theirs(write(halfBrite)), identity)) << "Extra Half-Brite";
    // ilbmtoppm shows a 64-entry map's own entries 32 to 63; this decoder
    // always halves entries 0 to 31, so the picture must not change.
    std::vector<std::uint32_t> longMap = rose32.map;
    longMap.resize(64, 0x00FF00);
    const Bytes longer = IffBuilder().bmhd(header(rose32, 6)).camg(0x80).cmap(longMap).body(body).bytes();
    EXPECT_EQ(decodeGuarded(longer).pixels, ours.pixels);

    const Indexed rose256 = indexedFrom(readPnm(source("rose", "rose:", 256)));
    const Bytes rows = chunkyBody(rose256.values, rose256.width, rose256.height);
    Bytes packed;
    for (std::size_t y = 0; y < rose256.height; ++y) {
        const auto row = rows.begin() + static_cast<std::ptrdiff_t>(y * rose256.width);  // 70 pixels: no pad byte
        const Bytes run = packByteRun1(Bytes(row, row + rose256.width));
        packed.insert(packed.end(), run.begin(), run.end());
    }
    for (int compression : {0, 1}) {
        const Bytes pbm = IffBuilder("PBM ").bmhd(header(rose256, 8, 0, static_cast<std::uint8_t>(compression))).cmap(rose256.map)
                              .body(compression != 0 ? packed : rows).bytes();
        EXPECT_TRUE(samePixels(decodeGuarded(pbm), theirs(write(pbm)), identity)) << "PBM compression " << compression;
    }

    const Indexed rose16 = indexedFrom(readPnm(source("rose", "rose:", 16)));
    std::vector<bool> mask;
    for (std::size_t i = 0; i < rose16.values.size(); ++i) mask.push_back(i % 7 != 0 && i % 5 != 1);
    const Bytes masked = IffBuilder().bmhd(header(rose16, 4, 1)).cmap(rose16.map)
                             .body(interleavedBody(rose16.values, rose16.width, rose16.height, 4, &mask)).bytes();
    const Decoded maskedOurs = decodeGuarded(masked);
    const Image colours = theirs(write(masked), "mask.pbm");
    const Image opaque = readPnm(path("mask.pbm"));
    ASSERT_EQ(opaque.pixels.size(), mask.size());
    EXPECT_EQ(std::vector<bool>(opaque.pixels.begin(), opaque.pixels.end()), mask);
    for (std::size_t i = 0; i < mask.size(); ++i) {
        const std::uint32_t want = mask[i] ? 0xFF000000u | colours.pixels[i] : 0;
        ASSERT_EQ(maskedOurs.at(unsigned(i % rose16.width), unsigned(i / rose16.width)), want) << "pixel " << i;
    }
}

TEST_F(Netpbm, CorpusPictureWithTransparentColour) {
    VANTREL_SKIP_WITHOUT_CORPUS();
    const std::string file = std::string(VANTREL_CORPUS_DIR) + "/ilbm8lores.iff";
    const Decoded ours = decodeGuarded(readFile(file));
    ASSERT_TRUE(ours.ok);
    const Image colours = theirs(file, "mask.pbm");
    const Image opaque = readPnm(path("mask.pbm"));
    ASSERT_EQ(colours.pixels.size(), ours.pixels.size());
    for (unsigned y = 0; y < colours.height; ++y) {
        for (unsigned x = 0; x < colours.width; ++x) {
            const std::uint32_t want = opaque.at(x, y) != 0 ? 0xFF000000u | colours.at(x, y) : 0;
            ASSERT_EQ(ours.at(x, y), want) << x << "," << y;
        }
    }
}

}  // namespace
}  // namespace vantrel::test
