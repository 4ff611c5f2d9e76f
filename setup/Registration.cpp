#include "Registration.h"

#include "Console.h"
#include "RegistryKey.h"
#include "module/Guids.h"

#include <shlobj.h>

#include <initializer_list>

namespace vantrel::setup {
namespace {

constexpr const wchar_t* kHandlerClsid = handlerClsidString;
constexpr const wchar_t* kThumbnailProviderIid = L"{E357FCCD-A995-4576-B01F-234630154E96}";
constexpr const wchar_t* kDisplayName = L"Vantrel thumbnail handler for Amiga pictures";
constexpr const wchar_t* kClasses = L"Software\\Classes\\";
// ".pbm" is left out on purpose: it belongs to Netpbm's portable bitmaps.
constexpr const wchar_t* kExtensions[] = {L".iff", L".ilbm", L".lbm",  L".ham", L".ham6",
                                          L".ham8", L".sham", L".ehb", L".acbm"};

std::wstring classKeyPath() { return std::wstring(kClasses) + L"CLSID\\" + kHandlerClsid; }
std::wstring serverKeyPath() { return classKeyPath() + L"\\InprocServer32"; }
std::wstring shellExKeyPath(const wchar_t* extension) { return kClasses + std::wstring(extension) + L"\\ShellEx"; }
std::wstring thumbnailKeyPath(const wchar_t* extension) {
    return shellExKeyPath(extension) + L"\\" + kThumbnailProviderIid;
}

std::wstring shown(const RegistryScope& scope, const std::wstring& path) {
    return std::wstring(scope.rootName) + L"\\" + path;
}

bool isHandlerClsid(const std::wstring& value) {
    return CompareStringOrdinal(value.c_str(), -1, kHandlerClsid, -1, TRUE) == CSTR_EQUAL;
}

bool fail(const RegistryScope& scope, const wchar_t* action, const std::wstring& path, LSTATUS status) {
    printError(L"vantrel-setup: cannot " + std::wstring(action) + L" " + shown(scope, path) + L": " +
               errorText(status));
    if (status == ERROR_ACCESS_DENIED && scope.root == HKEY_LOCAL_MACHINE) {
        printError(L"vantrel-setup: registering for every user needs administrator rights; run it as "
                   L"administrator, or add --user to register for the current user only.");
    }
    return false;
}

// The default value of an existing key; empty when the key or value is missing.
LSTATUS readDefault(const RegistryScope& scope, const std::wstring& path, std::wstring& value) {
    value.clear();
    RegistryKey key;
    LSTATUS status = key.open(scope.root, path, KEY_QUERY_VALUE);
    if (status == ERROR_SUCCESS) {
        status = key.readString(nullptr, value);
    }
    const bool missing = status == ERROR_FILE_NOT_FOUND || status == ERROR_UNSUPPORTED_TYPE;
    return missing ? ERROR_SUCCESS : status;
}

bool writeClassKey(const RegistryScope& scope) {
    RegistryKey key;
    LSTATUS status = key.create(scope.root, classKeyPath());
    if (status == ERROR_SUCCESS) status = key.setString(nullptr, kDisplayName);
    if (status == ERROR_SUCCESS) status = key.setDword(L"DisableProcessIsolation", 1);
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"write", classKeyPath(), status);
    }
    printLine(L"wrote " + shown(scope, classKeyPath()) + L": (default) = \"" + kDisplayName +
              L"\", DisableProcessIsolation = 1");
    return true;
}

bool writeServerKey(const RegistryScope& scope, const std::wstring& dllPath) {
    RegistryKey key;
    LSTATUS status = key.create(scope.root, serverKeyPath());
    if (status == ERROR_SUCCESS) status = key.setString(nullptr, dllPath);
    if (status == ERROR_SUCCESS) status = key.setString(L"ThreadingModel", L"Apartment");
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"write", serverKeyPath(), status);
    }
    printLine(L"wrote " + shown(scope, serverKeyPath()) + L": (default) = " + dllPath +
              L", ThreadingModel = Apartment");
    return true;
}

bool writeThumbnailKey(const RegistryScope& scope, const wchar_t* extension) {
    const std::wstring path = thumbnailKeyPath(extension);
    std::wstring current;
    LSTATUS status = readDefault(scope, path, current);
    if (status == ERROR_SUCCESS && !current.empty() && !isHandlerClsid(current)) {
        printLine(L"kept " + shown(scope, path) + L": it names another thumbnail handler, " + current +
                  L"; remove that one first to use this one for " + extension);
        return true;
    }
    RegistryKey key;
    if (status == ERROR_SUCCESS) status = key.create(scope.root, path);
    if (status == ERROR_SUCCESS) status = key.setString(nullptr, kHandlerClsid);
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"write", path, status);
    }
    printLine(L"wrote " + shown(scope, path) + L": (default) = " + kHandlerClsid);
    return true;
}

// Deletes the named values from a key this program owns, then the key itself
// if nothing else is left in it.
bool removeOwnKey(const RegistryScope& scope, const std::wstring& path, std::initializer_list<const wchar_t*> values) {
    RegistryKey key;
    LSTATUS status = key.open(scope.root, path, KEY_READ | KEY_SET_VALUE);
    if (status == ERROR_FILE_NOT_FOUND) {
        printLine(L"absent " + shown(scope, path));
        return true;
    }
    for (const wchar_t* name : values) {
        if (status == ERROR_SUCCESS) status = key.deleteValue(name);
    }
    bool empty = false;
    if (status == ERROR_SUCCESS) status = key.isEmpty(empty);
    if (status == ERROR_SUCCESS && empty) status = deleteRegistryKey(scope.root, path);
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"remove", path, status);
    }
    printLine(empty ? L"removed " + shown(scope, path)
                    : L"kept " + shown(scope, path) + L": it holds entries that setup did not write");
    return true;
}

// Deletes a key that holds nothing at all; a missing or non-empty key stays.
bool removeIfEmpty(const RegistryScope& scope, const std::wstring& path) {
    RegistryKey key;
    LSTATUS status = key.open(scope.root, path, KEY_READ);
    if (status == ERROR_FILE_NOT_FOUND) {
        return true;
    }
    bool empty = false;
    if (status == ERROR_SUCCESS) status = key.isEmpty(empty);
    if (status == ERROR_SUCCESS && empty) status = deleteRegistryKey(scope.root, path);
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"remove", path, status);
    }
    if (empty) {
        printLine(L"removed " + shown(scope, path) + L" (left empty)");
    }
    return true;
}

bool removeThumbnailKey(const RegistryScope& scope, const wchar_t* extension) {
    const std::wstring path = thumbnailKeyPath(extension);
    RegistryKey key;
    LSTATUS status = key.open(scope.root, path, KEY_QUERY_VALUE);
    if (status == ERROR_FILE_NOT_FOUND) {
        printLine(L"absent " + shown(scope, path));
        return true;
    }
    std::wstring current;
    if (status == ERROR_SUCCESS) status = readDefault(scope, path, current);
    if (status == ERROR_SUCCESS && !isHandlerClsid(current)) {
        printLine(L"kept " + shown(scope, path) + L": it names another thumbnail handler" +
                  (current.empty() ? std::wstring() : L", " + current));
        return true;
    }
    if (status == ERROR_SUCCESS) status = deleteRegistryKey(scope.root, path);
    if (status != ERROR_SUCCESS) {
        return fail(scope, L"remove", path, status);
    }
    printLine(L"removed " + shown(scope, path));
    return removeIfEmpty(scope, shellExKeyPath(extension)) && removeIfEmpty(scope, kClasses + std::wstring(extension));
}

}  // namespace

RegistryScope machineScope() { return {HKEY_LOCAL_MACHINE, L"HKEY_LOCAL_MACHINE"}; }
RegistryScope userScope() { return {HKEY_CURRENT_USER, L"HKEY_CURRENT_USER"}; }

bool installHandler(const RegistryScope& scope, const std::wstring& dllPath) {
    if (!writeClassKey(scope) || !writeServerKey(scope, dllPath)) {
        return false;
    }
    for (const wchar_t* extension : kExtensions) {
        if (!writeThumbnailKey(scope, extension)) {
            printError(L"vantrel-setup: the entries written above stay in place; 'vantrel-setup uninstall" +
                       std::wstring(scope.root == HKEY_CURRENT_USER ? L" --user" : L"") + L"' removes them.");
            return false;
        }
    }
    return true;
}

bool uninstallHandler(const RegistryScope& scope) {
    for (const wchar_t* extension : kExtensions) {
        if (!removeThumbnailKey(scope, extension)) {
            return false;
        }
    }
    return removeOwnKey(scope, serverKeyPath(), {nullptr, L"ThreadingModel"}) &&
           removeOwnKey(scope, classKeyPath(), {nullptr, L"DisableProcessIsolation"});
}

bool isHandlerRegistered(const RegistryScope& scope) {
    RegistryKey key;
    if (key.open(scope.root, classKeyPath(), KEY_QUERY_VALUE) != ERROR_FILE_NOT_FOUND) return true;
    for (const wchar_t* extension : kExtensions) {
        std::wstring current;
        if (readDefault(scope, thumbnailKeyPath(extension), current) != ERROR_SUCCESS || isHandlerClsid(current)) {
            return true;
        }
    }
    return false;
}

void notifyShell() {
    SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    printLine(L"notified the Shell that file associations changed");
}

}  // namespace vantrel::setup
