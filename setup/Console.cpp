#include "Console.h"

#include <windows.h>

namespace vantrel::setup {
namespace {

void writeText(DWORD stdHandle, const std::wstring& text) {
    HANDLE out = GetStdHandle(stdHandle);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(out, &mode)) {
        WriteConsoleW(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        return;
    }
    const int length = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return;
    }
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), length, utf8.data(), bytes, nullptr, nullptr);
    WriteFile(out, utf8.data(), static_cast<DWORD>(bytes), &written, nullptr);
}

}  // namespace

void printLine(const std::wstring& line) { writeText(STD_OUTPUT_HANDLE, line + L"\r\n"); }

void printError(const std::wstring& line) { writeText(STD_ERROR_HANDLE, line + L"\r\n"); }

std::wstring decimal(unsigned long value) {
    wchar_t digits[24];
    wchar_t* start = digits + 24;
    do {
        *--start = static_cast<wchar_t>(L'0' + value % 10);
        value /= 10;
    } while (value != 0);
    return std::wstring(start, digits + 24);
}

}  // namespace vantrel::setup
