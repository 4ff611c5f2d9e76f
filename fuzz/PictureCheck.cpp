#include "fuzz/PictureCheck.h"

#include <cstring>
#include <vector>

#include "decode/Decoder.h"
#include "decode/Premultiply.h"
#include "decode/Simd.h"
#include "iff/Parser.h"
#include "tests/oracle/ReferenceDecoder.h"
#include "tests/support/GuardedBuffer.h"
#include "tests/support/SimdTiers.h"

namespace vantrel::fuzz {
namespace {

using test::GuardedBuffer;

constexpr std::uint32_t maxSide = 4096;
constexpr std::uint8_t startFill = 0xA5;
constexpr std::uint8_t endFill = 0x5A;

// The bytes as a file: where it starts and ends in memory.
struct File {
    const std::uint8_t* begin;
    const std::uint8_t* end;
};

bool inside(const File& file, const std::uint8_t* p, std::uint64_t count) {
    return p != nullptr && p >= file.begin && p <= file.end &&
           count <= static_cast<std::uint64_t>(file.end - p);
}

std::int64_t offsetIn(const File& file, const std::uint8_t* p) { return p == nullptr ? -1 : p - file.begin; }

bool isPlaneCount(unsigned planes) { return (planes >= 1 && planes <= 8) || planes == 24 || planes == 32; }

// What the mode promises about its colour sources.
const char* paletteProblem(const ImageInfo& info) {
    const unsigned planes = info.planeCount;
    const bool palette = info.palette != nullptr;
    const bool lines = info.linePalettes != nullptr;
    switch (info.pixelMode) {
        case PixelMode::Indexed:
            if (!palette || planes > 8) return "Indexed without a colour map or with too many planes";
            if (lines && planes != 1 && planes != 2 && planes != 3 && planes != 7 && planes != 8) {
                return "Indexed keeps line palettes its plane count would have used";
            }
            return nullptr;
        case PixelMode::HalfBrite:
            return planes == 6 && palette && info.paletteSize >= 32 && !lines ? nullptr : "HalfBrite promise broken";
        case PixelMode::LinePalette: return planes == 4 && lines ? nullptr : "LinePalette promise broken";
        case PixelMode::Ham6:
            return (planes == 5 || planes == 6) && palette && info.paletteSize >= 16 && !lines ? nullptr
                                                                                            : "Ham6 promise broken";
        case PixelMode::LineHam6: return (planes == 5 || planes == 6) && lines ? nullptr : "LineHam6 promise broken";
        case PixelMode::Ham8:
            return (planes == 7 || planes == 8) && palette && info.paletteSize >= 64 ? nullptr : "Ham8 promise broken";
        case PixelMode::Grey8: return planes == 8 && !palette ? nullptr : "Grey8 promise broken";
        case PixelMode::Rgb24: return planes == 24 && !palette ? nullptr : "Rgb24 promise broken";
        case PixelMode::Rgba32: return planes == 32 && !palette ? nullptr : "Rgba32 promise broken";
        default: return "pixel mode out of range";
    }
}

// The promises every accepted record keeps, whatever the file said.
const char* recordProblem(const ImageInfo& info, const File& file) {
    if (info.palette != nullptr && !inside(file, info.palette, std::uint64_t{info.paletteSize} * 3)) {
        return "colour map outside the file";
    }
    if (info.pixelMode == PixelMode::PaletteStrip) {
        if (info.palette == nullptr || info.planeCount != 0 || info.width != 0) return "PaletteStrip promise broken";
        return info.linePalettes == nullptr ? nullptr : "PaletteStrip with line palettes";
    }
    if (info.width < 1 || info.width > maxSide || info.height < 1 || info.height > maxSide) return "size out of range";
    if (!isPlaneCount(info.planeCount)) return "plane count out of range";
    if (!inside(file, info.body, info.bodySize)) return "body outside the file";
    if (info.compression > 1 || (info.compression == 1 && info.formType == FormType::Acbm)) return "bad compression";
    if (info.masking > 2) return "masking out of range";
    if (static_cast<unsigned>(info.formType) > 2) return "form type out of range";
    if (info.linePalettes != nullptr) {
        if (!inside(file, info.linePalettes, std::uint64_t{info.linePaletteCount} * 32)) {
            return "line palettes outside the file";
        }
        if (info.linePaletteCount != info.height && info.linePaletteCount != info.height / 2) {
            return "line palette count fits neither height nor half of it";
        }
    }
    return paletteProblem(info);
}

// The two copies must give the same record, pointers compared as offsets.
bool sameRecord(const ImageInfo& a, const File& fa, const ImageInfo& b, const File& fb) {
    return a.width == b.width && a.height == b.height && a.planeCount == b.planeCount && a.masking == b.masking &&
           a.pixelMode == b.pixelMode && a.compression == b.compression && a.paletteSize == b.paletteSize &&
           a.linePaletteCount == b.linePaletteCount && a.bodySize == b.bodySize && a.displayMode == b.displayMode &&
           a.transparentColor == b.transparentColor && a.formType == b.formType &&
           offsetIn(fa, a.palette) == offsetIn(fb, b.palette) &&
           offsetIn(fa, a.linePalettes) == offsetIn(fb, b.linePalettes) &&
           offsetIn(fa, a.body) == offsetIn(fb, b.body);
}

// A guarded output buffer pre-filled with a pattern, holding one decode.
struct Output {
    Output(std::size_t words, GuardedBuffer::Edge edge, std::uint8_t fill) : buffer(words * 4, edge), count(words) {
        std::memset(buffer.data(), fill, buffer.size());
    }
    std::uint32_t* pixels() { return reinterpret_cast<std::uint32_t*>(buffer.data()); }
    bool holds(const std::vector<std::uint32_t>& expected) const {
        return std::memcmp(buffer.begin(), expected.data(), buffer.size()) == 0;
    }
    bool operator==(const Output& other) const {
        return count == other.count && std::memcmp(buffer.begin(), other.buffer.begin(), buffer.size()) == 0;
    }

    GuardedBuffer buffer;
    std::size_t count;
};

// Only true colour with alpha carries partial transparency; every other mode
// gives opaque pixels or, for a mask or a missing palette entry, alpha 0.
const char* straightProblem(const ImageInfo& info, const std::uint32_t* pixels, std::size_t count) {
    if (info.pixelMode == PixelMode::Rgba32) return nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t alpha = pixels[i] >> 24;
        if (alpha != 0 && alpha != 0xFF) return "partial alpha outside Rgba32";
    }
    return nullptr;
}

const char* premultipliedProblem(const std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint32_t alpha = p >> 24;
        if ((p & 0xFF) > alpha || ((p >> 8) & 0xFF) > alpha || ((p >> 16) & 0xFF) > alpha) {
            return "premultiplied colour above its alpha";
        }
    }
    return nullptr;
}

// The reference decoder's pixels, straight and premultiplied.
struct Expected {
    std::vector<std::uint32_t> straight;
    std::vector<std::uint32_t> premultiplied;
};

Expected referencePixels(const ImageInfo& info, std::size_t words) {
    Expected e{std::vector<std::uint32_t>(words), {}};
    reference::decodePicture(info, e.straight.data());
    e.premultiplied = e.straight;
    reference::premultiplyPixels(e.premultiplied.data(), words);
    return e;
}

// Decodes into the output at the tier the decoder is capped to, premultiplies
// it in place, and compares after each step; on the way, the straight pixels
// must match the other copy's decode (filled beforehand with another pattern).
const char* decodeProblem(const ImageInfo& info, Output& out, const Output& other, const Expected& expected) {
    decodePicture(info, out.pixels());
    if (!(out == other)) return "decodes differ: a pixel left unwritten, or the tiers disagree";
    if (!out.holds(expected.straight)) return "the decode differs from the reference decoder's";
    if (const char* problem = straightProblem(info, out.pixels(), out.count)) return problem;
    premultiplyPixels(out.pixels(), out.count);
    if (!out.holds(expected.premultiplied)) return "premultiplied pixels differ from the reference's";
    if (const char* problem = premultipliedProblem(out.pixels(), out.count)) return problem;
    decodePicture(info, out.pixels(), Alpha::Premultiplied);
    if (!out.holds(expected.premultiplied)) return "the premultiplied decode differs from the reference's";
    return nullptr;
}

// Decodes the first copy's record at this processor's best tier, then the
// second copy's once at every tier here, each into its own guarded output.
std::string outputProblem(const ImageInfo& a, const ImageInfo& b, std::size_t words) {
    const Expected expected = referencePixels(a, words);
    Output best(words, GuardedBuffer::Edge::End, endFill);
    decodePicture(a, best.pixels());
    for (SimdLevel tier : test::tiersHere()) {
        Output other(words, GuardedBuffer::Edge::Start, startFill);
        const test::TierCap cap(tier);
        if (const char* problem = decodeProblem(b, other, best, expected)) {
            return std::string(problem) + " (at " + simdLevelName(tier) + ")";
        }
    }
    return {};
}

const char* sizeProblem(const ImageInfo& info, OutputSize size) {
    if (info.pixelMode == PixelMode::PaletteStrip) {
        return size.width == info.paletteSize && size.height == 1 ? nullptr : "strip size wrong";
    }
    return size.width == info.width && size.height == info.height ? nullptr : "output size is not the picture's";
}

}  // namespace

CheckResult checkPicture(const std::uint8_t* data, std::size_t size) {
    CheckResult result;
    const std::vector<std::uint8_t> bytes(data, data + size);
    const GuardedBuffer atEnd(bytes, GuardedBuffer::Edge::End);
    const GuardedBuffer atStart(bytes, GuardedBuffer::Edge::Start);
    const File fileA{atEnd.begin(), atEnd.end()};
    const File fileB{atStart.begin(), atStart.end()};
    ImageInfo a{};
    ImageInfo b{};
    result.accepted = parsePicture(a, fileA.begin, fileA.end);
    if (parsePicture(b, fileB.begin, fileB.end) != result.accepted) {
        result.problem = "the two copies parse differently";
        return result;
    }
    if (!result.accepted) return result;
    if (!sameRecord(a, fileA, b, fileB)) {
        result.problem = "the two copies give different records";
        return result;
    }
    const OutputSize out = outputSize(a);
    result.width = out.width;
    result.height = out.height;
    const char* problem = recordProblem(a, fileA);
    if (problem == nullptr) problem = sizeProblem(a, out);
    if (problem != nullptr) {
        result.problem = problem;
        return result;
    }
    // A zero-width strip makes no bitmap, so nothing is decoded.
    if (out.width != 0) result.problem = outputProblem(a, b, std::size_t{out.width} * out.height);
    return result;
}

}  // namespace vantrel::fuzz
