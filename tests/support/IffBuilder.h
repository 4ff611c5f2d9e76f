// Builds small IFF files chunk by chunk, so each rule of the chunk walk and of
// the decoder can be tried on a file of a few dozen bytes.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace vantrel::test {

using Bytes = std::vector<std::uint8_t>;

void appendBigEndian16(Bytes& out, std::uint32_t value);
void appendBigEndian32(Bytes& out, std::uint32_t value);

struct BitmapHeader {
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t planes = 0;
    std::uint8_t masking = 0;
    std::uint8_t compression = 0;
    std::uint16_t transparentColor = 0;
};

// The 20 data bytes of a "BMHD" chunk.
Bytes bitmapHeaderData(const BitmapHeader& header);

class IffBuilder {
public:
    explicit IffBuilder(const std::string& formType = "ILBM");

    // A chunk with its size field and pad byte as IFF wants them.
    IffBuilder& chunk(const std::string& id, const Bytes& data);
    // A chunk header claiming sizeField, followed by data as given (no pad).
    IffBuilder& rawChunk(const std::string& id, std::uint32_t sizeField, const Bytes& data);
    // Bytes appended as they stand.
    IffBuilder& raw(const Bytes& data);

    IffBuilder& bmhd(const BitmapHeader& header);
    IffBuilder& cmap(std::initializer_list<std::uint32_t> rgb);  // 0xRRGGBB entries
    IffBuilder& cmap(const std::vector<std::uint32_t>& rgb);
    IffBuilder& camg(std::uint32_t displayMode);
    IffBuilder& body(const Bytes& data);

    // The file, its "FORM" size field set to match (unless overridden).
    Bytes bytes() const;
    IffBuilder& formSize(std::uint32_t size);

private:
    std::string formType_;
    Bytes chunks_;
    bool formSizeSet_ = false;
    std::uint32_t formSize_ = 0;
};

// ByteRun1 compression of one stored row, as an encoder would do it.
Bytes packByteRun1(const Bytes& row);

// Stored rows of an interleaved-plane ("ILBM") body from per-pixel values:
// values[y * width + x]; mask bits (optional) become the extra plane row.
Bytes interleavedBody(const std::vector<std::uint32_t>& values, unsigned width, unsigned height, unsigned planes,
                      const std::vector<bool>* mask = nullptr);

// An "ACBM" body: every row's plane 0, then every row's plane 1, and so on,
// then the mask plane when mask is given.
Bytes contiguousBody(const std::vector<std::uint32_t>& values, unsigned width, unsigned height, unsigned planes,
                     const std::vector<bool>* mask = nullptr);

// A "PBM " body: each value as bytesPerPixel big-endian bytes, every row
// padded to an even length.
Bytes chunkyBody(const std::vector<std::uint32_t>& values, unsigned width, unsigned height,
                 unsigned bytesPerPixel = 1);

// A 1-plane "ILBM" whose value-1 pixels are opaque white and value-0 pixels
// are transparent (the transparent colour) or black.
Bytes twoColourPicture(unsigned width, unsigned height, const std::vector<std::uint32_t>& values,
                       bool transparentZero);

}  // namespace vantrel::test
