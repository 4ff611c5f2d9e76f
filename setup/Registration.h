// The registry entries that make the Shell use Vantrel.dll for thumbnails of
// Amiga IFF pictures, written into and removed from one Classes hive.
#pragma once

#include <windows.h>

#include <string>

namespace vantrel::setup {

struct RegistryScope {
    HKEY root;
    const wchar_t* rootName;  // as shown in messages, e.g. "HKEY_CURRENT_USER"
};

RegistryScope machineScope();
RegistryScope userScope();

// Writes the class (display name, DisableProcessIsolation, in-process server
// path, apartment threading) and each picture extension's thumbnail entry.
// An extension whose thumbnail entry names another handler is left alone.
// Prints one line per key; on failure prints which key and why, returns false.
bool installHandler(const RegistryScope& scope, const std::wstring& dllPath);

// Removes what installHandler writes, and the extension and "ShellEx" keys
// left empty by that; keys that name another handler or hold other entries stay.
bool uninstallHandler(const RegistryScope& scope);

// True when the class key or any picture extension's entry naming this
// handler is present in the scope.
bool isHandlerRegistered(const RegistryScope& scope);

// Tells the Shell that file associations changed, so new entries take effect.
void notifyShell();

}  // namespace vantrel::setup
