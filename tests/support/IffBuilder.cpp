#include "tests/support/IffBuilder.h"

namespace vantrel::test {

void appendBigEndian16(Bytes& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void appendBigEndian32(Bytes& out, std::uint32_t value) {
    appendBigEndian16(out, value >> 16);
    appendBigEndian16(out, value & 0xFFFF);
}

Bytes bitmapHeaderData(const BitmapHeader& h) {
    Bytes d;
    appendBigEndian16(d, h.width);
    appendBigEndian16(d, h.height);
    appendBigEndian32(d, 0);  // position
    d.push_back(h.planes);
    d.push_back(h.masking);
    d.push_back(h.compression);
    d.push_back(0);  // pad
    appendBigEndian16(d, h.transparentColor);
    d.push_back(10);  // aspect
    d.push_back(11);
    appendBigEndian16(d, h.width);
    appendBigEndian16(d, h.height);
    return d;
}

IffBuilder::IffBuilder(const std::string& formType) : formType_(formType) {}

IffBuilder& IffBuilder::rawChunk(const std::string& id, std::uint32_t sizeField, const Bytes& data) {
    chunks_.insert(chunks_.end(), id.begin(), id.end());
    appendBigEndian32(chunks_, sizeField);
    chunks_.insert(chunks_.end(), data.begin(), data.end());
    return *this;
}

IffBuilder& IffBuilder::chunk(const std::string& id, const Bytes& data) {
    rawChunk(id, static_cast<std::uint32_t>(data.size()), data);
    if (data.size() % 2 != 0) chunks_.push_back(0);
    return *this;
}

IffBuilder& IffBuilder::raw(const Bytes& data) {
    chunks_.insert(chunks_.end(), data.begin(), data.end());
    return *this;
}

IffBuilder& IffBuilder::bmhd(const BitmapHeader& header) { return chunk("BMHD", bitmapHeaderData(header)); }

IffBuilder& IffBuilder::cmap(std::initializer_list<std::uint32_t> rgb) {
    return cmap(std::vector<std::uint32_t>(rgb));
}

IffBuilder& IffBuilder::cmap(const std::vector<std::uint32_t>& rgb) {
    Bytes d;
    for (std::uint32_t c : rgb) {
        d.push_back(static_cast<std::uint8_t>(c >> 16));
        d.push_back(static_cast<std::uint8_t>(c >> 8));
        d.push_back(static_cast<std::uint8_t>(c));
    }
    return chunk("CMAP", d);
}

IffBuilder& IffBuilder::camg(std::uint32_t displayMode) {
    Bytes d;
    appendBigEndian32(d, displayMode);
    return chunk("CAMG", d);
}

IffBuilder& IffBuilder::body(const Bytes& data) { return chunk("BODY", data); }

IffBuilder& IffBuilder::formSize(std::uint32_t size) {
    formSizeSet_ = true;
    formSize_ = size;
    return *this;
}

Bytes IffBuilder::bytes() const {
    Bytes out{'F', 'O', 'R', 'M'};
    appendBigEndian32(out, formSizeSet_ ? formSize_ : static_cast<std::uint32_t>(4 + chunks_.size()));
    out.insert(out.end(), formType_.begin(), formType_.end());
    out.insert(out.end(), chunks_.begin(), chunks_.end());
    return out;
}

Bytes packByteRun1(const Bytes& row) {
    Bytes out;
    std::size_t i = 0;
    while (i < row.size()) {
        std::size_t run = 1;
        while (i + run < row.size() && run < 128 && row[i + run] == row[i]) ++run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(257 - run));
            out.push_back(row[i]);
            i += run;
            continue;
        }
        std::size_t literal = 1;
        while (i + literal < row.size() && literal < 128 &&
               !(i + literal + 1 < row.size() && row[i + literal] == row[i + literal + 1])) {
            ++literal;
        }
        out.push_back(static_cast<std::uint8_t>(literal - 1));
        out.insert(out.end(), row.begin() + static_cast<std::ptrdiff_t>(i),
                   row.begin() + static_cast<std::ptrdiff_t>(i + literal));
        i += literal;
    }
    return out;
}

Bytes interleavedBody(const std::vector<std::uint32_t>& values, unsigned width, unsigned height, unsigned planes,
                      const std::vector<bool>* mask) {
    const unsigned planeRowBytes = ((width + 15) / 16) * 2;
    const unsigned stored = planes + (mask != nullptr ? 1 : 0);
    Bytes out(std::size_t{planeRowBytes} * stored * height, 0);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned x = 0; x < width; ++x) {
            const std::uint32_t v = values[std::size_t{y} * width + x];
            const std::uint8_t bit = static_cast<std::uint8_t>(0x80 >> (x & 7));
            for (unsigned j = 0; j < stored; ++j) {
                const bool set = j < planes ? ((v >> j) & 1) != 0 : (*mask)[std::size_t{y} * width + x];
                if (set) out[(std::size_t{y} * stored + j) * planeRowBytes + x / 8] |= bit;
            }
        }
    }
    return out;
}

Bytes contiguousBody(const std::vector<std::uint32_t>& values, unsigned width, unsigned height, unsigned planes,
                     const std::vector<bool>* mask) {
    const Bytes rows = interleavedBody(values, width, height, planes, mask);
    const std::size_t planeRowBytes = ((width + 15) / 16) * 2;
    const std::size_t stored = planes + (mask != nullptr ? 1 : 0);
    Bytes out(rows.size());
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t j = 0; j < stored; ++j) {
            const std::size_t from = (y * stored + j) * planeRowBytes;
            const std::size_t to = (j * height + y) * planeRowBytes;
            for (std::size_t b = 0; b < planeRowBytes; ++b) out[to + b] = rows[from + b];
        }
    }
    return out;
}

Bytes chunkyBody(const std::vector<std::uint32_t>& values, unsigned width, unsigned height, unsigned bytesPerPixel) {
    Bytes out;
    for (std::size_t y = 0; y < height; ++y) {
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t v = values[y * width + x];
            for (unsigned i = bytesPerPixel; i-- > 0;) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
        if ((std::size_t{width} * bytesPerPixel) % 2 != 0) out.push_back(0);
    }
    return out;
}

Bytes twoColourPicture(unsigned width, unsigned height, const std::vector<std::uint32_t>& values,
                       bool transparentZero) {
    BitmapHeader header{static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 1,
                        static_cast<std::uint8_t>(transparentZero ? 2 : 0), 0, 0};
    return IffBuilder("ILBM").bmhd(header).cmap({0x000000, 0xFFFFFF}).body(interleavedBody(values, width, height, 1)).bytes();
}

}  // namespace vantrel::test
