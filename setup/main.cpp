// vantrel-setup.exe install|uninstall [--user]: registers the Vantrel.dll that
// sits next to this program as the Shell's thumbnail handler for Amiga IFF
// pictures, or removes that registration.
#include "Console.h"
#include "Options.h"
#include "Registration.h"

#include <windows.h>

#include <string>
#include <vector>

namespace {

using namespace vantrel::setup;

std::wstring programPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// The full path of Vantrel.dll in this program's folder, or empty (with a
// message) when there is no such file.
std::wstring handlerDllPath() {
    const std::wstring program = programPath();
    const std::wstring dll = program.substr(0, program.find_last_of(L"\\/") + 1) + L"Vantrel.dll";
    const DWORD attributes = GetFileAttributesW(dll.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        printError(L"vantrel-setup: cannot install: " + dll + L" does not exist; keep Vantrel.dll in the same "
                   L"folder as vantrel-setup.exe and run it from there");
        return std::wstring();
    }
    return dll;
}

int run(const Options& options) {
    const RegistryScope scope = options.currentUser ? userScope() : machineScope();
    bool done = false;
    if (options.command == Command::Uninstall) {
        done = uninstallHandler(scope);
    } else {
        const std::wstring dll = handlerDllPath();
        if (dll.empty()) {
            return 1;
        }
        done = installHandler(scope, dll);
    }
    if (!done) {
        return 1;
    }
    notifyShell();
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
