#include "PngWriter.h"

#include <algorithm>
#include <array>

namespace vantrel::host {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kStoredBlockMax = 65535;

std::array<std::uint32_t, 256> makeCrcTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t n = 0; n < 256; ++n) {
        std::uint32_t c = n;
        for (int k = 0; k < 8; ++k) {
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        }
        table[n] = c;
    }
    return table;
}

void appendBigEndian32(Bytes& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void appendChunk(Bytes& out, const char type[4], const Bytes& data) {
    appendBigEndian32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    appendBigEndian32(out, crc32(out.data() + typeStart, out.size() - typeStart));
}

// Each row preceded by filter type 0 (none), as the image data stream wants it.
Bytes filteredRows(std::uint32_t width, std::uint32_t height, const Bytes& rgba) {
    const std::size_t rowBytes = std::size_t{width} * 4;
    Bytes rows;
    rows.reserve((rowBytes + 1) * height);
    for (std::uint32_t y = 0; y < height; ++y) {
        rows.push_back(0);
        const auto start = rgba.begin() + static_cast<std::ptrdiff_t>(rowBytes * y);
        rows.insert(rows.end(), start, start + static_cast<std::ptrdiff_t>(rowBytes));
    }
    return rows;
}

// A zlib stream made of stored deflate blocks of at most 65535 bytes each.
Bytes zlibStored(const Bytes& data) {
    Bytes out{0x78, 0x01};
    std::size_t offset = 0;
    do {
        const std::size_t length = std::min(kStoredBlockMax, data.size() - offset);
        const bool last = offset + length == data.size();
        out.push_back(last ? 1 : 0);
        const auto len = static_cast<std::uint16_t>(length);
        const auto nlen = static_cast<std::uint16_t>(~len);
        out.insert(out.end(), {static_cast<std::uint8_t>(len), static_cast<std::uint8_t>(len >> 8),
                               static_cast<std::uint8_t>(nlen), static_cast<std::uint8_t>(nlen >> 8)});
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(offset),
                   data.begin() + static_cast<std::ptrdiff_t>(offset + length));
        offset += length;
    } while (offset < data.size());
    appendBigEndian32(out, adler32(data.data(), data.size()));
    return out;
}

}  // namespace

std::uint32_t crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
    static const std::array<std::uint32_t, 256> table = makeCrcTable();
    crc = ~crc;
    for (std::size_t i = 0; i < size; ++i) {
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    }
    return ~crc;
}

std::uint32_t adler32(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint32_t kModulus = 65521;
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (std::size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % kModulus;
        b = (b + a) % kModulus;
    }
    return (b << 16) | a;
}

std::vector<std::uint8_t> encodePng(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& rgba) {
    Bytes png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes header;
    appendBigEndian32(header, width);
    appendBigEndian32(header, height);
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, no filter variant, no interlace
    appendChunk(png, "IHDR", header);
    appendChunk(png, "IDAT", zlibStored(filteredRows(width, height, rgba)));
    appendChunk(png, "IEND", Bytes());
    return png;
}

}  // namespace vantrel::host
