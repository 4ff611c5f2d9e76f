// The module frame: unloading, identifiers and version block.
#include <gtest/gtest.h>

#include <string>

#include "module/Guids.h"
#include "tests/windows/support/DllUnderTest.h"

namespace vantrel::test {
namespace {

TEST(Module, CanUnloadRightAfterLoad) { EXPECT_EQ(dll().canUnloadNow(), S_OK); }

TEST(Module, InterfaceIdentifiersAreThePlatformOnes) {
    EXPECT_TRUE(sameGuid(iidUnknown, __uuidof(IUnknown)));
    EXPECT_TRUE(sameGuid(iidClassFactory, __uuidof(IClassFactory)));
    EXPECT_TRUE(sameGuid(iidInitializeWithFile, __uuidof(IInitializeWithFile)));
    EXPECT_TRUE(sameGuid(iidThumbnailProvider, __uuidof(IThumbnailProvider)));
    // The text form that registration writes names the same class.
    CLSID parsed{};
    ASSERT_EQ(CLSIDFromString(handlerClsidString, &parsed), NOERROR);
    EXPECT_TRUE(sameGuid(parsed, handlerClsid));
    EXPECT_FALSE(sameGuid(handlerClsid, iidUnknown));
}

// The version block is read from the file, never run, so the same tests also
// check a build for another machine: VANTREL_VERSION_DLL names that file.
std::wstring versionDllPath() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetEnvironmentVariableW(L"VANTREL_VERSION_DLL", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : dllPath();
}

class VersionBlock : public ::testing::Test {
protected:
    void SetUp() override {
        DWORD ignored = 0;
        const DWORD size = GetFileVersionInfoSizeW(path_.c_str(), &ignored);
        ASSERT_NE(size, 0u);
        block_.resize(size);
        ASSERT_TRUE(GetFileVersionInfoW(path_.c_str(), 0, size, block_.data()));
    }

    const void* value(const wchar_t* key, UINT* length) {
        void* found = nullptr;
        if (!VerQueryValueW(block_.data(), key, &found, length)) return nullptr;
        return found;
    }

    std::wstring string(const wchar_t* name) {
        UINT length = 0;
        const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        const auto* text = static_cast<const wchar_t*>(value(key.c_str(), &length));
        return text != nullptr ? std::wstring(text) : L"(missing)";
    }

    const std::wstring path_ = versionDllPath();
    std::vector<unsigned char> block_;
};

TEST_F(VersionBlock, FixedPart) {
    UINT length = 0;
    const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value(L"\\", &length));
    ASSERT_NE(fixed, nullptr);
    ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
    EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(fixed->dwFileVersionMS, (24u << 16) | 5u);
    EXPECT_EQ(fixed->dwFileVersionLS, 11u << 16);
    EXPECT_EQ(fixed->dwProductVersionMS, (24u << 16) | 5u);
    EXPECT_EQ(fixed->dwProductVersionLS, 11u << 16);
    EXPECT_EQ(fixed->dwFileOS, static_cast<DWORD>(VOS_NT_WINDOWS32));
    EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_DLL));
    EXPECT_EQ(fixed->dwFileFlags & fixed->dwFileFlagsMask, 0u);
}

TEST_F(VersionBlock, TranslationAndLanguage) {
    UINT length = 0;
    const auto* translation = static_cast<const WORD*>(value(L"\\VarFileInfo\\Translation", &length));
    ASSERT_NE(translation, nullptr);
    ASSERT_EQ(length, 4u);
    EXPECT_EQ(translation[0], 0x0409);
    EXPECT_EQ(translation[1], 0x04B0);
    // As a data file, which loads whatever machine the file is built for.
    HMODULE image = LoadLibraryExW(path_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(image, nullptr);
    EXPECT_NE(FindResourceExW(image, MAKEINTRESOURCEW(16), MAKEINTRESOURCEW(1), 1033), nullptr);
    FreeLibrary(image);
}

TEST_F(VersionBlock, Strings) {
    EXPECT_EQ(string(L"CompanyName"), L"Quennet");
    EXPECT_EQ(string(L"FileDescription"), L"Thumbnail handler for Amiga Bitmaps");
    EXPECT_EQ(string(L"FileVersion"), L"24.5.11");
    EXPECT_EQ(string(L"InternalName"), L"Vantrel.dll");
    EXPECT_EQ(string(L"OriginalFilename"), L"Vantrel.dll");
    EXPECT_EQ(string(L"ProductName"), L"Vantrel");
    EXPECT_EQ(string(L"ProductVersion"), L"24.5.11");
}

}  // namespace
}  // namespace vantrel::test
