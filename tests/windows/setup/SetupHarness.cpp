#include "SetupHarness.h"

#include "module/Guids.h"

#include <gtest/gtest.h>

#include <shellapi.h>

namespace vantrel::test {
namespace {

constexpr REGSAM kView = KEY_WOW64_64KEY;

HANDLE inheritableFile(const std::wstring& path, DWORD access, DWORD disposition) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes, disposition,
                       FILE_ATTRIBUTE_TEMPORARY, nullptr);
}

std::string readAndDelete(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    char buffer[4096];
    DWORD got = 0;
    while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    CloseHandle(file);
    DeleteFileW(path.c_str());
    return text;
}

std::wstring temporaryName(const wchar_t* prefix) {
    wchar_t folder[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, folder);
    static unsigned counter = 0;
    return std::wstring(folder) + prefix + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter);
}

}  // namespace

std::wstring classKeyPath() { return std::wstring(L"Software\\Classes\\CLSID\\") + handlerClsidString; }
std::wstring extensionKeyPath(const std::wstring& extension) { return L"Software\\Classes\\" + extension; }
std::wstring uninstallKeyPath() { return L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vantrel"; }
std::wstring thumbnailKeyPath(const std::wstring& extension) {
    return extensionKeyPath(extension) + L"\\ShellEx\\" + kThumbnailProviderIid;
}

ProcessResult runProgram(const std::wstring& program, const std::wstring& arguments) {
    const std::wstring outPath = temporaryName(L"vantrel-out-");
    const std::wstring errPath = temporaryName(L"vantrel-err-");
    HANDLE out = inheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    HANDLE err = inheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out;
    startup.hStdError = err;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    ProcessResult result;
    result.exitCode = 0xFFFFFFFF;
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                       &process)) {
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &result.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    } else {
        ADD_FAILURE() << "cannot start the program, error " << GetLastError();
    }
    CloseHandle(out);
    CloseHandle(err);
    result.output = readAndDelete(outPath);
    result.errors = readAndDelete(errPath);
    return result;
}

StageFolder::StageFolder() : path_(temporaryName(L"vantrel-stage-")) {
    EXPECT_TRUE(CreateDirectoryW(path_.c_str(), nullptr)) << "cannot create the stage folder";
}

StageFolder::~StageFolder() {
    // Double null-terminated, as SHFileOperation wants its list of paths.
    std::wstring from = path_ + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_NO_UI;
    SHFileOperationW(&operation);
}

void StageFolder::copyIn(const std::wstring& source, const std::wstring& name) const {
    ASSERT_TRUE(CopyFileW(windowsPath(source).c_str(), file(name).c_str(), FALSE))
        << "cannot copy " << std::string(source.begin(), source.end()) << ", error " << GetLastError();
}

void StageFolder::write(const std::wstring& name, const std::vector<std::uint8_t>& bytes) const {
    HANDLE handle = CreateFileW(file(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(handle);
    ASSERT_EQ(written, bytes.size());
}

std::wstring windowsPath(const std::wstring& path) {
    std::wstring result = path;
    for (wchar_t& c : result) {
        if (c == L'/') c = L'\\';
    }
    return result;
}

bool keyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | kView, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::optional<std::wstring> readString(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t buffer[1024];
    DWORD bytes = sizeof buffer;
    const DWORD flags = RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY;
    if (RegGetValueW(root, path.c_str(), name, flags, nullptr, buffer, &bytes) != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(buffer);
}

std::optional<DWORD> readDword(HKEY root, const std::wstring& path, const wchar_t* name) {
    DWORD value = 0;
    DWORD bytes = sizeof value;
    const DWORD flags = RRF_RT_REG_DWORD | RRF_SUBKEY_WOW6464KEY;
    if (RegGetValueW(root, path.c_str(), name, flags, nullptr, &value, &bytes) != ERROR_SUCCESS) return std::nullopt;
    return value;
}

void writeString(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | kView, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes);
    RegCloseKey(key);
}

void deleteTree(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | kView, &key) != ERROR_SUCCESS) return;
    RegDeleteTreeW(key, nullptr);
    RegCloseKey(key);
    RegDeleteKeyExW(root, path.c_str(), kView, 0);
}

void clearHandlerKeys(HKEY root) {
    for (const std::wstring& extension : kPictureExtensions) {
        deleteTree(root, extensionKeyPath(extension));
    }
    deleteTree(root, classKeyPath());
    deleteTree(root, uninstallKeyPath());
}

bool runningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace vantrel::test
