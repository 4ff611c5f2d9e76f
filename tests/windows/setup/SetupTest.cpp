// vantrel-setup.exe run as a user would run it, its registry entries read back.
#include "SetupHarness.h"

#include "module/Guids.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <sstream>

namespace vantrel::test {
namespace {

constexpr const wchar_t* kForeignHandler = L"{0B2C8D8E-1C4B-4F7A-9E3D-5A6B7C8D9E0F}";

std::size_t countLines(const std::string& text, const std::string& start) {
    std::istringstream lines(text);
    std::size_t count = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind(start, 0) == 0) ++count;
    }
    return count;
}

// The start of a PE file: a DOS header pointing at the PE signature and the
// file header with the given machine and characteristics (setup reads no more).
std::vector<std::uint8_t> peHeaders(WORD machine, WORD characteristics = IMAGE_FILE_DLL | IMAGE_FILE_EXECUTABLE_IMAGE) {
    std::vector<std::uint8_t> bytes(0x40 + 24 + 240, 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    bytes[0x3C] = 0x40;
    bytes[0x40] = 'P';
    bytes[0x41] = 'E';
    bytes[0x44] = static_cast<std::uint8_t>(machine);
    bytes[0x45] = static_cast<std::uint8_t>(machine >> 8);
    bytes[0x40 + 22] = static_cast<std::uint8_t>(characteristics);
    bytes[0x40 + 23] = static_cast<std::uint8_t>(characteristics >> 8);
    return bytes;
}

std::uint64_t fileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    EXPECT_TRUE(GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data));
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearHandlerKeys(HKEY_CURRENT_USER);
        stage_.copyIn(VANTREL_SETUP_EXE, L"vantrel-setup.exe");
        // The tests run as x64 programs, so setup sees an x64 system.
        stage_.write(L"Vantrel.dll", peHeaders(IMAGE_FILE_MACHINE_AMD64));
    }
    void TearDown() override { clearHandlerKeys(HKEY_CURRENT_USER); }

    ProcessResult setup(const std::wstring& arguments) const {
        return runProgram(stage_.file(L"vantrel-setup.exe"), arguments);
    }

    // Every key and value that install writes, in the given hive.
    void expectRegistered(HKEY root) const {
        EXPECT_EQ(readString(root, classKeyPath(), nullptr).value_or(L""),
                  L"Vantrel thumbnail handler for Amiga pictures");
        EXPECT_EQ(readDword(root, classKeyPath(), L"DisableProcessIsolation"), std::optional<DWORD>(1));
        const std::wstring server = classKeyPath() + L"\\InprocServer32";
        EXPECT_EQ(readString(root, server, nullptr).value_or(L""), stage_.file(L"Vantrel.dll"));
        EXPECT_EQ(readString(root, server, L"ThreadingModel").value_or(L""), L"Apartment");
        expectUninstallEntry(root);
    }

    // The entry in Settings > Apps, value by value.
    void expectUninstallEntry(HKEY root) const {
        const std::wstring key = uninstallKeyPath();
        const std::wstring command = L"\"" + stage_.file(L"vantrel-setup.exe") + L"\" uninstall" +
                                     (root == HKEY_CURRENT_USER ? L" --user" : L"");
        const std::wstring folder = stage_.file(L"");
        EXPECT_EQ(readString(root, key, L"DisplayName").value_or(L""), L"Vantrel");
        EXPECT_EQ(readString(root, key, L"DisplayVersion").value_or(L""), L"24.5.11");
        EXPECT_EQ(readString(root, key, L"Publisher").value_or(L""), L"Quennet");
        EXPECT_EQ(readString(root, key, L"InstallLocation").value_or(L""), folder.substr(0, folder.size() - 1));
        EXPECT_EQ(readString(root, key, L"UninstallString").value_or(L""), command);
        EXPECT_EQ(readString(root, key, L"QuietUninstallString").value_or(L""), command);
        EXPECT_EQ(readDword(root, key, L"NoModify"), std::optional<DWORD>(1));
        EXPECT_EQ(readDword(root, key, L"NoRepair"), std::optional<DWORD>(1));
        std::uint64_t bytes = fileSize(stage_.file(L"Vantrel.dll")) + fileSize(stage_.file(L"vantrel-setup.exe"));
        if (GetFileAttributesW(stage_.file(L"README.txt").c_str()) != INVALID_FILE_ATTRIBUTES) {
            bytes += fileSize(stage_.file(L"README.txt"));
        }
        EXPECT_EQ(readDword(root, key, L"EstimatedSize"), std::optional<DWORD>(static_cast<DWORD>((bytes + 1023) / 1024)));
    }

    // Nothing of the handler's in the hive.
    void expectNothingWritten(HKEY root) const {
        EXPECT_FALSE(keyExists(root, classKeyPath()));
        EXPECT_FALSE(keyExists(root, uninstallKeyPath()));
        for (const std::wstring& extension : kPictureExtensions) {
            EXPECT_FALSE(keyExists(root, extensionKeyPath(extension))) << narrow(extension);
        }
    }

    StageFolder stage_;
};

TEST_F(SetupTest, InstallForUserWritesTheClassAndEveryPictureExtension) {
    stage_.write(L"README.txt", std::vector<std::uint8_t>(5000, 'x'));  // counted in the installed size
    const ProcessResult result = setup(L"install --user");
    ASSERT_EQ(result.exitCode, 0u) << result.errors;
    expectRegistered(HKEY_CURRENT_USER);
    for (const std::wstring& extension : kPictureExtensions) {
        EXPECT_EQ(readString(HKEY_CURRENT_USER, thumbnailKeyPath(extension), nullptr).value_or(L""),
                  handlerClsidString)
            << "extension " << std::string(extension.begin(), extension.end());
    }
    // Netpbm's portable bitmaps share the ".pbm" name and are not claimed.
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, extensionKeyPath(L".pbm")));
    EXPECT_EQ(countLines(result.output, "wrote HKEY_CURRENT_USER\\"), 3 + kPictureExtensions.size()) << result.output;
    EXPECT_TRUE(result.errors.empty()) << result.errors;

    // Installing again changes nothing and succeeds.
    EXPECT_EQ(setup(L"--user install").exitCode, 0u);
    expectRegistered(HKEY_CURRENT_USER);
}

TEST_F(SetupTest, UninstallForUserLeavesNoKeyOfItsOwn) {
    ASSERT_EQ(setup(L"install --user").exitCode, 0u);
    const ProcessResult result = setup(L"uninstall --user");
    ASSERT_EQ(result.exitCode, 0u) << result.errors;
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, classKeyPath()));
    for (const std::wstring& extension : kPictureExtensions) {
        EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, extensionKeyPath(extension)));
    }
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, uninstallKeyPath()));
    EXPECT_EQ(countLines(result.output, "removed HKEY_CURRENT_USER\\"), 3 + 3 * kPictureExtensions.size())
        << result.output;

    // Nothing left to remove is not an error, and nothing is touched.
    writeString(HKEY_CURRENT_USER, extensionKeyPath(L".iff"), nullptr, L"Paint.Picture");
    const ProcessResult again = setup(L"uninstall --user");
    EXPECT_EQ(again.exitCode, 0u) << again.errors;
    EXPECT_NE(again.output.find("nothing to uninstall: Vantrel is not registered in HKEY_CURRENT_USER"),
              std::string::npos)
        << again.output;
    EXPECT_EQ(countLines(again.output, "removed "), 0u);
    EXPECT_EQ(countLines(again.output, "notified"), 0u);
    EXPECT_EQ(readString(HKEY_CURRENT_USER, extensionKeyPath(L".iff"), nullptr).value_or(L""), L"Paint.Picture");
}

// Only the entry in Settings left over (its other keys removed by hand): the
// uninstall still runs and takes it away.
TEST_F(SetupTest, UninstallRemovesALeftOverEntry) {
    ASSERT_EQ(setup(L"install --user").exitCode, 0u);
    deleteTree(HKEY_CURRENT_USER, classKeyPath());
    for (const std::wstring& extension : kPictureExtensions) deleteTree(HKEY_CURRENT_USER, extensionKeyPath(extension));
    const ProcessResult result = setup(L"uninstall --user");
    EXPECT_EQ(result.exitCode, 0u) << result.errors;
    EXPECT_NE(result.output.find("removed HKEY_CURRENT_USER\\" + narrow(uninstallKeyPath())), std::string::npos)
        << result.output;
    expectNothingWritten(HKEY_CURRENT_USER);
}

TEST_F(SetupTest, AnotherHandlersEntriesSurviveInstallAndUninstall) {
    writeString(HKEY_CURRENT_USER, thumbnailKeyPath(L".lbm"), nullptr, kForeignHandler);
    writeString(HKEY_CURRENT_USER, extensionKeyPath(L".iff"), nullptr, L"Paint.Picture");
    writeString(HKEY_CURRENT_USER, extensionKeyPath(L".ilbm") + L"\\ShellEx\\{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}",
                nullptr, kForeignHandler);

    const ProcessResult install = setup(L"install --user");
    ASSERT_EQ(install.exitCode, 0u) << install.errors;
    EXPECT_EQ(readString(HKEY_CURRENT_USER, thumbnailKeyPath(L".lbm"), nullptr).value_or(L""), kForeignHandler);
    EXPECT_NE(install.output.find("kept HKEY_CURRENT_USER\\Software\\Classes\\.lbm\\ShellEx"), std::string::npos)
        << install.output;

    // Another program takes ".ham8" over after the install.
    writeString(HKEY_CURRENT_USER, thumbnailKeyPath(L".ham8"), nullptr, kForeignHandler);
    const ProcessResult uninstall = setup(L"uninstall --user");
    ASSERT_EQ(uninstall.exitCode, 0u) << uninstall.errors;
    EXPECT_EQ(readString(HKEY_CURRENT_USER, thumbnailKeyPath(L".lbm"), nullptr).value_or(L""), kForeignHandler);
    EXPECT_EQ(readString(HKEY_CURRENT_USER, thumbnailKeyPath(L".ham8"), nullptr).value_or(L""), kForeignHandler);
    EXPECT_NE(uninstall.output.find("kept HKEY_CURRENT_USER\\Software\\Classes\\.ham8\\ShellEx"), std::string::npos);
    // The extension keys holding other entries stay, without this handler's entry.
    EXPECT_EQ(readString(HKEY_CURRENT_USER, extensionKeyPath(L".iff"), nullptr).value_or(L""), L"Paint.Picture");
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, extensionKeyPath(L".iff") + L"\\ShellEx"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, thumbnailKeyPath(L".ilbm")));
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, extensionKeyPath(L".ilbm") + L"\\ShellEx"));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, classKeyPath()));
}

TEST_F(SetupTest, InstallRefusesWithoutTheDllBesideIt) {
    ASSERT_TRUE(DeleteFileW(stage_.file(L"Vantrel.dll").c_str()));
    const ProcessResult result = setup(L"install --user");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_NE(result.errors.find(narrow(stage_.file(L"Vantrel.dll")) + " does not exist"), std::string::npos)
        << result.errors;
    expectNothingWritten(HKEY_CURRENT_USER);
}

// A DLL the Shell of this system could not load is never registered.
TEST_F(SetupTest, InstallRefusesADllThatIsNotOneForThisSystem) {
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        std::string message;
    };
    std::vector<std::uint8_t> dosPart = peHeaders(IMAGE_FILE_MACHINE_AMD64);
    dosPart.resize(0x50);
    const std::vector<Case> cases = {
        {"ARM64 DLL", peHeaders(IMAGE_FILE_MACHINE_ARM64), "is built for ARM64, but this system is x64"},
        {"32-bit DLL", peHeaders(IMAGE_FILE_MACHINE_I386), "is built for x86 (32-bit), but this system is x64"},
        {"unknown machine", peHeaders(0x5032), "is built for machine type 0x5032, but this system is x64"},
        {"a program", peHeaders(IMAGE_FILE_MACHINE_AMD64, IMAGE_FILE_EXECUTABLE_IMAGE), "is not a Windows DLL (a program"},
        {"text", {'h', 'e', 'l', 'l', 'o'}, "is not a Windows DLL (no MZ header)"},
        {"empty", {}, "is not a Windows DLL (no MZ header)"},
        {"cut inside the PE header", dosPart, "is not a Windows DLL (no PE header)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        stage_.write(L"Vantrel.dll", c.bytes);
        const ProcessResult result = setup(L"install --user");
        EXPECT_EQ(result.exitCode, 1u);
        EXPECT_NE(result.errors.find(narrow(stage_.file(L"Vantrel.dll")) + " " + c.message), std::string::npos)
            << result.errors;
        EXPECT_TRUE(result.output.empty()) << result.output;
        expectNothingWritten(HKEY_CURRENT_USER);
    }
}

TEST_F(SetupTest, InstallRefusesADllItCannotRead) {
    // A folder in the DLL's place: there, but not a file that can be read.
    ASSERT_TRUE(DeleteFileW(stage_.file(L"Vantrel.dll").c_str()));
    ASSERT_TRUE(CreateDirectoryW(stage_.file(L"Vantrel.dll").c_str(), nullptr));
    const ProcessResult result = setup(L"install --user");
    EXPECT_EQ(result.exitCode, 1u);
    EXPECT_NE(result.errors.find("cannot read " + narrow(stage_.file(L"Vantrel.dll")) + ": "), std::string::npos)
        << result.errors;
    expectNothingWritten(HKEY_CURRENT_USER);
}

TEST_F(SetupTest, UsageErrorsExitWithTwoAndWriteNothing) {
    for (const wchar_t* arguments : {L"", L"--user", L"frob", L"install uninstall", L"install --machine", L"-x"}) {
        const ProcessResult result = setup(arguments);
        EXPECT_EQ(result.exitCode, 2u) << "arguments: " << std::string(arguments, arguments + wcslen(arguments));
        EXPECT_NE(result.errors.find("vantrel-setup: "), std::string::npos);
        EXPECT_TRUE(result.output.empty());
    }
    const ProcessResult help = setup(L"--help");
    EXPECT_EQ(help.exitCode, 0u);
    EXPECT_NE(help.output.find("Usage: vantrel-setup install|uninstall [--user]"), std::string::npos);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, classKeyPath()));
}

// Every user's registration goes to the 64-bit view of HKEY_LOCAL_MACHINE.
TEST_F(SetupTest, InstallForEveryUserWritesTheMachineHive) {
    if (!IsUserAnAdmin()) GTEST_SKIP() << "needs administrator rights";
    clearHandlerKeys(HKEY_LOCAL_MACHINE);
    const ProcessResult install = setup(L"install");
    ASSERT_EQ(install.exitCode, 0u) << install.errors;
    expectRegistered(HKEY_LOCAL_MACHINE);
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, classKeyPath()));
    EXPECT_EQ(readString(HKEY_LOCAL_MACHINE, thumbnailKeyPath(L".acbm"), nullptr).value_or(L""), handlerClsidString);

    const ProcessResult uninstall = setup(L"uninstall");
    EXPECT_EQ(uninstall.exitCode, 0u) << uninstall.errors;
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, classKeyPath()));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, extensionKeyPath(L".acbm")));
    EXPECT_FALSE(keyExists(HKEY_LOCAL_MACHINE, uninstallKeyPath()));
}

}  // namespace
}  // namespace vantrel::test
