#include "decode/RowReader.h"

namespace vantrel {
namespace {

void zeroFill(std::uint8_t* from, std::uint8_t* to) {
    while (from < to) *from++ = 0;
}

void copyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
}

// ByteRun1: unpacks runs into the row buffer until the row is full or fewer
// than 2 body bytes remain (a last lone byte can start no run). A run that
// overshoots the row end loses the overshoot; returns the bytes produced.
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
        const std::uint8_t* row = cursor.position;  // used where it lies, never copied
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

// "ACBM": plane j of file row r lies at r * planeRowBytes + j * planeStride in
// the body. When the body does not hold all planes of the row, they are
// gathered into the row buffer in interleaved order, missing bytes as 0.
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

// "PBM ": each pixel is bytesPerPixel bytes read big-endian, taken whole.
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

}  // namespace

StoredRow readRow(RowSource& source, DecoderStorage& storage) {
    const std::uint32_t rowSize = source.geometry.rowSize;
    StoredRow row{nullptr, source.geometry.planeStride};
    if (source.info.formType == FormType::Acbm) {
        row = contiguousPlanes(source, storage);  // never compressed; rows found by index
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

}  // namespace vantrel
