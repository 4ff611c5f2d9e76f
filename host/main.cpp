// vantrel-thumb.exe [--size N] PICTURE OUTPUT.png: renders a picture through the
// registered thumbnail handler, exactly as Explorer would ask for it, and saves
// the bitmap through WIC as a PNG file with straight alpha, fitted into N x N
// when asked.
#include "Thumbnail.h"
#include "WicPng.h"

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace vantrel::host;

constexpr UINT kDefaultSize = 256;

struct Arguments {
    UINT size = kDefaultSize;  // asked of the handler
    UINT edge = 0;             // the PNG fitted into edge x edge; 0 keeps the handler's size
    std::wstring picture;
    std::wstring output;
};

void printError(const std::wstring& text) { std::fwprintf(stderr, L"vantrel-thumb: %ls\n", text.c_str()); }

int usageError(const std::wstring& text) {
    printError(text);
    std::fwprintf(stderr, L"Usage: vantrel-thumb [--size N] PICTURE OUTPUT.png\n");
    return 2;
}

bool parseSize(const std::wstring& text, UINT& size) {
    wchar_t* end = nullptr;
    const unsigned long value = std::wcstoul(text.c_str(), &end, 10);
    if (text.empty() || *end != L'\0' || value == 0 || value > 65535) return false;
    size = static_cast<UINT>(value);
    return true;
}

std::wstring fullPath(const std::wstring& path) {
    std::wstring full(32768, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return path;
    full.resize(length);
    return full;
}

std::wstring describe(HRESULT status) {
    wchar_t* text = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageW(flags, nullptr, static_cast<DWORD>(status), 0,
                                        reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length != 0 ? std::wstring(text, length) : std::wstring();
    LocalFree(text);
    while (!result.empty() && (result.back() == L'\n' || result.back() == L'\r' || result.back() == L' ')) {
        result.pop_back();
    }
    wchar_t code[16];
    std::swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(status));
    return result.empty() ? code : result + L" (" + code + L")";
}

bool parseArguments(int argc, wchar_t** argv, Arguments& arguments, std::wstring& error) {
    std::vector<std::wstring> files;
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        if (arg == L"--size" && i + 1 < argc) {
            if (!parseSize(argv[++i], arguments.size)) {
                error = L"--size wants a whole number from 1 to 65535";
                return false;
            }
            arguments.edge = arguments.size;
        } else if (arg.size() > 1 && arg[0] == L'-') {
            error = L"unknown option '" + arg + L"'";
            return false;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        error = L"expected a picture and an output file";
        return false;
    }
    arguments.picture = fullPath(files[0]);
    arguments.output = fullPath(files[1]);
    if (CompareStringOrdinal(arguments.picture.c_str(), -1, arguments.output.c_str(), -1, TRUE) == CSTR_EQUAL) {
        error = L"the output file is the picture itself: " + arguments.picture;
        return false;
    }
    return true;
}

int render(const Arguments& arguments) {
    ShellBitmap thumbnail;
    CallResult result = renderThumbnail(arguments.picture, arguments.size, thumbnail);
    if (FAILED(result.status)) {
        printError(arguments.picture + L": " + result.failedCall + L" failed: " + describe(result.status));
        if (result.status == REGDB_E_CLASSNOTREG) {
            printError(L"the thumbnail handler is not registered; run 'vantrel-setup install --user' first");
        }
        return 1;
    }
    PixelSize written;
    result = savePng(thumbnail, arguments.edge, arguments.output, written);
    if (FAILED(result.status)) {
        printError(L"cannot write " + arguments.output + L": " + result.failedCall + L" failed: " +
                   describe(result.status));
        return 1;
    }
    std::fwprintf(stdout, L"%ls: %ux%u -> %ls\n", arguments.picture.c_str(), written.width, written.height,
                  arguments.output.c_str());
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Arguments arguments;
    std::wstring error;
    if (argc == 2 && (std::wstring(argv[1]) == L"--help" || std::wstring(argv[1]) == L"-h")) {
        std::fwprintf(stdout, L"Usage: vantrel-thumb [--size N] PICTURE OUTPUT.png\n"
                              L"Renders PICTURE through the registered Vantrel thumbnail handler and saves it as PNG.\n"
                              L"--size N fits the thumbnail into N x N keeping its aspect, never enlarging it;\n"
                              L"without it the PNG keeps the size the handler gives.\n");
        return 0;
    }
    if (!parseArguments(argc, argv, arguments, error)) return usageError(error);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        printError(L"cannot initialise COM");
        return 1;
    }
    const int status = render(arguments);
    CoUninitialize();
    return status;
}
