// Loading a file: opening and mapping it read-only, the header checks, the
// parser's verdict, and what is held or given back on every outcome.
#include <gtest/gtest.h>

#include "tests/windows/support/DllUnderTest.h"
#include "tests/windows/support/PlatformCalls.h"
#include "tests/windows/support/Pictures.h"
#include "tests/windows/support/TestFiles.h"

namespace vantrel::test {
namespace {

constexpr HRESULT fileNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
constexpr HRESULT alreadyInitialized = HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);

Bytes withHeader(const char* magic, const char* type, std::size_t size) {
    Bytes bytes(size, 0);
    for (std::size_t i = 0; i < 4 && i < size; ++i) bytes[i] = static_cast<std::uint8_t>(magic[i]);
    for (std::size_t i = 0; i < 4 && 8 + i < size; ++i) bytes[8 + i] = static_cast<std::uint8_t>(type[i]);
    return bytes;
}

// The handler's picture, judged by the thumbnail it renders.
std::vector<std::uint32_t> renderedPixels(HandlerUnderTest& h) {
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    if (h.provider->GetThumbnail(256, &bitmap, &alpha) != S_OK) return {};
    std::vector<std::uint32_t> pixels = readBitmap(bitmap).pixels;
    DeleteObject(bitmap);
    return pixels;
}

class Initialize : public ::testing::Test {
protected:
    void TearDown() override {
        const PlatformCalls& calls = platform_.calls();
        EXPECT_TRUE(calls.handlesLeftOpen().empty()) << "a file or mapping handle outlived Initialize";
        EXPECT_FALSE(calls.anyViewUnmappedTwice());
    }

    // Only a successful Initialize may keep a view.
    void expectNothingHeld() const {
        EXPECT_TRUE(calls_.handlesLeftOpen().empty());
        EXPECT_TRUE(calls_.viewsLeftMapped().empty());
    }

    WatchedPlatform platform_;
    PlatformCalls& calls_ = platform_.calls();
};

TEST_F(Initialize, OpensForReadingOnlyAndClosesBothHandles) {
    TempFile file(maskedPicture());
    HandlerUnderTest h;
    ASSERT_EQ(h.initializer->Initialize(file.path(), STGM_READWRITE | STGM_SHARE_EXCLUSIVE), S_OK);
    ASSERT_EQ(calls_.fileOpens.size(), 1u);
    const PlatformCalls::FileOpen& open = calls_.fileOpens[0];
    EXPECT_EQ(open.access, static_cast<DWORD>(GENERIC_READ));
    EXPECT_EQ(open.share, static_cast<DWORD>(FILE_SHARE_READ | FILE_SHARE_DELETE));
    EXPECT_EQ(open.disposition, static_cast<DWORD>(OPEN_EXISTING));
    EXPECT_EQ(open.flags, 0u);
    EXPECT_FALSE(open.withSecurity);
    EXPECT_FALSE(open.withTemplate);
    ASSERT_EQ(calls_.mappingProtections.size(), 1u);
    EXPECT_EQ(calls_.mappingProtections[0], static_cast<DWORD>(PAGE_READONLY));
    EXPECT_TRUE(calls_.handlesLeftOpen().empty());
    EXPECT_EQ(calls_.viewsLeftMapped().size(), 1u);  // the view stays for rendering
}

TEST_F(Initialize, FilesThatCannotBeReadGiveFileNotFound) {
    TempFile picture(maskedPicture());
    struct Case {
        const char* what;
        const wchar_t* path;
        bool PlatformCalls::*failure;
    };
    const Case cases[] = {
        {"missing file", L"C:\\no such folder\\no such picture.iff", nullptr},
        {"null path", nullptr, nullptr},
        {"size unknown", picture.path(), &PlatformCalls::failGetFileSizeEx},
        {"no mapping", picture.path(), &PlatformCalls::failCreateFileMapping},
        {"no view", picture.path(), &PlatformCalls::failMapViewOfFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.failure != nullptr) calls_.*c.failure = true;
        {
            HandlerUnderTest h;
            EXPECT_EQ(h.initialize(c.path), fileNotFound);
            expectNothingHeld();
            HBITMAP bitmap = nullptr;
            WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
            EXPECT_EQ(h.provider->GetThumbnail(64, &bitmap, &alpha), E_UNEXPECTED);
        }
        if (c.failure != nullptr) calls_.*c.failure = false;
    }
    EXPECT_TRUE(calls_.unmappedViews.empty());
}

TEST_F(Initialize, FilesThatAreNotPicturesAreInvalid) {
    const Bytes thirteen = withHeader("FORM", "ILBM", 13);
    Bytes parserRejects = maskedPicture();
    parserRejects[20 + 8] = 9;  // "BMHD" plane count 9
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"13 bytes", thirteen},
        {"not FORM", withHeader("RIFF", "ILBM", 64)},
        {"other form type", withHeader("FORM", "ANIM", 64)},
        {"lower-case type", withHeader("FORM", "ilbm", 64)},
        {"parser rejects", parserRejects},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFile file(c.bytes);
        HandlerUnderTest h;
        EXPECT_EQ(h.initialize(file.path()), E_INVALIDARG);
        expectNothingHeld();
    }
    EXPECT_EQ(calls_.views.size(), 5u) << "an empty file is never mapped";
}

TEST_F(Initialize, SecondInitializeAfterSuccessKeepsTheFirstFile) {
    const Bytes first = redTopRowPicture();
    TempFile firstFile(first);
    TempFile secondFile(maskedPicture());
    HandlerUnderTest h;
    ASSERT_EQ(h.initialize(firstFile.path()), S_OK);
    EXPECT_EQ(h.initialize(secondFile.path()), alreadyInitialized);
    EXPECT_EQ(h.initialize(L"C:\\no such picture.iff"), alreadyInitialized);
    EXPECT_EQ(calls_.fileOpens.size(), 1u);
    EXPECT_EQ(renderedPixels(h), expectedThumbnail(first));
}

TEST_F(Initialize, SecondInitializeAfterFailureIsCarriedOutInFull) {
    const Bytes picture = maskedPicture();
    TempFile good(picture);
    TempFile bad(withHeader("FORM", "ILBM", 40));
    HandlerUnderTest h;
    EXPECT_EQ(h.initialize(bad.path()), E_INVALIDARG);
    EXPECT_EQ(h.initialize(L"C:\\no such picture.iff"), fileNotFound);
    ASSERT_EQ(h.initialize(good.path()), S_OK);
    EXPECT_EQ(renderedPixels(h), expectedThumbnail(picture));
    EXPECT_EQ(calls_.viewsLeftMapped().size(), 1u);
}

TEST_F(Initialize, FormLengthFieldIsNotTrusted) {
    for (std::uint32_t formSize : {4u, 0x7FFFFFFFu}) {
        const Bytes picture = IffBuilder("ILBM")
                                  .bmhd({4, 3, 1, 0, 0, 0})
                                  .cmap({0x0000FF, 0xFF0000})
                                  .body(interleavedBody({1, 0, 1, 0, 0, 1, 0, 1, 1, 1, 0, 0}, 4, 3, 1))
                                  .formSize(formSize)
                                  .bytes();
        TempFile file(picture);
        HandlerUnderTest h;
        ASSERT_EQ(h.initialize(file.path()), S_OK) << formSize;
        EXPECT_EQ(renderedPixels(h), expectedThumbnail(picture));
    }
}

}  // namespace
}  // namespace vantrel::test
