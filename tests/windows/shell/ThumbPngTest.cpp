// vantrel-thumb.exe under the registered handler: the PNG that WIC writes
// holds the core decoder's pixels at full size, and --size fits it into a
// square, keeping its aspect and a flat colour, never enlarging it.
#include "InstalledHandler.h"

#include "decode/Decoder.h"
#include "decode/Premultiply.h"
#include "fuzz/TestPictures.h"
#include "iff/Parser.h"
#include "tests/windows/support/Pictures.h"
#include "tests/windows/support/TestFiles.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <wincodec.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::test {
namespace {

struct Png {
    UINT width = 0;
    UINT height = 0;
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, straight alpha, rows top to bottom
};

template <class T>
void release(T*& p) {
    if (p != nullptr) p->Release();
    p = nullptr;
}

// The PNG decoded by WIC into straight BGRA; width 0 when it cannot be read.
Png readPng(const std::wstring& path) {
    Png png;
    IWICImagingFactory* factory = nullptr;
    IWICBitmapDecoder* decoder = nullptr;
    IWICBitmapFrameDecode* frame = nullptr;
    IWICFormatConverter* converter = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) {
        hr = factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder);
    }
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
    if (SUCCEEDED(hr)) hr = factory->CreateFormatConverter(&converter);
    if (SUCCEEDED(hr)) {
        hr = converter->Initialize(frame, GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                   WICBitmapPaletteTypeCustom);
    }
    UINT width = 0;
    UINT height = 0;
    if (SUCCEEDED(hr)) hr = converter->GetSize(&width, &height);
    if (SUCCEEDED(hr)) {
        png.pixels.resize(std::size_t{width} * height);
        hr = converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(png.pixels.size() * 4),
                                   reinterpret_cast<BYTE*>(png.pixels.data()));
    }
    if (SUCCEEDED(hr)) {
        png.width = width;
        png.height = height;
    }
    release(converter);
    release(frame);
    release(decoder);
    release(factory);
    return png;
}

// The core decoder's straight pixels, rows top to bottom.
Png corePicture(const Bytes& file) {
    ImageInfo info;
    if (!parsePicture(info, file.data(), file.data() + file.size())) return {};
    const OutputSize size = outputSize(info);
    std::vector<std::uint32_t> bottomUp(std::size_t{size.width} * size.height);
    decodePicture(info, bottomUp.data());
    Png picture{size.width, size.height, {}};
    for (std::uint32_t row = size.height; row-- > 0;) {
        const auto start = bottomUp.begin() + static_cast<std::ptrdiff_t>(std::size_t{row} * size.width);
        picture.pixels.insert(picture.pixels.end(), start, start + size.width);
    }
    return picture;
}

std::uint32_t premultiplied(std::uint32_t pixel) {
    premultiplyPixels(&pixel, 1);
    return pixel;
}

// Whether a PNG pixel says what the core decoder's does, as far as the
// premultiplied bitmap the Shell is handed can carry it: opaque pixels
// exactly, transparent ones by their alpha alone, the rest with the same
// alpha and colours that premultiply to within one level of each other.
bool samePixel(std::uint32_t png, std::uint32_t core) {
    const std::uint32_t alpha = core >> 24;
    if (png >> 24 != alpha) return false;
    if (alpha == 0 || alpha == 255) return alpha == 0 || png == core;
    const std::uint32_t a = premultiplied(png);
    const std::uint32_t b = premultiplied(core);
    for (const int shift : {0, 8, 16}) {
        const int difference = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
        if (difference < -1 || difference > 1) return false;
    }
    return true;
}

// How many pixels of png differ from expected (all of them when the sizes differ).
std::size_t differences(const Png& png, const Png& expected) {
    if (png.width != expected.width || png.height != expected.height) return expected.pixels.size() + 1;
    std::size_t count = 0;
    for (std::size_t i = 0; i < png.pixels.size(); ++i) if (!samePixel(png.pixels[i], expected.pixels[i])) ++count;
    return count;
}

std::wstring quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

class ThumbPngTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        handler_.stage().copyIn(VANTREL_THUMB_EXE, L"vantrel-thumb.exe");
    }
    void TearDown() override { CoUninitialize(); }

    std::wstring file(const std::wstring& name) const { return handler_.stage().file(name); }

    ProcessResult thumb(const std::wstring& arguments) const {
        return runProgram(file(L"vantrel-thumb.exe"), arguments);
    }

    // The picture written to the stage and rendered into NAME.png.
    Png render(const std::string& name, const Bytes& picture, const std::wstring& options = L"") {
        const std::wstring base(name.begin(), name.end());
        handler_.stage().write(base + L".iff", picture);
        const ProcessResult result = thumb(options + quoted(file(base + L".iff")) + L" " + quoted(file(base + L".png")));
        EXPECT_EQ(result.exitCode, 0u) << name << ": " << result.errors;
        return readPng(file(base + L".png"));
    }

    InstalledHandler handler_;
};

TEST_F(ThumbPngTest, FullSizePngHoldsTheCoreDecodersPixels) {
    std::vector<fuzz::TestPicture> subjects = fuzz::testPictures();
    for (const std::wstring& path : filesIn(VANTREL_CORPUS_DIR)) {
        if (path.size() < 3 || path.compare(path.size() - 3, 3, L".md") != 0) {
            subjects.push_back({"corpus-" + std::to_string(subjects.size()), readWholeFile(path), false, {}});
        }
    }
    std::size_t rendered = 0;
    for (const fuzz::TestPicture& s : subjects) {
        const Png expected = corePicture(s.bytes);
        if (expected.width == 0) continue;  // nothing to draw: the handler refuses it
        EXPECT_EQ(differences(render(s.name, s.bytes), expected), 0u) << s.name;
        ++rendered;
    }
    EXPECT_GT(rendered, 40u);
}

// 300 x 100, opaque, every pixel 0x3366CC; 40 x 400, every pixel 0x80336699.
Bytes flatWidePicture() {
    const std::vector<std::uint32_t> values(300 * 100, 1);
    return IffBuilder("ILBM").bmhd({300, 100, 1, 0, 0, 0}).cmap({0x000000, 0x3366CC}).body(interleavedBody(values, 300, 100, 1)).bytes();
}
Bytes flatTallPicture() { return trueColourPicture(std::vector<std::uint32_t>(40 * 400, 0x80336699), 40, 400); }

TEST_F(ThumbPngTest, SizeFitsTheSquareKeepsAspectAndColourAndNeverEnlarges) {
    struct Case {
        const char* name;
        Bytes picture;
        const wchar_t* size;
        UINT width, height;
        std::uint32_t colour;
    };
    const Case cases[] = {
        {"wide-64", flatWidePicture(), L"64", 64, 21, 0xFF3366CC},
        {"wide-1", flatWidePicture(), L"1", 1, 1, 0xFF3366CC},
        {"wide-300", flatWidePicture(), L"300", 300, 100, 0xFF3366CC},
        {"wide-1000", flatWidePicture(), L"1000", 300, 100, 0xFF3366CC},
        {"tall-64", flatTallPicture(), L"64", 6, 64, 0x80336699},
        {"tall-399", flatTallPicture(), L"399", 40, 399, 0x80336699},
    };
    for (const Case& c : cases) {
        const Png png = render(c.name, c.picture, std::wstring(L"--size ") + c.size + L" ");
        const Png flat{c.width, c.height, std::vector<std::uint32_t>(std::size_t{c.width} * c.height, c.colour)};
        EXPECT_EQ(png.width, c.width) << c.name;
        EXPECT_EQ(png.height, c.height) << c.name;
        EXPECT_EQ(differences(png, flat), 0u) << c.name;
    }
}

TEST_F(ThumbPngTest, FailuresWriteNothing) {
    handler_.stage().write(L"picture.iff", flatWidePicture());
    handler_.stage().write(L"not-a-picture.iff", Bytes(64, 0x41));
    ASSERT_TRUE(CreateDirectoryW(file(L"folder.png").c_str(), nullptr));

    ProcessResult result = thumb(quoted(file(L"not-a-picture.iff")) + L" " + quoted(file(L"out.png")));
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_NE(result.errors.find("not-a-picture.iff"), std::string::npos) << result.errors;
    EXPECT_EQ(GetFileAttributesW(file(L"out.png").c_str()), INVALID_FILE_ATTRIBUTES);

    // The PNG is complete before it meets the folder in its way.
    result = thumb(quoted(file(L"picture.iff")) + L" " + quoted(file(L"folder.png")));
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_NE(result.errors.find("folder.png"), std::string::npos) << result.errors;
    EXPECT_EQ(GetFileAttributesW(file(L"folder.png.partial").c_str()), INVALID_FILE_ATTRIBUTES);

    result = thumb(quoted(file(L"picture.iff")) + L" " + quoted(file(L"PICTURE.IFF")));
    EXPECT_EQ(result.exitCode, 2u);
    EXPECT_NE(result.errors.find("picture itself"), std::string::npos) << result.errors;
    EXPECT_EQ(readWholeFile(file(L"picture.iff")), flatWidePicture());
}

}  // namespace
}  // namespace vantrel::test
