#include "decode/RowReader.h"

#if defined(__SSE2__) || defined(_M_X64)
#define VANTREL_ROW_SSE2 1
#include <emmintrin.h>
#endif

namespace vantrel {
namespace {

// Unaligned 8-byte store, little-endian, spelt out byte by byte so that no
// library call is needed; compilers merge it into one store.
void store64(std::uint8_t* p, std::uint64_t v) {
    for (unsigned i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

void zeroFill(std::uint8_t* from, std::uint8_t* to) {
    while (from < to) *from++ = 0;
}

void copyBytes(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
}

// 16 bytes at a time: one SSE2 access where there is SSE2, else two 8-byte ones.
#if VANTREL_ROW_SSE2
void copy16(std::uint8_t* to, const std::uint8_t* from) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_loadu_si128(reinterpret_cast<const __m128i*>(from)));
}
void fill16(std::uint8_t* to, std::uint8_t value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), _mm_set1_epi8(static_cast<char>(value)));
}
// A repeat run's byte spread once over 16, then stored as often as the run needs.
using FillPattern = __m128i;
FillPattern fillPattern(std::uint8_t value) { return _mm_set1_epi8(static_cast<char>(value)); }
void storePattern(std::uint8_t* to, FillPattern pattern) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to), pattern);
}
#else
std::uint64_t load64(const std::uint8_t* p) {
    return std::uint64_t{p[0]} | std::uint64_t{p[1]} << 8 | std::uint64_t{p[2]} << 16 | std::uint64_t{p[3]} << 24 |
           std::uint64_t{p[4]} << 32 | std::uint64_t{p[5]} << 40 | std::uint64_t{p[6]} << 48 |
           std::uint64_t{p[7]} << 56;
}
void copy16(std::uint8_t* to, const std::uint8_t* from) {
    store64(to, load64(from));
    store64(to + 8, load64(from + 8));
}
void fill16(std::uint8_t* to, std::uint8_t value) {
    const std::uint64_t pattern = value * 0x0101010101010101ull;
    store64(to, pattern);
    store64(to + 8, pattern);
}
using FillPattern = std::uint64_t;
FillPattern fillPattern(std::uint8_t value) { return value * 0x0101010101010101ull; }
void storePattern(std::uint8_t* to, FillPattern pattern) {
    store64(to, pattern);
    store64(to + 8, pattern);
}
#endif

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
// byte, a literal of up to 128 bytes read 16 at a time, and room to spare.
constexpr std::uint32_t uncheckedRunBytes = 1 + 128 + 16;

// ByteRun1 runs far from the end of the body, where no run can be cut short:
// stops when the row is full or the body's last uncheckedRunBytes are reached.
// The first 32 bytes of a run are stored whatever its length, so that short
// runs, the most common, take no loop branch; the row buffer has room for it.
std::uint8_t* unpackRunsUnchecked(const std::uint8_t*& position, const std::uint8_t* safeEnd, std::uint8_t* out,
                                  const std::uint8_t* rowEnd) {
    const std::uint8_t* p = position;
    while (p < safeEnd && out < rowEnd) {
        const std::uint32_t control = *p++;
        if (control < 128) {
            const std::uint32_t count = control + 1u;
            copy16(out, p);
            copy16(out + 16, p + 16);
            for (std::uint32_t i = 32; i < count; i += 16) copy16(out + i, p + i);
            p += count;
            out += count;
        } else if (control > 128) {
            const std::uint32_t count = 257u - control;
            const FillPattern pattern = fillPattern(*p++);
            storePattern(out, pattern);
            storePattern(out + 16, pattern);
            for (std::uint32_t i = 32; i < count; i += 16) storePattern(out + i, pattern);
            out += count;
        }
    }
    position = p;
    return out;
}

// ByteRun1: unpacks runs into the row buffer until the row is full or fewer
// than 2 body bytes remain (a last lone byte can start no run). A run that
// overshoots the row end loses the overshoot; returns the bytes produced.
std::uint32_t unpackByteRun1(BodyCursor& cursor, std::uint32_t rowSize, std::uint8_t* out, SimdLevel level) {
    const std::uint8_t* position = cursor.position;
    std::uint32_t produced = 0;
    if (cursor.remaining > uncheckedRunBytes) {
        const std::uint8_t* safeEnd = position + (cursor.remaining - uncheckedRunBytes);
#if VANTREL_X86_64
        std::uint8_t* end = level == SimdLevel::Avx512 ? wide::unpackRuns(position, safeEnd, out, out + rowSize)
                                                       : unpackRunsUnchecked(position, safeEnd, out, out + rowSize);
#else
        (void)level;
        std::uint8_t* end = unpackRunsUnchecked(position, safeEnd, out, out + rowSize);
#endif
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
                                  SimdLevel level) {
    const std::uint32_t produced = unpackByteRun1(cursor, rowSize, buffer, level);
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
void planesToChunkyFixed(const std::uint8_t* plane0, std::size_t stride, std::uint32_t from, std::uint32_t groups,
                         std::uint8_t* out) {
    for (std::uint32_t b = from; b < groups; ++b) {
        std::uint64_t v = 0;
        const std::uint8_t* p = plane0 + b;
        for (unsigned j = 0; j < Planes; ++j) v |= spreadBits.lanes[p[j * stride]] << j;
        store64(out + 8 * std::size_t{b}, v);
    }
}

void planesToChunkyTable(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint32_t from,
                         std::uint32_t groups, std::uint8_t* out) {
    switch (planes) {
        case 1: planesToChunkyFixed<1>(plane0, stride, from, groups, out); break;
        case 2: planesToChunkyFixed<2>(plane0, stride, from, groups, out); break;
        case 3: planesToChunkyFixed<3>(plane0, stride, from, groups, out); break;
        case 4: planesToChunkyFixed<4>(plane0, stride, from, groups, out); break;
        case 5: planesToChunkyFixed<5>(plane0, stride, from, groups, out); break;
        case 6: planesToChunkyFixed<6>(plane0, stride, from, groups, out); break;
        case 7: planesToChunkyFixed<7>(plane0, stride, from, groups, out); break;
        default: planesToChunkyFixed<8>(plane0, stride, from, groups, out); break;
    }
}

#if VANTREL_ROW_SSE2

// Flips each 64-bit lane about its anti-diagonal: bit c of byte r moves to
// bit 7 - r of byte 7 - c.
__m128i flipAntiDiagonal(__m128i x) {
    const __m128i k4 = _mm_set1_epi64x(static_cast<long long>(0xF0F0F0F00F0F0F0Full));
    const __m128i k2 = _mm_set1_epi64x(static_cast<long long>(0xCCCC0000CCCC0000ull));
    const __m128i k1 = _mm_set1_epi64x(static_cast<long long>(0xAA00AA00AA00AA00ull));
    __m128i t = _mm_xor_si128(x, _mm_slli_epi64(x, 36));
    x = _mm_xor_si128(x, _mm_and_si128(k4, _mm_xor_si128(t, _mm_srli_epi64(x, 36))));
    t = _mm_and_si128(k2, _mm_xor_si128(x, _mm_slli_epi64(x, 18)));
    x = _mm_xor_si128(x, _mm_xor_si128(t, _mm_srli_epi64(t, 18)));
    t = _mm_and_si128(k1, _mm_xor_si128(x, _mm_slli_epi64(x, 9)));
    return _mm_xor_si128(x, _mm_xor_si128(t, _mm_srli_epi64(t, 9)));
}

void storeFlipped(std::uint8_t* out, __m128i low, __m128i high) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), flipAntiDiagonal(_mm_unpacklo_epi32(low, high)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), flipAntiDiagonal(_mm_unpackhi_epi32(low, high)));
}

// 128 pixels: 16 bytes of each plane, interleaved so that each 64-bit lane
// holds one byte of every plane, plane j in byte 7 - j; the flip then leaves
// pixel i in byte i with plane j in bit j. Missing planes read as zero.
void planesToChunky128(const std::uint8_t* plane0, std::size_t stride, unsigned planes, std::uint8_t* out) {
    __m128i r[8];
    for (unsigned k = 0; k < 8; ++k) {
        const unsigned j = 7 - k;
        r[k] = j < planes ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane0 + j * stride))
                          : _mm_setzero_si128();
    }
    const __m128i a0 = _mm_unpacklo_epi8(r[0], r[1]), a1 = _mm_unpackhi_epi8(r[0], r[1]);
    const __m128i b0 = _mm_unpacklo_epi8(r[2], r[3]), b1 = _mm_unpackhi_epi8(r[2], r[3]);
    const __m128i c0 = _mm_unpacklo_epi8(r[4], r[5]), c1 = _mm_unpackhi_epi8(r[4], r[5]);
    const __m128i d0 = _mm_unpacklo_epi8(r[6], r[7]), d1 = _mm_unpackhi_epi8(r[6], r[7]);
    storeFlipped(out, _mm_unpacklo_epi16(a0, b0), _mm_unpacklo_epi16(c0, d0));
    storeFlipped(out + 32, _mm_unpackhi_epi16(a0, b0), _mm_unpackhi_epi16(c0, d0));
    storeFlipped(out + 64, _mm_unpacklo_epi16(a1, b1), _mm_unpacklo_epi16(c1, d1));
    storeFlipped(out + 96, _mm_unpackhi_epi16(a1, b1), _mm_unpackhi_epi16(c1, d1));
}

// Whole 16-byte spans of the plane rows; returns the groups done.
std::uint32_t planesToChunkyWide(const std::uint8_t* plane0, std::size_t stride, unsigned planes,
                                 std::uint32_t groups, std::uint32_t planeRowBytes, std::uint8_t* out) {
    std::uint32_t b = 0;
    for (; b < groups && b + 16 <= planeRowBytes; b += 16) planesToChunky128(plane0 + b, stride, planes, out + 8 * b);
    return b;
}

#else

std::uint32_t planesToChunkyWide(const std::uint8_t*, std::size_t, unsigned, std::uint32_t, std::uint32_t,
                                 std::uint8_t*) {
    return 0;
}

#endif

}  // namespace

StoredRow readRow(RowSource& source, DecoderStorage& storage) {
    const std::uint32_t rowSize = source.geometry.rowSize;
    StoredRow row{nullptr, source.geometry.planeStride};
    if (source.info.formType == FormType::Acbm) {
        row = contiguousPlanes(source, storage);  // never compressed; rows found by index
    } else if (source.info.compression == 1) {
        row.data = readPackedRow(source.cursor, rowSize, storage.rowBuffer, source.level);
    } else {
        row.data = readPlainRow(source.cursor, rowSize, storage.rowBuffer);
    }
    ++source.rowIndex;
    return row;
}

void planesToChunky(StoredRow row, unsigned firstPlane, unsigned planeCount, std::uint32_t width,
                    std::uint8_t* out, SimdLevel level) {
    const std::uint8_t* plane0 = row.data + firstPlane * row.planeStride;
    const std::uint32_t groups = (width + 7) >> 3;
#if VANTREL_X86_64
    if (level == SimdLevel::Avx512) {
        wide::planesToChunky(plane0, row.planeStride, planeCount, groups, out);
        return;
    }
#else
    (void)level;
#endif
    const std::uint32_t planeRowBytes = ((width + 15) >> 3) & ~1u;
    const std::uint32_t done = planesToChunkyWide(plane0, row.planeStride, planeCount, groups, planeRowBytes, out);
    planesToChunkyTable(plane0, row.planeStride, planeCount, done, groups, out);
}

void planesToChunky(StoredRow row, unsigned firstPlane, unsigned planeCount, std::uint32_t width,
                    std::uint8_t* out) {
    planesToChunky(row, firstPlane, planeCount, width, out, simdLevel());
}

}  // namespace vantrel
