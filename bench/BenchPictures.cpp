#include "bench/BenchPictures.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/IffBuilder.h"

namespace vantrel::bench {
namespace {

using test::Bytes;

struct Rgb {
    int r, g, b;
};

// Deterministic noise, so every run measures the same files.
class Noise {
public:
    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    double unit() { return (next() & 0xFFFFFF) / double(0x1000000); }  // [0, 1)

private:
    std::uint32_t state_ = 2463534242u;
};

// Chunky pixel values, one 32-bit value per pixel.
struct Values {
    unsigned width, height;
    std::vector<std::uint32_t> v;
    std::uint32_t& at(unsigned x, unsigned y) { return v[std::size_t{y} * width + x]; }
};

// A smooth field in [0, 1): diagonal gradient with a gentle wave; inside
// every third 64-pixel tile the noise is strong (textured), elsewhere weak.
double field(unsigned x, unsigned y, unsigned w, unsigned h, Noise& noise) {
    const double base = 0.65 * x / w + 0.3 * y / h + 0.04 * std::sin(x * 0.021) * std::cos(y * 0.017);
    const bool textured = ((x / 64) + (y / 64)) % 3 == 0;
    const double jitter = (noise.unit() - 0.5) * (textured ? 0.08 : 0.006);
    return std::clamp(base + jitter, 0.0, 0.999999);
}

int level(double f, int levels) { return std::min(levels - 1, int(f * levels)); }

Rgb targetColour(unsigned x, unsigned y, unsigned w, unsigned h, Noise& noise) {
    const double f = field(x, y, w, h, noise);
    const int r = int(255 * f);
    const int g = int(255 * (1.0 - double(y) / h) * (0.8 + 0.2 * std::sin(x * 0.01)));
    const int b = int(127 + 120 * std::sin(0.013 * (x + 2.0 * y))) + int((noise.unit() - 0.5) * 8);
    return {r, std::clamp(g, 0, 255), std::clamp(b, 0, 255)};
}

Values indexedContent(unsigned w, unsigned h, int colours) {
    Noise noise;
    Values out{w, h, std::vector<std::uint32_t>(std::size_t{w} * h)};
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) out.at(x, y) = std::uint32_t(level(field(x, y, w, h, noise), colours));
    return out;
}

std::vector<Rgb> gradientPalette(int colours) {
    std::vector<Rgb> p;
    for (int i = 0; i < colours; ++i) {
        const int t = i * 255 / std::max(1, colours - 1);
        p.push_back({t, 255 - t / 2, (t * 7) & 0xFF});
    }
    return p;
}

int distance(const Rgb& a, const Rgb& b) {
    return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
}

// Hold-and-modify encoding, greedy per pixel: the nearest base colour or the
// best single-channel change of the held colour. levelBits is 4 or 6.
Values holdAndModifyContent(unsigned w, unsigned h, int levelBits, const std::vector<std::vector<Rgb>>& rowPalettes) {
    Noise noise;
    Values out{w, h, std::vector<std::uint32_t>(std::size_t{w} * h)};
    const int maxLevel = (1 << levelBits) - 1;
    auto widen = [levelBits](int l) { return levelBits == 4 ? l * 17 : (l << 2) | (l >> 4); };
    for (unsigned y = 0; y < h; ++y) {
        const std::vector<Rgb>& base = rowPalettes[y % rowPalettes.size()];
        Rgb held = base[0];
        for (unsigned x = 0; x < w; ++x) {
            const Rgb want = targetColour(x, y, w, h, noise);
            std::uint32_t best = 0;
            Rgb bestColour = base[0];
            for (std::size_t i = 0; i < base.size(); ++i) {
                if (distance(base[i], want) < distance(bestColour, want)) best = std::uint32_t(i), bestColour = base[i];
            }
            const int lr = want.r * maxLevel / 255, lg = want.g * maxLevel / 255, lb = want.b * maxLevel / 255;
            const Rgb options[3] = {{held.r, held.g, widen(lb)}, {widen(lr), held.g, held.b}, {held.r, widen(lg), held.b}};
            const int levels[3] = {lb, lr, lg};
            for (std::uint32_t c = 0; c < 3; ++c) {
                if (distance(options[c], want) < distance(bestColour, want)) {
                    best = ((c + 1) << levelBits) | std::uint32_t(levels[c]);
                    bestColour = options[c];
                }
            }
            held = bestColour;
            out.at(x, y) = best;
        }
    }
    return out;
}

Values trueColourContent(unsigned w, unsigned h, bool alpha) {
    Noise noise;
    Values out{w, h, std::vector<std::uint32_t>(std::size_t{w} * h)};
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            const Rgb c = targetColour(x, y, w, h, noise);
            std::uint32_t a = 0xFF;
            if (alpha && y < h / 4) a = std::uint32_t(255 * x / w);  // a soft edge across the top
            if (alpha && x > w - w / 8) a = 0;                        // a transparent strip
            // Red in the low byte, green, blue, alpha above: planes 0 to 7 are red.
            out.at(x, y) = std::uint32_t(c.r) | std::uint32_t(c.g) << 8 | std::uint32_t(c.b) << 16 | a << 24;
        }
    }
    return out;
}

Values greyContent(unsigned w, unsigned h) { return indexedContent(w, h, 256); }

// A photograph-like picture in 256 colours: the same field with grain on
// every pixel, so that ByteRun1 finds few repeats.
Values grainyContent(unsigned w, unsigned h) {
    Noise noise;
    Values out{w, h, std::vector<std::uint32_t>(std::size_t{w} * h)};
    for (unsigned y = 0; y < h; ++y)
        for (unsigned x = 0; x < w; ++x) {
            const double f = field(x, y, w, h, noise) + (noise.unit() - 0.5) * 0.05;
            out.at(x, y) = std::uint32_t(level(std::clamp(f, 0.0, 0.999999), 256));
        }
    return out;
}

// The mask of a sprite-like cut-out: an ellipse filling most of the picture.
bool insideMask(unsigned x, unsigned y, unsigned w, unsigned h) {
    const double dx = (x - w / 2.0) / (0.45 * w), dy = (y - h / 2.0) / (0.45 * h);
    return dx * dx + dy * dy <= 1.0;
}

// ---- Stored bodies ----

unsigned planeRowBytes(unsigned width) { return ((width + 15) / 16) * 2; }

// One plane row: bit j of each pixel value, leftmost pixel in the top bit.
void appendPlaneRow(Bytes& out, const Values& img, unsigned y, unsigned plane) {
    const std::size_t start = out.size();
    out.resize(start + planeRowBytes(img.width), 0);
    const std::uint32_t* row = &img.v[std::size_t{y} * img.width];
    for (unsigned x = 0; x < img.width; ++x) {
        if ((row[x] >> plane) & 1u) out[start + x / 8] |= std::uint8_t(0x80u >> (x & 7));
    }
}

void appendMaskRow(Bytes& out, unsigned width, unsigned height, unsigned y) {
    const std::size_t start = out.size();
    out.resize(start + planeRowBytes(width), 0);
    for (unsigned x = 0; x < width; ++x) {
        if (insideMask(x, y, width, height)) out[start + x / 8] |= std::uint8_t(0x80u >> (x & 7));
    }
}

Bytes interleavedRow(const Values& img, unsigned y, unsigned planes, bool maskPlane) {
    Bytes row;
    for (unsigned j = 0; j < planes; ++j) appendPlaneRow(row, img, y, j);
    if (maskPlane) appendMaskRow(row, img.width, img.height, y);
    return row;
}

Bytes chunkyRow(const Values& img, unsigned y, unsigned bytesPerPixel) {
    Bytes row;
    for (unsigned x = 0; x < img.width; ++x) {
        const std::uint32_t v = img.v[std::size_t{y} * img.width + x];
        for (unsigned i = bytesPerPixel; i-- > 0;) row.push_back(std::uint8_t(v >> (8 * i)));
    }
    if (row.size() % 2 != 0) row.push_back(0);
    return row;
}

Bytes storedBody(const std::string& form, const Values& img, unsigned planes, bool packed, bool maskPlane) {
    Bytes body;
    if (form == "ACBM") {
        for (unsigned j = 0; j < planes; ++j)
            for (unsigned y = 0; y < img.height; ++y) appendPlaneRow(body, img, y, j);
        if (maskPlane)
            for (unsigned y = 0; y < img.height; ++y) appendMaskRow(body, img.width, img.height, y);
        return body;
    }
    for (unsigned y = 0; y < img.height; ++y) {
        const Bytes row = form == "PBM " ? chunkyRow(img, y, (planes + 7) / 8) : interleavedRow(img, y, planes, maskPlane);
        const Bytes stored = packed ? test::packByteRun1(row) : row;
        body.insert(body.end(), stored.begin(), stored.end());
    }
    return body;
}

std::vector<std::uint32_t> toCmap(const std::vector<Rgb>& colours) {
    std::vector<std::uint32_t> out;
    for (const Rgb& c : colours) out.push_back(std::uint32_t(c.r) << 16 | std::uint32_t(c.g) << 8 | std::uint32_t(c.b));
    return out;
}

// Line palettes: per row 16 big-endian 0x0RGB words, tinted by the row.
std::vector<std::vector<Rgb>> rowPalettes(unsigned h) {
    std::vector<std::vector<Rgb>> rows;
    for (unsigned y = 0; y < h; ++y) {
        std::vector<Rgb> p;
        for (int i = 0; i < 16; ++i) {
            const int t = i * 17;
            p.push_back({t, (t + int(y * 255 / h)) / 2 / 17 * 17, (255 - t) * int(y % 64) / 64 / 17 * 17});
        }
        rows.push_back(p);
    }
    return rows;
}

Bytes linePaletteData(const std::vector<std::vector<Rgb>>& rows, bool sham) {
    Bytes d(sham ? 2 : 0, 0);
    for (const auto& p : rows)
        for (const Rgb& c : p) test::appendBigEndian16(d, std::uint32_t((c.r / 17) << 8 | (c.g / 17) << 4 | c.b / 17));
    return d;
}

struct Layout {
    std::string form;
    unsigned planes;
    bool packed;
    unsigned masking = 0;  // 1 a mask plane, 2 colour 0 transparent
};

Bytes pictureFile(const Layout& l, const Values& img, const std::vector<Rgb>& cmap, std::uint32_t camg,
                  const Bytes* lineChunk = nullptr, const char* lineId = nullptr) {
    test::IffBuilder file(l.form);
    file.bmhd({std::uint16_t(img.width), std::uint16_t(img.height), std::uint8_t(l.planes), std::uint8_t(l.masking),
               std::uint8_t(l.packed ? 1 : 0), 0});
    if (!cmap.empty()) file.cmap(toCmap(cmap));
    if (camg != 0) file.camg(camg);
    if (lineChunk != nullptr) file.chunk(lineId, *lineChunk);
    file.body(storedBody(l.form, img, l.planes, l.packed, l.masking == 1));
    return file.bytes();
}

std::string size(unsigned w, unsigned h) { return std::to_string(w) + "x" + std::to_string(h); }

// The same picture three times: unmasked, with a mask plane and with colour 0
// transparent, so that what the mask costs can be read off.
void addMaskedTwins(std::vector<BenchPicture>& out, const std::string& name, const Layout& layout, const Values& img,
                    const std::vector<Rgb>& cmap, const char* mode, std::uint32_t camg = 0) {
    out.push_back({name, mode, pictureFile(layout, img, cmap, camg)});
    Layout masked = layout;
    masked.masking = 1;
    out.push_back({name + ", mask plane", mode, pictureFile(masked, img, cmap, camg)});
    masked.masking = 2;
    out.push_back({name + ", transparent colour", mode, pictureFile(masked, img, cmap, camg)});
}

// The real pictures of ../shared/corpus, when it is there.
void addCorpus(std::vector<BenchPicture>& out) {
    namespace fs = std::filesystem;
    const fs::path dir = VANTREL_CORPUS_DIR;
    std::error_code error;
    if (!fs::is_directory(dir, error)) return;
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir, error)) {
        if (entry.is_regular_file() && entry.path().extension() != ".md") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        out.push_back({"corpus " + file.filename().string(), "", std::move(bytes)});
    }
}

void addClassics(std::vector<BenchPicture>& out, unsigned w, unsigned h) {
    const Layout ilbm5{"ILBM", 5, true}, ilbm6{"ILBM", 6, true}, ilbm4{"ILBM", 4, true};
    out.push_back({size(w, h) + " 32 colours ILBM packed", "Indexed",
                   pictureFile(ilbm5, indexedContent(w, h, 32), gradientPalette(32), 0)});
    Values ehb = indexedContent(w, h, 64);
    out.push_back({size(w, h) + " EHB ILBM packed", "HalfBrite", pictureFile(ilbm6, ehb, gradientPalette(32), 0x80)});
    const std::vector<Rgb> base = gradientPalette(16);
    out.push_back({size(w, h) + " HAM6 ILBM packed", "Ham6",
                   pictureFile(ilbm6, holdAndModifyContent(w, h, 4, {base}), base, 0x800)});
    const auto rows = rowPalettes(h);
    const Bytes sham = linePaletteData(rows, true);
    out.push_back({size(w, h) + " SHAM ILBM packed", "LineHam6",
                   pictureFile(ilbm6, holdAndModifyContent(w, h, 4, rows), base, 0x800, &sham, "SHAM")});
    const Bytes ctbl = linePaletteData(rows, false);
    out.push_back({size(w, h) + " CTBL 16 colours ILBM packed", "LinePalette",
                   pictureFile(ilbm4, indexedContent(w, h, 16), {}, 0, &ctbl, "CTBL")});
}

}  // namespace

std::vector<BenchPicture> benchPictures() {
    std::vector<BenchPicture> out;
    addClassics(out, 320, 256);
    addClassics(out, 640, 512);
    out.push_back({"640x512 HAM8 ILBM packed", "Ham8",
                   pictureFile({"ILBM", 8, true}, holdAndModifyContent(640, 512, 6, {gradientPalette(64)}),
                               gradientPalette(64), 0x800)});
    out.push_back({"640x512 grey PBM packed", "Grey8", pictureFile({"PBM ", 8, true}, greyContent(640, 512), {}, 0)});
    out.push_back({"640x512 256 colours PBM packed", "Indexed",
                   pictureFile({"PBM ", 8, true}, indexedContent(640, 512, 256), gradientPalette(256), 0)});
    out.push_back({"640x512 32 colours ACBM", "Indexed",
                   pictureFile({"ACBM", 5, false}, indexedContent(640, 512, 32), gradientPalette(32), 0)});
    out.push_back({"896x860 256 colours ILBM packed", "Indexed",
                   pictureFile({"ILBM", 8, true}, indexedContent(896, 860, 256), gradientPalette(256), 0)});
    out.push_back({"4096x4096 256 colours ILBM packed", "Indexed",
                   pictureFile({"ILBM", 8, true}, indexedContent(4096, 4096, 256), gradientPalette(256), 0)});
    out.push_back({"4096x4096 24-bit ILBM packed", "Rgb24",
                   pictureFile({"ILBM", 24, true}, trueColourContent(4096, 4096, false), {}, 0)});
    out.push_back({"4096x4096 32-bit ILBM plain", "Rgba32",
                   pictureFile({"ILBM", 32, false}, trueColourContent(4096, 4096, true), {}, 0)});
    out.push_back({"256 colours, no planes", "PaletteStrip",
                   test::IffBuilder().cmap(toCmap(gradientPalette(256))).bytes()});
    addMaskedTwins(out, "640x512 32 colours ILBM packed", {"ILBM", 5, true}, indexedContent(640, 512, 32),
                   gradientPalette(32), "Indexed");
    addMaskedTwins(out, "640x512 256 colours ILBM packed", {"ILBM", 8, true}, indexedContent(640, 512, 256),
                   gradientPalette(256), "Indexed");
    const std::vector<Rgb> hamBase = gradientPalette(16);
    addMaskedTwins(out, "640x512 HAM6 ILBM packed", {"ILBM", 6, true}, holdAndModifyContent(640, 512, 4, {hamBase}),
                   hamBase, "Ham6", 0x800);
    out.push_back({"640x512 256 colours PBM plain", "Indexed",
                   pictureFile({"PBM ", 8, false}, indexedContent(640, 512, 256), gradientPalette(256), 0)});
    out.push_back({"640x512 photo-like 256 colours PBM packed", "Indexed",
                   pictureFile({"PBM ", 8, true}, grainyContent(640, 512), gradientPalette(256), 0)});
    out.push_back({"640x512 256 colours ACBM", "Indexed",
                   pictureFile({"ACBM", 8, false}, indexedContent(640, 512, 256), gradientPalette(256), 0)});
    addCorpus(out);
    return out;
}

}  // namespace vantrel::bench
