// A thin owner of registry keys. Every function returns the Win32 status code
// (ERROR_SUCCESS on success) so callers can say which key failed and why.
// Keys are always opened in the 64-bit view of the registry.
#pragma once

#include <windows.h>

#include <string>

namespace vantrel::setup {

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    LSTATUS create(HKEY root, const std::wstring& path);
    LSTATUS open(HKEY root, const std::wstring& path, REGSAM access);

    LSTATUS setString(const wchar_t* name, const std::wstring& value) const;
    LSTATUS setDword(const wchar_t* name, DWORD value) const;
    // ERROR_FILE_NOT_FOUND when the value is missing, ERROR_UNSUPPORTED_TYPE
    // when it is not a string.
    LSTATUS readString(const wchar_t* name, std::wstring& value) const;
    LSTATUS deleteValue(const wchar_t* name) const;
    // True when the key holds neither values (a default value included) nor subkeys.
    LSTATUS isEmpty(bool& empty) const;

private:
    void close();
    HKEY key_ = nullptr;
};

LSTATUS deleteRegistryKey(HKEY root, const std::wstring& path);

// The system's description of a Win32 error code, without the line break.
std::wstring errorText(LSTATUS status);

}  // namespace vantrel::setup
