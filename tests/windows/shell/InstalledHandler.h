// Vantrel.dll and vantrel-setup.exe copied into a stage folder and registered
// there with `vantrel-setup.exe install`, the way a user installs them;
// uninstalled (and every handler key cleared) again when the object goes.
#pragma once

#include "SetupHarness.h"

namespace vantrel::test {

class InstalledHandler {
public:
    InstalledHandler();  // fails the running test when install fails
    ~InstalledHandler();
    InstalledHandler(const InstalledHandler&) = delete;
    InstalledHandler& operator=(const InstalledHandler&) = delete;

    const StageFolder& stage() const { return stage_; }
    std::wstring dllPath() const { return stage_.file(L"Vantrel.dll"); }

private:
    ProcessResult setup(const std::wstring& command) const;

    // Wine's COM reads classes only from HKEY_LOCAL_MACHINE\Software\Classes.
    const bool perMachine_ = runningOnWine();
    const HKEY root_ = perMachine_ ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    StageFolder stage_;
};

}  // namespace vantrel::test
