#include "UninstallEntry.h"

#include "Console.h"
#include "RegistryKey.h"

#include <iterator>

namespace vantrel::setup {
namespace {

constexpr const wchar_t* kStrings[] = {L"DisplayName",    L"DisplayVersion",       L"Publisher",
                                       L"InstallLocation", L"UninstallString", L"QuietUninstallString"};
constexpr const wchar_t* kDwords[] = {L"NoModify", L"NoRepair", L"EstimatedSize"};

std::wstring shown(const RegistryScope& scope) { return std::wstring(scope.rootName) + L"\\" + uninstallKeyPath(); }

bool fail(const RegistryScope& scope, const wchar_t* action, LSTATUS status) {
    printError(L"vantrel-setup: cannot " + std::wstring(action) + L" " + shown(scope) + L": " + errorText(status));
    return false;
}

std::wstring uninstallCommand(const RegistryScope& scope, const InstallFolder& install) {
    return L"\"" + install.setupExe + L"\" uninstall" + (scope.root == HKEY_CURRENT_USER ? L" --user" : L"");
}

}  // namespace

std::wstring uninstallKeyPath() { return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel"; }

bool writeUninstallEntry(const RegistryScope& scope, const InstallFolder& install) {
    const std::wstring command = uninstallCommand(scope, install);
    const std::wstring strings[] = {L"Vantrel", L"24.5.11", L"Quennet", install.folder, command, command};
    const DWORD kilobytes = installedKilobytes(install);
    const DWORD dwords[] = {1, 1, kilobytes};
    RegistryKey key;
    LSTATUS status = key.create(scope.root, uninstallKeyPath());
    for (size_t i = 0; i < std::size(kStrings) && status == ERROR_SUCCESS; ++i) {
        status = key.setString(kStrings[i], strings[i]);
    }
    for (size_t i = 0; i < std::size(kDwords) && status == ERROR_SUCCESS; ++i) {
        status = key.setDword(kDwords[i], dwords[i]);
    }
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"write", status);
    }
    printLine(L"wrote " + shown(scope) + L": Vantrel 24.5.11 by Quennet, " + decimal(kilobytes) +
              L" KB, uninstall with " + command);
    return true;
}

bool removeUninstallEntry(const RegistryScope& scope) {
    RegistryKey key;
    LSTATUS status = key.open(scope.root, uninstallKeyPath(), KEY_READ | KEY_SET_VALUE);
    if (status == ERROR_FILE_NOT_FOUND) {
        printLine(L"absent " + shown(scope));
        return true;
    }
    for (const wchar_t* name : kStrings) {
        if (status == ERROR_SUCCESS) status = key.deleteValue(name);
    }
    for (const wchar_t* name : kDwords) {
        if (status == ERROR_SUCCESS) status = key.deleteValue(name);
    }
    bool empty = false;
    if (status == ERROR_SUCCESS) status = key.isEmpty(empty);
    if (status == ERROR_SUCCESS && empty) status = deleteRegistryKey(scope.root, uninstallKeyPath());
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"remove", status);
    }
    printLine(empty ? L"removed " + shown(scope) : L"kept " + shown(scope) + L": it holds entries that setup did not write");
    return true;
}

}  // namespace vantrel::setup
