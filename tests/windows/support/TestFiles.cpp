#include "tests/windows/support/TestFiles.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

namespace vantrel::test {

TempFile::TempFile(const std::vector<std::uint8_t>& contents) {
    wchar_t folder[MAX_PATH + 1];
    wchar_t name[MAX_PATH + 1];
    if (GetTempPathW(MAX_PATH + 1, folder) == 0 || GetTempFileNameW(folder, L"vtl", 0, name) == 0) {
        ADD_FAILURE() << "no temporary file";
        return;
    }
    path_ = name;
    HANDLE file = CreateFileW(name, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    (contents.empty() ||
                     WriteFile(file, contents.data(), static_cast<DWORD>(contents.size()), &written, nullptr));
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok || written != contents.size()) ADD_FAILURE() << "cannot write the temporary file";
}

TempFile::~TempFile() {
    if (!path_.empty()) DeleteFileW(path_.c_str());
}

std::vector<std::uint8_t> readWholeFile(const std::wstring& path) {
    std::vector<std::uint8_t> bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    LARGE_INTEGER size;
    DWORD read = 0;
    if (GetFileSizeEx(file, &size) && size.QuadPart > 0) {
        bytes.resize(static_cast<std::size_t>(size.QuadPart));
        if (!ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) || read != bytes.size()) {
            bytes.clear();
        }
    }
    CloseHandle(file);
    return bytes;
}

std::vector<std::wstring> filesIn(const std::wstring& folder) {
    std::vector<std::wstring> paths;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return paths;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) paths.push_back(folder + L"\\" + found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::sort(paths.begin(), paths.end());
    return paths;
}

}  // namespace vantrel::test
