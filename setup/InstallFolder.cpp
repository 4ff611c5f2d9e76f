#include "InstallFolder.h"

namespace vantrel::setup {
namespace {

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

ULONGLONG fileBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

InstallFolder programFolder() {
    InstallFolder install;
    install.setupExe = programPath();
    install.folder = install.setupExe.substr(0, install.setupExe.find_last_of(L"\\/"));
    install.dll = install.folder + L"\\Vantrel.dll";
    return install;
}

DWORD installedKilobytes(const InstallFolder& install) {
    const ULONGLONG bytes =
        fileBytes(install.dll) + fileBytes(install.setupExe) + fileBytes(install.folder + L"\\README.txt");
    return static_cast<DWORD>((bytes + 1023) / 1024);
}

}  // namespace vantrel::setup
