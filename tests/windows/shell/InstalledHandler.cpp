#include "InstalledHandler.h"

#include <gtest/gtest.h>

namespace vantrel::test {

InstalledHandler::InstalledHandler() {
    clearHandlerKeys(root_);
    stage_.copyIn(VANTREL_DLL_PATH, L"Vantrel.dll");
    stage_.copyIn(VANTREL_SETUP_EXE, L"vantrel-setup.exe");
    const ProcessResult result = setup(L"install");
    EXPECT_EQ(result.exitCode, 0u) << "install failed: " << result.errors;
}

InstalledHandler::~InstalledHandler() {
    setup(L"uninstall");
    clearHandlerKeys(root_);
}

ProcessResult InstalledHandler::setup(const std::wstring& command) const {
    return runProgram(stage_.file(L"vantrel-setup.exe"), command + (perMachine_ ? L"" : L" --user"));
}

}  // namespace vantrel::test
