#include "RegistryKey.h"

#include "Console.h"

namespace vantrel::setup {

RegistryKey::~RegistryKey() { close(); }

void RegistryKey::close() {
    if (key_ != nullptr) {
        RegCloseKey(key_);
        key_ = nullptr;
    }
}

LSTATUS RegistryKey::create(HKEY root, const std::wstring& path) {
    close();
    return RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_READ | KEY_WRITE | KEY_WOW64_64KEY, nullptr, &key_, nullptr);
}

LSTATUS RegistryKey::open(HKEY root, const std::wstring& path, REGSAM access) {
    close();
    return RegOpenKeyExW(root, path.c_str(), 0, access | KEY_WOW64_64KEY, &key_);
}

LSTATUS RegistryKey::setString(const wchar_t* name, const std::wstring& value) const {
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
}

LSTATUS RegistryKey::setDword(const wchar_t* name, DWORD value) const {
    return RegSetValueExW(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

LSTATUS RegistryKey::readString(const wchar_t* name, std::wstring& value) const {
    value.clear();
    DWORD bytes = 0;
    LSTATUS status = RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, nullptr, &bytes);
    if (status != ERROR_SUCCESS) {
        return status;
    }
    std::wstring buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    status = RegGetValueW(key_, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer.data(), &bytes);
    if (status == ERROR_SUCCESS) {
        value.assign(buffer.c_str());
    }
    return status;
}

LSTATUS RegistryKey::deleteValue(const wchar_t* name) const {
    const LSTATUS status = RegDeleteValueW(key_, name);
    return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS RegistryKey::isEmpty(bool& empty) const {
    DWORD subkeys = 0;
    DWORD values = 0;
    const LSTATUS status = RegQueryInfoKeyW(key_, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                                            nullptr, nullptr, nullptr, nullptr);
    empty = status == ERROR_SUCCESS && subkeys == 0 && values == 0;
    return status;
}

LSTATUS deleteRegistryKey(HKEY root, const std::wstring& path) {
    return RegDeleteKeyExW(root, path.c_str(), KEY_WOW64_64KEY, 0);
}

std::wstring errorText(LSTATUS status) {
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageW(flags, nullptr, static_cast<DWORD>(status), 0,
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length != 0 ? std::wstring(text, length) : L"error " + decimal(static_cast<unsigned long>(status));
    LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
        result.pop_back();
    }
    return result;
}

}  // namespace vantrel::setup
