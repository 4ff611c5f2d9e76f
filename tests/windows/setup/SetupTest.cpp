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

class SetupTest : public ::testing::Test {
protected:
    void SetUp() override {
        clearHandlerKeys(HKEY_CURRENT_USER);
        stage_.copyIn(VANTREL_SETUP_EXE, L"vantrel-setup.exe");
        stage_.write(L"Vantrel.dll", {'M', 'Z'});  // setup only looks for the file
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
    }

    StageFolder stage_;
};

TEST_F(SetupTest, InstallForUserWritesTheClassAndEveryPictureExtension) {
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
    EXPECT_EQ(countLines(result.output, "wrote HKEY_CURRENT_USER\\"), 2 + kPictureExtensions.size()) << result.output;
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
    EXPECT_EQ(countLines(result.output, "removed HKEY_CURRENT_USER\\"), 2 + 3 * kPictureExtensions.size())
        << result.output;

    // Nothing left to remove is not an error.
    const ProcessResult again = setup(L"uninstall --user");
    EXPECT_EQ(again.exitCode, 0u) << again.errors;
    EXPECT_EQ(countLines(again.output, "absent HKEY_CURRENT_USER\\"), 2 + kPictureExtensions.size());
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
    EXPECT_NE(result.errors.find("Vantrel.dll"), std::string::npos) << result.errors;
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, classKeyPath()));
    EXPECT_FALSE(keyExists(HKEY_CURRENT_USER, extensionKeyPath(L".iff")));
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
}

}  // namespace
}  // namespace vantrel::test
