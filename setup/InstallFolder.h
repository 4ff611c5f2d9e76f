// The folder vantrel-setup.exe runs from: the one the registration names, and
// the files installed there.
#pragma once

#include <windows.h>

#include <string>

namespace vantrel::setup {

struct InstallFolder {
    std::wstring folder;    // full path, no trailing backslash
    std::wstring setupExe;  // this program
    std::wstring dll;       // Vantrel.dll beside it
};

InstallFolder programFolder();

// Size in KB, rounded up, of the package's files found in the folder.
DWORD installedKilobytes(const InstallFolder& install);

}  // namespace vantrel::setup
