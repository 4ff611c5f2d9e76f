#include "tests/oracle/ReferenceDecoder.h"

namespace vantrel::reference {
namespace {

// ---- Geometry and base palette ----

constexpr std::size_t maxRowPixels = 4096;
constexpr std::size_t rowBufferSize = 512 * 33 + 127;

struct RowGeometry {
    std::uint32_t planeRowBytes;
    std::uint32_t bytesPerPixel;
    std::uint32_t rowSize;
    std::uint32_t planeStride;
};

std::uint32_t colourMapEntry(const std::uint8_t* entry) {
    return 0xFF000000u | (std::uint32_t{entry[0]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[2];
}

void addHalfBrightColours(std::uint32_t* workingPalette) {
    for (unsigned i = 0; i < 32; ++i) {
        workingPalette[32 + i] = 0xFF000000u | ((workingPalette[i] >> 1) & 0x007F7F7Fu);
    }
}

unsigned colourMapEntriesTaken(const ImageInfo& info) {
    switch (info.pixelMode) {
        case PixelMode::Indexed: return info.paletteSize < 256 ? info.paletteSize : 256;
        case PixelMode::HalfBrite: return 32;
        case PixelMode::Ham6: return 16;
        case PixelMode::Ham8: return 64;
        default: return 0;
    }
}

void buildBasePalette(const ImageInfo& info, std::uint32_t* workingPalette) {
    for (unsigned i = 0; i < 256; ++i) workingPalette[i] = 0;
    const unsigned count = colourMapEntriesTaken(info);
    for (unsigned i = 0; i < count; ++i) workingPalette[i] = colourMapEntry(info.palette + 3 * i);
    if (info.pixelMode == PixelMode::HalfBrite) addHalfBrightColours(workingPalette);
}

RowGeometry rowGeometry(const ImageInfo& info) {
    RowGeometry g{};
    g.planeRowBytes = ((std::uint32_t{info.width} + 15) >> 3) & ~1u;
    g.bytesPerPixel = (std::uint32_t{info.planeCount} + 7) >> 3;
    switch (info.formType) {
        case FormType::Ilbm:
            g.rowSize = g.planeRowBytes * (info.planeCount + (info.masking == 1 ? 1u : 0u));
            g.planeStride = g.planeRowBytes;
            break;
        case FormType::Pbm:
            g.rowSize = (info.width * g.bytesPerPixel + 1) & ~1u;
            g.planeStride = 0;
            break;
        case FormType::Acbm:
            g.rowSize = g.planeRowBytes;
            g.planeStride = g.planeRowBytes * info.height;
            break;
    }
    return g;
}

// ---- Row reading ----

struct BodyCursor {
    const std::uint8_t* position;
    std::uint32_t remaining;
};

struct DecoderStorage {
    std::uint32_t workingPalette[256];
    std::uint32_t valueRow[maxRowPixels];
    std::uint8_t maskRow[maxRowPixels];
    std::uint8_t rowBuffer[rowBufferSize];
};

struct RowSource {
    const ImageInfo& info;
    RowGeometry geometry;
    BodyCursor cursor;
    std::uint32_t rowIndex;
};

struct StoredRow {
    const std::uint8_t* data;
    std::size_t planeStride;
};

void zeroFill(std::uint8_t* from, std::uint8_t* to) {
    while (from < to) *from++ = 0;
}

void copyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
}

std::uint32_t unpackByteRun1(BodyCursor& cursor, std::uint32_t rowSize, std::uint8_t* out) {
    std::uint32_t produced = 0;
    while (cursor.remaining >= 2 && produced < rowSize) {
        const std::uint8_t control = *cursor.position++;
        --cursor.remaining;
        if (control < 128) {
            std::uint32_t count = control + 1u;
            if (count > cursor.remaining) count = cursor.remaining;
            copyBytes(out + produced, cursor.position, count);
            cursor.position += count;
            cursor.remaining -= count;
            produced += count;
        } else if (control > 128) {
            const std::uint8_t value = *cursor.position++;
            --cursor.remaining;
            const std::uint32_t count = 257u - control;
            for (std::uint32_t i = 0; i < count; ++i) out[produced + i] = value;
            produced += count;
        }
    }
    return produced;
}

const std::uint8_t* readPackedRow(BodyCursor& cursor, std::uint32_t rowSize, std::uint8_t* buffer) {
    const std::uint32_t produced = unpackByteRun1(cursor, rowSize, buffer);
    if (produced < rowSize) zeroFill(buffer + produced, buffer + rowSize);
    return buffer;
}

const std::uint8_t* readPlainRow(BodyCursor& cursor, std::uint32_t rowSize, std::uint8_t* buffer) {
    if (cursor.remaining >= rowSize) {
        const std::uint8_t* row = cursor.position;
        cursor.position += rowSize;
        cursor.remaining -= rowSize;
        return row;
    }
    copyBytes(buffer, cursor.position, cursor.remaining);
    zeroFill(buffer + cursor.remaining, buffer + rowSize);
    cursor.position += cursor.remaining;
    cursor.remaining = 0;
    return buffer;
}

std::uint32_t storedPlaneCount(const ImageInfo& info) {
    return info.planeCount + (info.masking == 1 ? 1u : 0u);
}

StoredRow contiguousPlanes(const RowSource& source, DecoderStorage& storage) {
    const ImageInfo& info = source.info;
    const RowGeometry& g = source.geometry;
    const std::uint64_t rowOffset = std::uint64_t{source.rowIndex} * g.planeRowBytes;
    const std::uint32_t planes = storedPlaneCount(info);
    const std::uint64_t lastByte = rowOffset + std::uint64_t{planes - 1} * g.planeStride + g.planeRowBytes;
    if (lastByte <= info.bodySize) return {info.body + rowOffset, g.planeStride};
    for (std::uint32_t j = 0; j < planes; ++j) {
        std::uint8_t* out = storage.rowBuffer + std::size_t{j} * g.planeRowBytes;
        const std::uint64_t from = rowOffset + std::uint64_t{j} * g.planeStride;
        const std::uint64_t available = from < info.bodySize ? info.bodySize - from : 0;
        const std::uint32_t count = available < g.planeRowBytes ? static_cast<std::uint32_t>(available)
                                                                : g.planeRowBytes;
        copyBytes(out, info.body + (count != 0 ? from : 0), count);
        zeroFill(out + count, out + g.planeRowBytes);
    }
    return {storage.rowBuffer, g.planeRowBytes};
}

std::uint8_t maskFor(const ImageInfo& info, std::uint32_t value) {
    return info.masking == 2 && value == info.transparentColor ? 0x00 : 0xFF;
}

void splitPlanes(const RowSource& source, StoredRow row, DecoderStorage& storage) {
    const ImageInfo& info = source.info;
    const std::uint32_t width = info.width;
    for (std::uint32_t x = 0; x < width; ++x) storage.valueRow[x] = 0;
    for (std::uint32_t j = 0; j < info.planeCount; ++j) {
        const std::uint8_t* plane = row.data + j * row.planeStride;
        for (std::uint32_t x = 0; x < width; ++x) {
            storage.valueRow[x] |= std::uint32_t((plane[x >> 3] >> (7 - (x & 7))) & 1u) << j;
        }
    }
    if (info.masking == 1) {
        const std::uint8_t* plane = row.data + std::size_t{info.planeCount} * row.planeStride;
        for (std::uint32_t x = 0; x < width; ++x) {
            storage.maskRow[x] = ((plane[x >> 3] >> (7 - (x & 7))) & 1u) != 0 ? 0xFF : 0x00;
        }
        return;
    }
    for (std::uint32_t x = 0; x < width; ++x) storage.maskRow[x] = maskFor(info, storage.valueRow[x]);
}

void splitChunky(const RowSource& source, StoredRow row, DecoderStorage& storage) {
    const ImageInfo& info = source.info;
    const std::uint32_t bytes = source.geometry.bytesPerPixel;
    const std::uint8_t* pixel = row.data;
    for (std::uint32_t x = 0; x < info.width; ++x, pixel += bytes) {
        std::uint32_t value = 0;
        for (std::uint32_t i = 0; i < bytes; ++i) value = (value << 8) | pixel[i];
        storage.valueRow[x] = value;
        storage.maskRow[x] = maskFor(info, value);
    }
}

StoredRow readRow(RowSource& source, DecoderStorage& storage) {
    const std::uint32_t rowSize = source.geometry.rowSize;
    StoredRow row{nullptr, source.geometry.planeStride};
    if (source.info.formType == FormType::Acbm) {
        row = contiguousPlanes(source, storage);
    } else if (source.info.compression == 1) {
        row.data = readPackedRow(source.cursor, rowSize, storage.rowBuffer);
    } else {
        row.data = readPlainRow(source.cursor, rowSize, storage.rowBuffer);
    }
    ++source.rowIndex;
    return row;
}

void splitRow(const RowSource& source, StoredRow row, DecoderStorage& storage) {
    if (source.info.formType == FormType::Pbm) {
        splitChunky(source, row, storage);
    } else {
        splitPlanes(source, row, storage);
    }
}

// ---- Pixel conversion ----

constexpr std::uint32_t linePaletteBytes = 32;

std::uint32_t linePaletteColour(const std::uint8_t* word) {
    const std::uint32_t red = word[0] & 0xFu;
    const std::uint32_t green = word[1] >> 4;
    const std::uint32_t blue = word[1] & 0xFu;
    return 0xFF000000u | (red * 17) << 16 | (green * 17) << 8 | (blue * 17);
}

void writePaletteStrip(const ImageInfo& info, std::uint32_t* pixels) {
    for (std::uint32_t i = 0; i < info.paletteSize; ++i) {
        const std::uint8_t* entry = info.palette + 3 * i;
        pixels[i] = 0xFF000000u | (std::uint32_t{entry[0]} << 16) | (std::uint32_t{entry[1]} << 8) | entry[2];
    }
}

struct LinePaletteCursor {
    const std::uint8_t* first;
    std::uint32_t count;
    std::uint32_t next;
    bool paired;

    void loadInto(std::uint32_t* workingPalette, std::uint32_t memoryRow) {
        if (first == nullptr || count == 0) return;
        const std::uint32_t index = next < count ? next : count - 1;
        const std::uint8_t* words = first + std::size_t{index} * linePaletteBytes;
        for (unsigned i = 0; i < 16; ++i) workingPalette[i] = linePaletteColour(words + 2 * i);
        if (!(paired && (memoryRow & 1) != 0)) ++next;
    }
};

std::uint32_t replaceByte(std::uint32_t colour, unsigned shift, std::uint32_t level) {
    return (colour & ~(0xFFu << shift)) | (level << shift);
}

std::uint32_t holdAndModify(std::uint32_t held, std::uint32_t control, std::uint32_t level,
                            const std::uint32_t* workingPalette, std::uint32_t value) {
    switch (control) {
        case 0: return workingPalette[value & 0xFF];
        case 1: return replaceByte(held, 0, level);
        case 2: return replaceByte(held, 16, level);
        default: return replaceByte(held, 8, level);
    }
}

std::uint32_t trueColour(std::uint32_t value, std::uint32_t alpha) {
    return alpha << 24 | (value & 0xFF) << 16 | (value & 0xFF00) | ((value >> 16) & 0xFF);
}

std::uint32_t convertPixel(PixelMode mode, std::uint32_t value, std::uint32_t held,
                           const std::uint32_t* workingPalette) {
    switch (mode) {
        case PixelMode::Ham6:
        case PixelMode::LineHam6:
            return holdAndModify(held, value >> 4, (value & 0xF) * 17, workingPalette, value);
        case PixelMode::Ham8: {
            const std::uint32_t level = value & 0x3F;
            return holdAndModify(held, value >> 6, (level << 2) + (level >> 4), workingPalette, value);
        }
        case PixelMode::Grey8: return 0xFF000000u + (value & 0xFF) * 0x010101u;
        case PixelMode::Rgb24: return trueColour(value, 0xFF);
        case PixelMode::Rgba32: return trueColour(value, value >> 24);
        default: return workingPalette[value & 0xFF];
    }
}

void convertRow(const ImageInfo& info, const DecoderStorage& storage, std::uint32_t* out) {
    std::uint32_t held = storage.workingPalette[0];
    for (std::uint32_t x = 0; x < info.width; ++x) {
        held = convertPixel(info.pixelMode, storage.valueRow[x], held, storage.workingPalette);
        out[x] = storage.maskRow[x] != 0 ? held : 0;
    }
}

std::uint32_t scaleByte(std::uint32_t byte, std::uint32_t alpha) {
    const std::uint32_t x = byte * alpha;
    return (x + (x >> 8) + 1) >> 8;
}

}  // namespace

void decodePicture(const ImageInfo& info, std::uint32_t* pixels) {
    if (info.body == nullptr || info.width == 0) {
        writePaletteStrip(info, pixels);
        return;
    }
    DecoderStorage storage;
    RowSource source{info, rowGeometry(info), {info.body, info.bodySize}, 0};
    buildBasePalette(info, storage.workingPalette);
    LinePaletteCursor linePalette{info.linePalettes, info.linePaletteCount, 0,
                                  info.linePaletteCount < info.height};
    for (std::uint32_t r = 0; r < info.height; ++r) {
        const std::uint32_t m = info.height - 1u - r;
        splitRow(source, readRow(source, storage), storage);
        linePalette.loadInto(storage.workingPalette, m);
        convertRow(info, storage, pixels + std::size_t{m} * info.width);
    }
}

void premultiplyPixels(std::uint32_t* pixels, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t p = pixels[i];
        const std::uint32_t alpha = p >> 24;
        if (alpha == 0xFF) continue;
        pixels[i] = alpha << 24 | scaleByte((p >> 16) & 0xFF, alpha) << 16 | scaleByte((p >> 8) & 0xFF, alpha) << 8 |
                    scaleByte(p & 0xFF, alpha);
    }
}

}  // namespace vantrel::reference
