#include "tests/windows/support/Pictures.h"

#include "decode/Decoder.h"
#include "decode/Premultiply.h"
#include "iff/Parser.h"

namespace vantrel::test {

Bytes maskedPicture() {
    const std::vector<std::uint32_t> values = {0, 1, 2, 3, 1,  //
                                               3, 2, 1, 0, 2,  //
                                               1, 1, 3, 3, 0};
    const std::vector<bool> mask = {true, false, true, true, true,  //
                                    true, true, false, true, true,  //
                                    false, true, true, true, false};
    const Bytes rows = interleavedBody(values, 5, 3, 2, &mask);
    const std::size_t rowSize = rows.size() / 3;
    Bytes packed;
    for (std::size_t r = 0; r < 3; ++r) {
        const Bytes row(rows.begin() + static_cast<std::ptrdiff_t>(r * rowSize),
                        rows.begin() + static_cast<std::ptrdiff_t>((r + 1) * rowSize));
        const Bytes p = packByteRun1(row);
        packed.insert(packed.end(), p.begin(), p.end());
    }
    return IffBuilder("ILBM")
        .bmhd({5, 3, 2, 1, 1, 0})
        .cmap({0x102030, 0xF0E0D0, 0x00FF00, 0x3366CC})
        .body(packed)
        .bytes();
}

Bytes trueColourPicture(const std::vector<std::uint32_t>& argb, unsigned width, unsigned height) {
    // Planes 0-7 carry red, 8-15 green, 16-23 blue, 24-31 alpha.
    std::vector<std::uint32_t> values;
    for (std::uint32_t p : argb) {
        values.push_back((p & 0xFF000000u) | (p & 0xFFu) << 16 | (p & 0xFF00u) | ((p >> 16) & 0xFFu));
    }
    return IffBuilder("ILBM")
        .bmhd({static_cast<std::uint16_t>(width), static_cast<std::uint16_t>(height), 32, 0, 0, 0})
        .body(interleavedBody(values, width, height, 32))
        .bytes();
}

Bytes redTopRowPicture() {
    const std::vector<std::uint32_t> values = {1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    return IffBuilder("ILBM").bmhd({4, 3, 1, 0, 0, 0}).cmap({0x0000FF, 0xFF0000}).body(interleavedBody(values, 4, 3, 1)).bytes();
}

Bytes paletteStripPicture(const std::vector<std::uint32_t>& rgb) {
    return IffBuilder("ILBM").bmhd({0, 0, 0, 0, 0, 0}).cmap(rgb).bytes();
}

std::vector<std::uint32_t> expectedThumbnail(const Bytes& file) {
    ImageInfo info;
    if (!parsePicture(info, file.data(), file.data() + file.size())) return {};
    const OutputSize size = outputSize(info);
    std::vector<std::uint32_t> pixels(std::size_t{size.width} * size.height);
    decodePicture(info, pixels.data());
    premultiplyPixels(pixels.data(), pixels.size());
    return pixels;
}

BitmapContents readBitmap(HBITMAP bitmap) {
    BitmapContents contents;
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof section, &section) != sizeof section) return contents;
    contents.width = section.dsBmih.biWidth;
    contents.height = section.dsBmih.biHeight;
    contents.bitsPerPixel = section.dsBmih.biBitCount;
    const auto* bits = static_cast<const std::uint32_t*>(section.dsBm.bmBits);
    const std::size_t count = static_cast<std::size_t>(section.dsBm.bmWidth) * static_cast<std::size_t>(section.dsBm.bmHeight);
    if (bits != nullptr) contents.pixels.assign(bits, bits + count);
    return contents;
}

}  // namespace vantrel::test
