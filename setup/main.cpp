// vantrel-setup.exe install|uninstall [--user]: registers the Vantrel.dll that
// sits next to this program as the Shell's thumbnail handler for Amiga IFF
// pictures, with an entry in Settings > Apps, or removes that registration.
#include "Console.h"
#include "DllMachine.h"
#include "InstallFolder.h"
#include "Options.h"
#include "Registration.h"
#include "UninstallEntry.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace vantrel::setup;

// True when the Vantrel.dll beside this program is one the Shell of this
// system can load; otherwise says why, naming the file, and writes nothing.
bool dllFitsSystem(const InstallFolder& install) {
    WORD machine = 0;
    std::wstring problem;
    if (!readDllMachine(install.dll, machine, problem)) {
        printError(L"vantrel-setup: cannot install: " + problem);
        return false;
    }
    const WORD system = nativeMachine();
    if (machine != system) {
        printError(L"vantrel-setup: cannot install: " + install.dll + L" is built for " + machineName(machine) +
                   L", but this system is " + machineName(system) + L"; the Shell cannot load it. Use the " +
                   machineName(system) + L" package of Vantrel.");
        return false;
    }
    return true;
}

bool install(const RegistryScope& scope) {
    const InstallFolder folder = programFolder();
    return dllFitsSystem(folder) && installHandler(scope, folder.dll) && writeUninstallEntry(scope, folder);
}

bool entryPresent(const RegistryScope& scope) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(scope.root, uninstallKeyPath().c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(key);
    return true;
}

bool installedIn(const RegistryScope& scope) { return isHandlerRegistered(scope) || entryPresent(scope); }

// Nothing of this program's in the scope: says so, and where it is installed instead.
void reportNothingToUninstall(const RegistryScope& scope) {
    printLine(L"nothing to uninstall: Vantrel is not registered in " + std::wstring(scope.rootName));
    const bool user = scope.root == HKEY_CURRENT_USER;
    if (installedIn(user ? machineScope() : userScope())) {
        printLine(user ? L"it is registered for every user: run 'vantrel-setup uninstall' as administrator"
                       : L"it is registered for the current user: run 'vantrel-setup uninstall --user'");
    }
}

int run(const Options& options) {
    const RegistryScope scope = options.currentUser ? userScope() : machineScope();
    if (options.command == Command::Uninstall && !installedIn(scope)) {
        reportNothingToUninstall(scope);
        return 0;
    }
    const bool done = options.command == Command::Uninstall
                          ? uninstallHandler(scope) && removeUninstallEntry(scope)
                          : install(scope);
    if (!done) {
        return 1;
    }
    notifyShell();
    if (options.command == Command::Uninstall) {
        printLine(L"Vantrel is unregistered; its folder may now be deleted (restart Explorer first if it is in use)");
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::vector<std::wstring> args(argv + 1, argv + argc);
    Options options;
    std::wstring error;
    if (!parseOptions(args, options, error)) {
        printError(L"vantrel-setup: " + error);
        printError(L"Try 'vantrel-setup --help'.");
        return 2;
    }
    if (options.command == Command::Help) {
        printLine(usageText());
        return 0;
    }
    return run(options);
}
