// The entry that lists Vantrel in Settings > Apps (and Programs and
// Features), under Software\Microsoft\Windows\CurrentVersion\Uninstall.
#pragma once

#include "InstallFolder.h"
#include "Registration.h"

namespace vantrel::setup {

std::wstring uninstallKeyPath();

// Name, version, publisher, folder, the commands that uninstall (with --user
// for a per-user scope), no modify or repair, and the size. Prints one line;
// on failure prints which key and why and returns false.
bool writeUninstallEntry(const RegistryScope& scope, const InstallFolder& install);

// Removes the values writeUninstallEntry writes, then the key if left empty.
bool removeUninstallEntry(const RegistryScope& scope);

}  // namespace vantrel::setup
