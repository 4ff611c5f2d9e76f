#include "decode/RowReader.h"

#include <cstddef>

namespace vantrel {

static_assert(offsetof(DecoderStorage, chunky) % 4096 == 2048, "chunky rows half a page from the row buffer");

namespace {

void zeroFill(std::uint8_t* from, std::uint8_t* to) {
    while (from < to) *from++ = 0;
}

void copyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
}

void copy16(std::uint8_t* to, const std::uint8_t* from) {
    for (unsigned i = 0; i < 16; ++i) to[i] = from[i];
}

void fill16(std::uint8_t* to, std::uint8_t value) {
    for (unsigned i = 0; i < 16; ++i) to[i] = value;
}

// A ByteRun1 literal, 16 bytes at a time while the body has the bytes to
// read; it may store up to 15 bytes past the run (the row buffer has room).
void copyLiteral(std::uint8_t* to, const std::uint8_t* from, std::uint32_t count, std::uint32_t available) {
    if (available >= ((count + 15u) & ~15u)) {
        for (std::uint32_t i = 0; i < count; i += 16) copy16(to + i, from + i);
    } else {
        copyBytes(to, from, count);
    }
}

// A ByteRun1 repeat, 16 bytes at a time; may store up to 15 bytes past the run.
void fillRun(std::uint8_t* to, std::uint8_t value, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; i += 16) fill16(to + i, value);
}

// Body bytes that let a run be taken without any further check: the control
// byte, a literal of up to 128 bytes read in blocks of up to 64, and room to spare.
constexpr std::uint32_t uncheckedRunBytes = 1 + 128 + 16;

// ByteRun1: unpacks runs into the row buffer until the row is full or fewer
// than 2 body bytes remain (a last lone byte can start no run). A run that
// overshoots the row end loses the overshoot; returns the bytes produced.
std::uint32_t unpackByteRun1(BodyCursor& cursor, std::uint32_t rowSize, std::uint8_t* out, const RowKernels& kernels) {
    const std::uint8_t* position = cursor.position;
    std::uint32_t produced = 0;
    if (cursor.remaining > uncheckedRunBytes) {
        const std::uint8_t* safeEnd = position + (cursor.remaining - uncheckedRunBytes);
        std::uint8_t* end = kernels.unpackRuns(position, safeEnd, out, out + rowSize);
        produced = static_cast<std::uint32_t>(end - out);
    }
    std::uint32_t remaining = cursor.remaining - static_cast<std::uint32_t>(position - cursor.position);
    while (remaining >= 2 && produced < rowSize) {
        const std::uint32_t control = *position++;
        --remaining;
        if (control < 128) {
            std::uint32_t count = control + 1u;
            if (count > remaining) count = remaining;
            copyLiteral(out + produced, position, count, remaining);
            position += count;
            remaining -= count;
            produced += count;
        } else if (control > 128) {
            const std::uint32_t count = 257u - control;
            fillRun(out + produced, *position++, count);
            --remaining;
            produced += count;
        }
    }
    cursor.position = position;
    cursor.remaining = remaining;
    return produced;
}

const std::uint8_t* readPackedRow(BodyCursor& cursor, std::uint32_t rowSize, std::uint8_t* buffer,
                                  const RowKernels& kernels) {
    const std::uint32_t produced = unpackByteRun1(cursor, rowSize, buffer, kernels);
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

}  // namespace

StoredRow readRow(RowSource& source, DecoderStorage& storage) {
    const std::uint32_t rowSize = source.geometry.rowSize;
    StoredRow row{nullptr, source.geometry.planeStride};
    if (source.info.formType == FormType::Acbm) {
        row = contiguousPlanes(source, storage);  // never compressed; rows found by index
    } else if (source.info.compression == 1) {
        row.data = readPackedRow(source.cursor, rowSize, storage.rowBuffer, source.kernels);
    } else {
        row.data = readPlainRow(source.cursor, rowSize, storage.rowBuffer);
    }
    ++source.rowIndex;
    return row;
}

void planesToChunky(StoredRow row, unsigned firstPlane, unsigned planeCount, std::uint32_t width,
                    std::uint8_t* out, SimdLevel level) {
    const std::uint32_t planeRowBytes = ((width + 15) >> 3) & ~1u;
    rowKernels(level).planesToChunky(row.data + firstPlane * row.planeStride, row.planeStride, planeCount,
                                     (width + 7) >> 3, planeRowBytes, out);
}

void planesToChunky(StoredRow row, unsigned firstPlane, unsigned planeCount, std::uint32_t width,
                    std::uint8_t* out) {
    planesToChunky(row, firstPlane, planeCount, width, out, simdLevel());
}

}  // namespace vantrel
