// Rendering: the bitmap's shape, its pixels against the core decoder's, the
// premultiplied alpha, and the failures of GetThumbnail.
#include <gtest/gtest.h>

#include "tests/windows/support/DllUnderTest.h"
#include "tests/windows/support/PlatformCalls.h"
#include "tests/windows/support/Pictures.h"
#include "tests/windows/support/TestFiles.h"

namespace vantrel::test {
namespace {

HBITMAP const untouchedBitmap = reinterpret_cast<HBITMAP>(std::uintptr_t{0xBAADF00D});
constexpr WTS_ALPHATYPE untouchedAlpha = static_cast<WTS_ALPHATYPE>(3);

// A bitmap handed to the test, deleted with it.
struct Thumbnail {
    HRESULT result = E_FAIL;
    HBITMAP bitmap = untouchedBitmap;
    WTS_ALPHATYPE alpha = untouchedAlpha;

    explicit Thumbnail(IThumbnailProvider* provider, UINT cx = 256) {
        result = provider->GetThumbnail(cx, &bitmap, &alpha);
    }
    ~Thumbnail() {
        if (result == S_OK && bitmap != nullptr) DeleteObject(bitmap);
    }
};

class Rendering : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(dll().canUnloadNow(), S_OK) << "references left behind"; }
};

TEST_F(Rendering, WithoutAPictureNothingIsRead) {
    WatchedPlatform platform;
    HandlerUnderTest h;
    Thumbnail thumbnail(h.provider);
    EXPECT_EQ(thumbnail.result, E_UNEXPECTED);
    EXPECT_EQ(thumbnail.bitmap, nullptr);
    EXPECT_EQ(thumbnail.alpha, WTSAT_UNKNOWN);
    EXPECT_TRUE(platform.calls().bitmapRequests.empty());
}

TEST_F(Rendering, NullOutPointersAreRefused) {
    TempFile file(maskedPicture());
    WatchedPlatform platform;
    HandlerUnderTest h;
    ASSERT_EQ(h.initialize(file.path()), S_OK);
    HBITMAP bitmap = untouchedBitmap;
    WTS_ALPHATYPE alpha = untouchedAlpha;
    EXPECT_EQ(h.provider->GetThumbnail(64, nullptr, &alpha), E_POINTER);
    EXPECT_EQ(alpha, WTSAT_UNKNOWN);
    EXPECT_EQ(h.provider->GetThumbnail(64, &bitmap, nullptr), E_POINTER);
    EXPECT_EQ(bitmap, nullptr);
    EXPECT_EQ(h.provider->GetThumbnail(64, nullptr, nullptr), E_POINTER);
    EXPECT_TRUE(platform.calls().bitmapRequests.empty());
}

TEST_F(Rendering, BitmapFailuresGiveOutOfMemory) {
    TempFile emptyStrip(paletteStripPicture({}));
    TempFile picture(maskedPicture());
    WatchedPlatform platform;
    {
        HandlerUnderTest h;
        ASSERT_EQ(h.initialize(emptyStrip.path()), S_OK);  // a colour map of no colours
        Thumbnail thumbnail(h.provider);
        EXPECT_EQ(thumbnail.result, E_OUTOFMEMORY);
        EXPECT_EQ(thumbnail.bitmap, nullptr);
        EXPECT_EQ(thumbnail.alpha, WTSAT_UNKNOWN);
    }
    {
        platform.calls().failCreateDIBSection = true;
        HandlerUnderTest h;
        ASSERT_EQ(h.initialize(picture.path()), S_OK);
        Thumbnail thumbnail(h.provider);
        EXPECT_EQ(thumbnail.result, E_OUTOFMEMORY);
        EXPECT_EQ(thumbnail.bitmap, nullptr);
        EXPECT_EQ(thumbnail.alpha, WTSAT_UNKNOWN);
    }
}

TEST_F(Rendering, BitmapHasThePicturesOwnSizeWhateverIsAsked) {
    TempFile file(maskedPicture());
    WatchedPlatform platform;
    HandlerUnderTest h;
    ASSERT_EQ(h.initialize(file.path()), S_OK);
    for (UINT cx : {1u, 5u, 96u, 256u, 10000u}) {
        Thumbnail thumbnail(h.provider, cx);
        ASSERT_EQ(thumbnail.result, S_OK);
        EXPECT_EQ(thumbnail.alpha, WTSAT_ARGB);
        const BitmapContents contents = readBitmap(thumbnail.bitmap);
        EXPECT_EQ(contents.width, 5);
        EXPECT_EQ(contents.height, 3);
        EXPECT_EQ(contents.bitsPerPixel, 32);
    }
    // Asked for bottom-up (positive height), 32 bits, no compression or colour table.
    ASSERT_FALSE(platform.calls().bitmapRequests.empty());
    const BITMAPINFOHEADER& asked = platform.calls().bitmapRequests.back();
    EXPECT_EQ(asked.biSize, 40u);
    EXPECT_EQ(asked.biWidth, 5);
    EXPECT_EQ(asked.biHeight, 3);
    EXPECT_EQ(asked.biPlanes, 1);
    EXPECT_EQ(asked.biBitCount, 32);
    EXPECT_EQ(asked.biCompression, static_cast<DWORD>(BI_RGB));
    EXPECT_EQ(asked.biSizeImage, 5u * 3u * 4u);
    EXPECT_EQ(asked.biXPelsPerMeter, 0);
    EXPECT_EQ(asked.biYPelsPerMeter, 0);
    EXPECT_EQ(asked.biClrUsed, 0u);
    EXPECT_EQ(asked.biClrImportant, 0u);
}

TEST_F(Rendering, TopRowOfThePictureIsTheLastRowInMemory) {
    TempFile file(redTopRowPicture());
    HandlerUnderTest h;
    ASSERT_EQ(h.initialize(file.path()), S_OK);
    Thumbnail thumbnail(h.provider);
    ASSERT_EQ(thumbnail.result, S_OK);
    const std::vector<std::uint32_t> pixels = readBitmap(thumbnail.bitmap).pixels;
    ASSERT_EQ(pixels.size(), 12u);
    for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(pixels[i], 0xFF0000FFu) << i;
    for (std::size_t i = 8; i < 12; ++i) EXPECT_EQ(pixels[i], 0xFFFF0000u) << i;
}

TEST_F(Rendering, PixelsArePremultipliedKeepingAlpha) {
    const Bytes picture = trueColourPicture({0x80FFFFFF, 0x00123456, 0xFF123456,  //
                                             0x40804020, 0xFFFFFFFF, 0x01FF00FF},
                                            3, 2);
    TempFile file(picture);
    HandlerUnderTest h;
    ASSERT_EQ(h.initialize(file.path()), S_OK);
    Thumbnail thumbnail(h.provider);
    ASSERT_EQ(thumbnail.result, S_OK);
    EXPECT_EQ(thumbnail.alpha, WTSAT_ARGB);
    // Memory holds the second file row first.
    const std::vector<std::uint32_t> expected = {0x40201008, 0xFFFFFFFF, 0x01010001,  //
                                                 0x80808080, 0x00000000, 0xFF123456};
    EXPECT_EQ(readBitmap(thumbnail.bitmap).pixels, expected);
}

TEST_F(Rendering, PixelsAreTheCoreDecodersPremultiplied) {
    const std::vector<std::pair<const char*, Bytes>> pictures = {
        {"mask plane, ByteRun1", maskedPicture()},
        {"true colour with alpha", trueColourPicture({0x80FF8040, 0x00000000, 0xFFFFFFFF, 0x7F7F7F7F}, 2, 2)},
        {"palette strip", paletteStripPicture({0x112233, 0x445566, 0x778899})},
        {"chunky", IffBuilder("PBM ").bmhd({3, 2, 8, 0, 0, 0}).cmap({0x000000, 0xFFFFFF, 0x808080}).body({0, 1, 2, 0, 2, 1, 0, 0}).bytes()},
    };
    for (const auto& [what, bytes] : pictures) {
        SCOPED_TRACE(what);
        TempFile file(bytes);
        HandlerUnderTest h;
        ASSERT_EQ(h.initialize(file.path()), S_OK);
        Thumbnail thumbnail(h.provider);
        ASSERT_EQ(thumbnail.result, S_OK);
        const std::vector<std::uint32_t> expected = expectedThumbnail(bytes);
        ASSERT_FALSE(expected.empty());
        EXPECT_EQ(readBitmap(thumbnail.bitmap).pixels, expected);
    }
}

TEST_F(Rendering, EveryThumbnailIsANewBitmapOfTheSamePicture) {
    TempFile file(maskedPicture());
    HandlerUnderTest h;
    ASSERT_EQ(h.initialize(file.path()), S_OK);
    Thumbnail first(h.provider);
    Thumbnail second(h.provider, 32);
    ASSERT_EQ(first.result, S_OK);
    ASSERT_EQ(second.result, S_OK);
    EXPECT_NE(first.bitmap, second.bitmap);
    EXPECT_EQ(readBitmap(first.bitmap).pixels, readBitmap(second.bitmap).pixels);
}

TEST_F(Rendering, SamplePicturesMatchTheCoreDecoder) {
    const std::vector<std::wstring> files = filesIn(VANTREL_CORPUS_DIR);
    ASSERT_FALSE(files.empty()) << "no sample pictures in " << VANTREL_CORPUS_DIR;
    for (const std::wstring& path : files) {
        SCOPED_TRACE(testing::PrintToString(path));
        const Bytes bytes = readWholeFile(path);
        const std::vector<std::uint32_t> expected = expectedThumbnail(bytes);
        HandlerUnderTest h;
        if (expected.empty()) {
            EXPECT_EQ(h.initialize(path.c_str()), E_INVALIDARG);
            continue;
        }
        ASSERT_EQ(h.initialize(path.c_str()), S_OK);
        Thumbnail thumbnail(h.provider);
        ASSERT_EQ(thumbnail.result, S_OK);
        EXPECT_TRUE(readBitmap(thumbnail.bitmap).pixels == expected);
    }
}

}  // namespace
}  // namespace vantrel::test
