#include "tests/core/GuardedDecode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "iff/Parser.h"
#include "tests/support/GuardedBuffer.h"

namespace vantrel::test {
namespace {

using Edge = GuardedBuffer::Edge;

std::ptrdiff_t offsetIn(const GuardedBuffer& file, const std::uint8_t* p) {
    return p == nullptr ? -1 : p - file.begin();
}

Decoded runOnce(const Bytes& bytes, bool decode, Edge edge, std::uint8_t fill) {
    const GuardedBuffer file(bytes, edge);
    ImageInfo info;
    std::memset(&info, fill, sizeof info);
    Decoded d;
    d.ok = parsePicture(info, file.begin(), file.end());
    if (d.ok && decode) {
        d.size = outputSize(info);
        const std::size_t count = std::size_t{d.size.width} * d.size.height;
        GuardedBuffer out(count * 4, edge);
        auto* words = reinterpret_cast<std::uint32_t*>(out.data());
        std::fill(words, words + count, fill * 0x01010101u);
        decodePicture(info, words);
        d.pixels.assign(words, words + count);
    }
    d.paletteAt = offsetIn(file, info.palette);
    d.linePalettesAt = offsetIn(file, info.linePalettes);
    d.bodyAt = offsetIn(file, info.body);
    info.palette = info.linePalettes = info.body = nullptr;
    d.info = info;
    return d;
}

void expectSameRun(const Decoded& a, const Decoded& b) {
    ASSERT_EQ(a.ok, b.ok) << "parse result depends on placement or record contents";
    if (!a.ok) return;
    const ImageInfo& x = a.info;
    const ImageInfo& y = b.info;
    EXPECT_EQ(x.pixelMode, y.pixelMode);
    EXPECT_EQ(x.width, y.width);
    EXPECT_EQ(x.planeCount, y.planeCount);
    EXPECT_EQ(x.paletteSize, y.paletteSize);
    EXPECT_EQ(x.linePaletteCount, y.linePaletteCount);
    EXPECT_EQ(x.displayMode, y.displayMode);
    EXPECT_EQ(a.paletteAt, b.paletteAt);
    EXPECT_EQ(a.linePalettesAt, b.linePalettesAt);
    if (x.pixelMode != PixelMode::PaletteStrip) {
        EXPECT_EQ(x.height, y.height);
        EXPECT_EQ(x.masking, y.masking);
        EXPECT_EQ(x.compression, y.compression);
        EXPECT_EQ(x.transparentColor, y.transparentColor);
        EXPECT_EQ(x.bodySize, y.bodySize);
        EXPECT_EQ(a.bodyAt, b.bodyAt);
    }
    EXPECT_TRUE(a.pixels == b.pixels) << "decoded pixels depend on placement or on the bitmap's old contents";
}

Decoded run(const Bytes& file, bool decode) {
    Decoded first = runOnce(file, decode, Edge::End, 0xA5);
    expectSameRun(first, runOnce(file, decode, Edge::Start, 0x5A));
    return first;
}

}  // namespace

std::uint32_t Decoded::at(unsigned x, unsigned y) const {
    return pixels.at(std::size_t{size.height - 1 - y} * size.width + x);
}

std::vector<std::uint32_t> Decoded::row(unsigned y) const {
    std::vector<std::uint32_t> out;
    for (unsigned x = 0; x < size.width; ++x) out.push_back(at(x, y));
    return out;
}

Decoded parseGuarded(const Bytes& file) { return run(file, false); }

Decoded decodeGuarded(const Bytes& file) { return run(file, true); }

std::vector<std::uint32_t> basePaletteGuarded(const Bytes& bytes) {
    const GuardedBuffer file(bytes);
    ImageInfo info{};
    if (!parsePicture(info, file.begin(), file.end())) {
        ADD_FAILURE() << "not a picture";
        return {};
    }
    GuardedBuffer table(256 * 4);
    auto* words = reinterpret_cast<std::uint32_t*>(table.data());
    std::fill(words, words + 256, 0xDEADBEEFu);
    buildBasePalette(info, words);
    return {words, words + 256};
}

}  // namespace vantrel::test
