// Row reading inside the decoder: the stored layout of one body row, the body
// cursor, and the turn of bit planes into chunky per-pixel values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "decode/Simd.h"
#include "decode/kernels/RowKernels.h"
#include "iff/ImageInfo.h"

namespace vantrel {

constexpr std::size_t maxRowPixels = 4096;
// The largest stored row ("ILBM", 4096 pixels, 32 planes plus a mask plane).
constexpr std::size_t maxStoredRow = 512 * 33;
// A ByteRun1 run may store up to 128 bytes whatever its length, from
// anywhere before the row's end; the rest of the 17 KB places what follows
// (see DecoderStorage).
constexpr std::size_t rowBufferSize = 17 * 1024;
static_assert(rowBufferSize >= maxStoredRow + 128 + 16, "room for the longest run past the row");

struct RowGeometry {
    std::uint32_t planeRowBytes;  // one plane row: width rounded up to 16 pixels, in bytes
    std::uint32_t bytesPerPixel;  // "PBM " pixel size: 1, 3 or 4
    std::uint32_t rowSize;        // bytes of one stored row after decompression
    std::uint32_t planeStride;    // from plane j of a row to plane j + 1
};

RowGeometry rowGeometry(const ImageInfo& info);

struct BodyCursor {
    const std::uint8_t* position;
    std::uint32_t remaining;
};

// The decoder's whole working storage, one block local to each decode. The
// chunky rows start half a page (2 KB, modulo 4 KB) from the row buffer, so
// that turning stored planes into chunky bytes does not read and write
// addresses 4 KB apart, which the processor would take for a dependency
// (4K aliasing) and wait on; each member starts at a multiple of 64 bytes.
struct DecoderStorage {
    std::uint8_t rowBuffer[rowBufferSize];
    // The palette as the colour map and line palettes set it, before the mask
    // and transparent colour are folded into the lookup tables.
    std::uint32_t basePalette[256];
    // The current row's pixel values, one byte per pixel for each group of 8
    // planes: group 0 is planes 0 to 7 (the whole value of up to 8 planes),
    // groups 1 to 3 are planes 8 to 15, 16 to 23 and 24 to 31.
    std::uint8_t chunky[4][maxRowPixels];
    LookupTables tables;
};

// The picture being decoded: its record, row geometry, and read position.
struct RowSource {
    const ImageInfo& info;
    RowGeometry geometry;
    BodyCursor cursor;
    std::uint32_t rowIndex;  // file row that readRow gives next
    const RowKernels& kernels;
};

// One stored row: its first byte and the distance from a byte of plane j to
// the same byte of plane j + 1 (unused for "PBM ").
struct StoredRow {
    const std::uint8_t* data;
    std::size_t planeStride;
};

// Gives the next stored row, in the body where it lies there whole and
// unpacked, else assembled in storage.rowBuffer, and advances the cursor.
// Every byte the body cannot supply reads as 0; nothing outside it is read.
StoredRow readRow(RowSource& source, DecoderStorage& storage);

// Bit planes to chunky bytes: byte x of out gets bit j of its value from
// plane firstPlane + j of pixel x, for j below planeCount (1 to 8) and x below
// width rounded up to a multiple of 8; higher bits are 0. The first form uses
// the kernels of the given tier, the second those of simdLevel().
void planesToChunky(StoredRow row, unsigned firstPlane, unsigned planeCount, std::uint32_t width,
                    std::uint8_t* out, SimdLevel level);
void planesToChunky(StoredRow row, unsigned firstPlane, unsigned planeCount, std::uint32_t width,
                    std::uint8_t* out);

}  // namespace vantrel
