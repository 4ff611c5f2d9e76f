#include "decode/RowReader.h"

namespace vantrel {
namespace {

// Unaligned 8-byte access, little-endian, spelt out byte by byte so that no
// library call is needed; compilers merge it into one load or store.
std::uint64_t load64(const std::uint8_t* p) {
    return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 | std::uint64_t{p[3]} << 24 |
           std::uint64_t{p[4]} << 32 | std::uint64_t{p[5]} << 40 | std::uint64_t{p[6]} << 48 |
           std::uint64_t{p[7]} << 56;
}

void store64(std::uint8_t* p, std::uint64_t v) {
    for (unsigned i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void zeroFill(std::uint8_t* from, std::uint8_t* to) {
    while (from < to) *from++ = 0;
}

void copyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
}

// A ByteRun1 literal: 8 bytes at a time while the body has the bytes to
// read, which may store up to 7 bytes past the run (the row buffer has room).
void copyLiteral(std::uint8_t* to, const std::uint8_t* from, std::uint32_t count, std::uint32_t available) {
    if (available >= ((count + 7u) & ~7u)) {
        for (std::uint32_t i = 0; i < count; i += 8) store64(to + i, load64(from + i));
    } else {
        copyBytes(to, from, count);
    }
}

// A ByteRun1 repeat, 8 bytes at a time; may store up to 7 bytes past the run.
void fillRun(std::uint8_t* to, std::uint8_t value, std::uint32_t count) {
    const std::uint64_t pattern = value * 0x0101010101010101ull;
    for (std::uint32_t i = 0; i < count; i += 8) store64(to + i, pattern);
}

// ByteRun1: unpacks runs into the row buffer until the row is full or fewer
// than 2 body bytes remain (a last lone byte can start no run). A run that
// overshoots the row end loses the overshoot; returns the bytes produced.
std::uint32_t unpackByteRun1(BodyCursor& cursor, std::uint32_t rowSize, std::uint8_t* out) {
    std::uint32_t produced = 0;
    const std::uint8_t* position = cursor.position;
    std::uint32_t remaining = cursor.remaining;
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

// spreadBits[b] holds bit 7 - i of b in bit 0 of its byte i: one plane byte
// spread over the 8 pixels it covers, leftmost pixel in the lowest byte.
struct SpreadTable {
    std::uint64_t lanes[256];
};

constexpr SpreadTable makeSpreadTable() {
    SpreadTable t{};
    for (unsigned b = 0; b < 256; ++b) {
        std::uint64_t v = 0;
        for (unsigned i = 0; i < 8; ++i) v |= std::uint64_t{(b >> (7 - i)) & 1u} << (8 * i);
        t.lanes[b] = v;
    }
    return t;
}

constexpr SpreadTable spreadBits = makeSpreadTable();

// Eight pixels at a time: each plane byte adds its spread bits at the plane's
// bit position in every lane.
template <unsigned Planes>
void planesToChunkyFixed(const std::uint8_t* plane0, std::size_t stride, std::uint32_t groups, std::uint8_t* out) {
    for (std::uint32_t b = 0; b < groups; ++b) {
        std::uint64_t v = 0;
        const std::uint8_t* p = plane0 + b;
        for (unsigned j = 0; j < Planes; ++j) v |= spreadBits.lanes[p[j * stride]] << j;
        store64(out + 8 * std::size_t{b}, v);
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

void planesToChunky(StoredRow row, unsigned firstPlane, unsigned planeCount, std::uint32_t width,
                    std::uint8_t* out) {
    const std::uint8_t* plane0 = row.data + firstPlane * row.planeStride;
    const std::uint32_t groups = (width + 7) >> 3;
    switch (planeCount) {
        case 1: planesToChunkyFixed<1>(plane0, row.planeStride, groups, out); break;
        case 2: planesToChunkyFixed<2>(plane0, row.planeStride, groups, out); break;
        case 3: planesToChunkyFixed<3>(plane0, row.planeStride, groups, out); break;
        case 4: planesToChunkyFixed<4>(plane0, row.planeStride, groups, out); break;
        case 5: planesToChunkyFixed<5>(plane0, row.planeStride, groups, out); break;
        case 6: planesToChunkyFixed<6>(plane0, row.planeStride, groups, out); break;
        case 7: planesToChunkyFixed<7>(plane0, row.planeStride, groups, out); break;
        default: planesToChunkyFixed<8>(plane0, row.planeStride, groups, out); break;
    }
}

}  // namespace vantrel
