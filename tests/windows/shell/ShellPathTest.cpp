// The road a thumbnail takes in Explorer: vantrel-setup.exe registers the DLL,
// COM finds it through the registry and loads it, the handler reads a picture
// and draws it, COM unloads the DLL once it is idle, and uninstall takes the
// registration away again.
#include "SetupHarness.h"

#include "module/Guids.h"
#include "tests/support/IffBuilder.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <propsys.h>
#include <thumbcache.h>

#include <cstdint>
#include <vector>

namespace vantrel::test {
namespace {

constexpr const wchar_t* kForeignHandler = L"{0B2C8D8E-1C4B-4F7A-9E3D-5A6B7C8D9E0F}";
constexpr unsigned kWidth = 4;
constexpr unsigned kHeight = 2;

// Four colours in two planes, with a mask plane hiding the last pixel of the
// bottom row.
std::vector<std::uint8_t> maskedPicture() {
    const std::vector<std::uint32_t> values = {0, 1, 2, 3, 3, 2, 1, 0};
    const std::vector<bool> mask = {true, true, true, true, true, true, true, false};
    return IffBuilder("ILBM")
        .bmhd({kWidth, kHeight, 2, 1, 0, 0})
        .cmap({0x102030, 0xFF0000, 0x00FF00, 0x0000FF})
        .body(interleavedBody(values, kWidth, kHeight, 2, &mask))
        .bytes();
}

// What the Shell is handed for that picture, rows top to bottom: opaque
// colours as they are and the masked pixel as zero in all four bytes.
const std::vector<std::uint32_t> kExpectedPixels = {0xFF102030, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                                    0xFF0000FF, 0xFF00FF00, 0xFFFF0000, 0x00000000};

std::vector<std::uint32_t> topDownPixels(HBITMAP bitmap, LONG& width, LONG& height) {
    BITMAP description{};
    GetObjectW(bitmap, sizeof description, &description);
    width = description.bmWidth;
    height = description.bmHeight;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    HDC dc = CreateCompatibleDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    EXPECT_EQ(rows, height);
    EXPECT_EQ(description.bmBitsPixel, 32);
    return pixels;
}

class ShellPathTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearHandlerKeys(root_);
        stage_.copyIn(VANTREL_DLL_PATH, L"Vantrel.dll");
        stage_.copyIn(VANTREL_SETUP_EXE, L"vantrel-setup.exe");
        stage_.write(L"picture.iff", maskedPicture());
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    }
    void TearDown() override {
        CoUninitialize();
        clearHandlerKeys(root_);
    }

    ProcessResult setup(const std::wstring& command) const {
        return runProgram(stage_.file(L"vantrel-setup.exe"), command + scopeArgument_);
    }

    // Wine's COM does not look at HKEY_CURRENT_USER\Software\Classes, and
    // there every user may write the machine's classes.
    const bool perMachine_ = runningOnWine();
    const HKEY root_ = perMachine_ ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::wstring scopeArgument_ = perMachine_ ? L"" : L" --user";
    StageFolder stage_;
};

TEST_F(ShellPathTest, RegisteredHandlerDrawsTheThumbnailAndUnloadsWhenIdle) {
    writeString(root_, thumbnailKeyPath(L".lbm"), nullptr, kForeignHandler);
    ProcessResult result = setup(L"install");
    ASSERT_EQ(result.exitCode, 0u) << result.errors;

    IInitializeWithFile* initializer = nullptr;
    ASSERT_EQ(CoCreateInstance(handlerClsid, nullptr, CLSCTX_INPROC_SERVER, iidInitializeWithFile,
                               reinterpret_cast<void**>(&initializer)),
              S_OK);
    // The DLL that COM loaded is the one the registry names.
    wchar_t loaded[MAX_PATH] = L"";
    GetModuleFileNameW(GetModuleHandleW(L"Vantrel.dll"), loaded, MAX_PATH);
    EXPECT_EQ(CompareStringOrdinal(loaded, -1, stage_.file(L"Vantrel.dll").c_str(), -1, TRUE), CSTR_EQUAL);

    ASSERT_EQ(initializer->Initialize(stage_.file(L"picture.iff").c_str(), STGM_READ), S_OK);
    IThumbnailProvider* provider = nullptr;
    ASSERT_EQ(initializer->QueryInterface(iidThumbnailProvider, reinterpret_cast<void**>(&provider)), S_OK);
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    ASSERT_EQ(provider->GetThumbnail(256, &bitmap, &alpha), S_OK);
    EXPECT_EQ(alpha, WTSAT_ARGB);
    LONG width = 0;
    LONG height = 0;
    EXPECT_EQ(topDownPixels(bitmap, width, height), kExpectedPixels);
    EXPECT_EQ(width, static_cast<LONG>(kWidth));
    EXPECT_EQ(height, static_cast<LONG>(kHeight));
    DeleteObject(bitmap);
    EXPECT_EQ(provider->Release(), 1u);
    EXPECT_EQ(initializer->Release(), 0u);

    CoFreeUnusedLibraries();
    EXPECT_EQ(GetModuleHandleW(L"Vantrel.dll"), nullptr) << "COM kept the idle DLL loaded";

    result = setup(L"uninstall");
    ASSERT_EQ(result.exitCode, 0u) << result.errors;
    EXPECT_FALSE(keyExists(root_, classKeyPath()));
    EXPECT_FALSE(keyExists(root_, extensionKeyPath(L".iff")));
    EXPECT_EQ(readString(root_, thumbnailKeyPath(L".lbm"), nullptr).value_or(L""), kForeignHandler);
    EXPECT_EQ(CoCreateInstance(handlerClsid, nullptr, CLSCTX_INPROC_SERVER, iidInitializeWithFile,
                               reinterpret_cast<void**>(&initializer)),
              REGDB_E_CLASSNOTREG);
}

}  // namespace
}  // namespace vantrel::test
