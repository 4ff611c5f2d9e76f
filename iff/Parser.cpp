#include "iff/Parser.h"

#include "iff/ByteOrder.h"

namespace vantrel {
namespace {

constexpr std::uint16_t maxSide = 4096;
constexpr std::uint32_t bitmapHeaderSize = 20;
constexpr std::uint32_t linePaletteBytes = 32;
constexpr std::uint32_t interlaceBit = 0x4;

enum class ChunkRule { Take, Fail };

void resetRecord(ImageInfo& info) {
    info.width = 0;
    info.planeCount = 0;
    info.paletteSize = 0;
    info.linePaletteCount = 0;
    info.displayMode = 0;
    info.palette = nullptr;
    info.linePalettes = nullptr;
    info.body = nullptr;
}

bool readGroupHeader(ImageInfo& info, const std::uint8_t* begin, const std::uint8_t* end) {
    if (end - begin < 12) return false;
    if (readBigEndian32(begin) != chunkId("FORM")) return false;
    switch (readBigEndian32(begin + 8)) {
        case chunkId("ILBM"): info.formType = FormType::Ilbm; return true;
        case chunkId("PBM "): info.formType = FormType::Pbm; return true;
        case chunkId("ACBM"): info.formType = FormType::Acbm; return true;
        default: return false;
    }
}

// Plane counts a picture may have: 1 to 8, 24 and 32.
bool isShowablePlaneCount(std::uint8_t planes) {
    return planes <= 32 && ((0x1010001FFull >> planes) & 1) != 0;
}

ChunkRule takeBitmapHeader(ImageInfo& info, const std::uint8_t* data, std::uint32_t size) {
    if (info.width != 0) return ChunkRule::Fail;  // a header with planes was taken already
    if (size < bitmapHeaderSize) return ChunkRule::Fail;
    const std::uint16_t width = readBigEndian16(data);
    const std::uint16_t height = readBigEndian16(data + 2);
    const std::uint8_t planes = data[8];
    const std::uint8_t masking = data[9];
    const std::uint8_t compression = data[10];
    if (width > maxSide || height > maxSide) return ChunkRule::Fail;
    if (planes == 0) {
        // A colour-map-only picture; a later header may still bring planes.
        info.width = info.height = 0;
        info.planeCount = info.masking = info.compression = 0;
        info.transparentColor = 0;
        return ChunkRule::Take;
    }
    if (width == 0 || height == 0 || compression > 1) return ChunkRule::Fail;
    if (compression == 1 && info.formType == FormType::Acbm) return ChunkRule::Fail;
    if (!isShowablePlaneCount(planes)) return ChunkRule::Fail;
    info.width = width;
    info.height = height;
    info.planeCount = planes;
    info.compression = compression;
    info.transparentColor = readBigEndian16(data + 12);
    info.masking = masking < 3 ? masking : 0;  // 3 (lasso) and above: no transparency
    return ChunkRule::Take;
}

ChunkRule takeBody(ImageInfo& info, const std::uint8_t* data, std::uint32_t size) {
    if (info.body != nullptr) return ChunkRule::Fail;
    info.body = data;
    info.bodySize = size;
    return ChunkRule::Take;
}

ChunkRule takeColourMap(ImageInfo& info, const std::uint8_t* data, std::uint32_t size) {
    if (info.palette != nullptr) return ChunkRule::Fail;
    const std::uint32_t entries = size / 3;
    info.palette = data;
    info.paletteSize = static_cast<std::uint16_t>(entries < 0xFFFF ? entries : 0xFFFF);
    return ChunkRule::Take;
}

void takeDisplayMode(ImageInfo& info, const std::uint8_t* data, std::uint32_t size) {
    if (size == 4) info.displayMode = readBigEndian32(data);
}

bool canTakeLinePalettes(const ImageInfo& info) {
    return info.width != 0 && info.linePalettes == nullptr;
}

void takeColourTable(ImageInfo& info, const std::uint8_t* data, std::uint32_t size) {
    if (!canTakeLinePalettes(info)) return;
    if (size < std::uint32_t{info.height} * linePaletteBytes) return;
    info.linePalettes = data;
    info.linePaletteCount = info.height;
}

void takeShamPalettes(ImageInfo& info, const std::uint8_t* data, std::uint32_t size) {
    if (!canTakeLinePalettes(info)) return;
    const std::uint16_t rows =
        (info.displayMode & interlaceBit) != 0 ? static_cast<std::uint16_t>(info.height / 2) : info.height;
    if (size < std::uint32_t{rows} * linePaletteBytes + 2) return;
    info.linePalettes = data + 2;  // past the leading word, which carries nothing used
    info.linePaletteCount = rows;
}

void takeSprite(ImageInfo& info, std::uint32_t size) {
    if (info.width == 0 || size != 2 || info.masking != 0) return;
    info.masking = 2;
    info.transparentColor = 0;
}

ChunkRule applyChunkRule(ImageInfo& info, std::uint32_t id, const std::uint8_t* data, std::uint32_t size) {
    switch (id) {
        case chunkId("BMHD"): return takeBitmapHeader(info, data, size);
        case chunkId("BODY"):
        case chunkId("ABIT"): return takeBody(info, data, size);
        case chunkId("CMAP"): return takeColourMap(info, data, size);
        case chunkId("CAMG"): takeDisplayMode(info, data, size); break;
        case chunkId("CTBL"): takeColourTable(info, data, size); break;
        case chunkId("SHAM"): takeShamPalettes(info, data, size); break;
        case chunkId("SPRT"): takeSprite(info, size); break;
        default: break;  // chunks that carry nothing for a thumbnail
    }
    return ChunkRule::Take;
}

}  // namespace

bool parsePicture(ImageInfo& info, const std::uint8_t* begin, const std::uint8_t* end) {
    resetRecord(info);
    if (!readGroupHeader(info, begin, end)) return false;
    // The group's own size field is not trusted: chunks are walked to the end of the bytes.
    const std::uint8_t* cursor = begin + 12;
    for (;;) {
        const auto left = static_cast<std::uint64_t>(end - cursor);
        if (left < 8) break;
        const std::uint32_t size = readBigEndian32(cursor + 4);
        if (size == 0xFFFFFFFF) break;
        const std::uint64_t stride = (std::uint64_t{size} + 1) & ~std::uint64_t{1};
        if (stride > left - 8) break;  // the chunk (with its pad byte) runs past the end
        if (applyChunkRule(info, readBigEndian32(cursor), cursor + 8, size) == ChunkRule::Fail) return false;
        cursor += 8 + stride;
    }
    return selectPixelMode(info);
}

}  // namespace vantrel
