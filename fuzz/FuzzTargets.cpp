#include "fuzz/FuzzTargets.h"

#include <cstdio>
#include <cstdlib>

#include "fuzz/PictureCheck.h"
#include "fuzz/TestPictures.h"

namespace vantrel::fuzz {
namespace {

constexpr std::size_t layoutHeaderBytes = 12;
// Keeps each layout input's decode small so the fuzzer stays fast; the whole
// range of sizes is still reached by the whole-file target.
constexpr unsigned maxLayoutPixels = 1u << 16;

int report(const CheckResult& result) {
    if (result.problem.empty()) return 0;
    std::fprintf(stderr, "broken promise: %s\n", result.problem.c_str());
    std::abort();
}

unsigned bigEndian16(const std::uint8_t* p) { return (unsigned{p[0]} << 8) | p[1]; }

Recipe layoutRecipe(const std::uint8_t* h) {
    static const unsigned planeCounts[] = {1, 2, 3, 4, 5, 6, 7, 8, 24, 32};
    static const char* const formTypes[] = {"ILBM", "PBM ", "ACBM"};
    Recipe r;
    r.formType = formTypes[h[0] % 3];
    r.width = 1 + bigEndian16(h + 1) % 4096;
    r.height = 1 + bigEndian16(h + 3) % 4096;
    if (r.width * r.height > maxLayoutPixels) r.height = 1 + maxLayoutPixels / r.width;
    r.planes = planeCounts[h[5] % 10];
    r.masking = h[6] & 3;
    r.compression = r.formType == "ACBM" ? 0 : (h[6] >> 2) & 1;
    r.linePalettes = static_cast<LinePalettes>((h[6] >> 3) & 3);
    r.sprite = ((h[6] >> 5) & 1) != 0;
    r.bodyId = ((h[6] >> 6) & 1) != 0 ? "ABIT" : "BODY";
    const bool hasCamg = (h[6] >> 7) != 0 || r.linePalettes == LinePalettes::InterlacedSham;
    const std::uint32_t camg = ((h[7] & 1) != 0 ? 0x800u : 0) | ((h[7] & 2) != 0 ? 0x80u : 0) |
                               (r.linePalettes == LinePalettes::InterlacedSham ? 0x4u : 0);
    r.displayMode = hasCamg ? std::int64_t{camg} : -1;
    r.paletteEntries = (h[7] & 4) != 0 ? -1 : static_cast<int>(bigEndian16(h + 8) % 300);
    r.transparentColor = static_cast<std::uint16_t>(bigEndian16(h + 10));
    return r;
}

unsigned indexOf(const std::string& formType) { return formType == "ILBM" ? 0 : formType == "PBM " ? 1 : 2; }

unsigned planeIndex(unsigned planes) { return planes == 24 ? 8 : planes == 32 ? 9 : planes - 1; }

void putBigEndian16(std::uint8_t* p, unsigned value) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
}

}  // namespace

Bytes layoutInput(const Recipe& r) {
    Bytes input(layoutHeaderBytes, 0);
    input[0] = static_cast<std::uint8_t>(indexOf(r.formType));
    putBigEndian16(&input[1], r.width - 1);
    putBigEndian16(&input[3], r.height - 1);
    input[5] = static_cast<std::uint8_t>(planeIndex(r.planes));
    input[6] = static_cast<std::uint8_t>(r.masking | r.compression << 2 | static_cast<unsigned>(r.linePalettes) << 3 |
                                         (r.sprite ? 0x20u : 0) | (r.bodyId == "ABIT" ? 0x40u : 0) |
                                         (r.displayMode >= 0 ? 0x80u : 0));
    const auto camg = static_cast<std::uint32_t>(r.displayMode >= 0 ? r.displayMode : 0);
    input[7] = static_cast<std::uint8_t>(((camg & 0x800) != 0 ? 1 : 0) | ((camg & 0x80) != 0 ? 2 : 0) |
                                         (r.paletteEntries < 0 ? 4 : 0));
    putBigEndian16(&input[8], r.paletteEntries < 0 ? 0 : static_cast<unsigned>(r.paletteEntries));
    putBigEndian16(&input[10], r.transparentColor);
    const Bytes body = pictureBody(r);
    input.insert(input.end(), body.begin(), body.end());
    return input;
}

int fuzzPicture(const std::uint8_t* data, std::size_t size) { return report(checkPicture(data, size)); }

int fuzzLayout(const std::uint8_t* data, std::size_t size) {
    if (size < layoutHeaderBytes) return 0;
    const Recipe recipe = layoutRecipe(data);
    const Bytes body(data + layoutHeaderBytes, data + size);
    const Bytes file = buildPicture(recipe, body);
    return report(checkPicture(file.data(), file.size()));
}

}  // namespace vantrel::fuzz
