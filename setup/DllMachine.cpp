#include "DllMachine.h"

#include "RegistryKey.h"

namespace vantrel::setup {
namespace {

constexpr DWORD kPeHeaderPointer = 0x3C;  // where the DOS header keeps the PE header's offset

WORD readWord(const unsigned char* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD readDword(const unsigned char* p) {
    return static_cast<DWORD>(p[0]) | static_cast<DWORD>(p[1]) << 8 | static_cast<DWORD>(p[2]) << 16 |
           static_cast<DWORD>(p[3]) << 24;
}

// Reads exactly count bytes at offset; false on a short file or a read error.
bool readAt(HANDLE file, DWORD offset, unsigned char* to, DWORD count, DWORD& error) {
    OVERLAPPED at{};
    at.Offset = offset;
    DWORD got = 0;
    if (!ReadFile(file, to, count, &got, &at)) {
        error = GetLastError();
        if (error == ERROR_HANDLE_EOF) error = ERROR_SUCCESS;  // a short file, not a read error
        return false;
    }
    error = ERROR_SUCCESS;
    return got == count;
}

bool notAPeFile(const std::wstring& path, std::wstring& problem, const wchar_t* what) {
    problem = path + L" is not a Windows DLL (" + what + L")";
    return false;
}

}  // namespace

bool readDllMachine(const std::wstring& path, WORD& machine, std::wstring& problem) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            problem = path + L" does not exist; keep Vantrel.dll in the same folder as vantrel-setup.exe";
        } else {
            problem = L"cannot read " + path + L": " + errorText(static_cast<LSTATUS>(error));
        }
        return false;
    }
    unsigned char dos[kPeHeaderPointer + 4] = {};
    unsigned char pe[24] = {};  // signature and file header
    DWORD error = ERROR_SUCCESS;
    const bool haveDos = readAt(file, 0, dos, sizeof dos, error);
    const DWORD peOffset = haveDos ? readDword(dos + kPeHeaderPointer) : 0;
    const bool havePe = haveDos && error == ERROR_SUCCESS && readAt(file, peOffset, pe, sizeof pe, error);
    CloseHandle(file);
    if (error != ERROR_SUCCESS) {
        problem = L"cannot read " + path + L": " + errorText(static_cast<LSTATUS>(error));
        return false;
    }
    if (!haveDos || dos[0] != 'M' || dos[1] != 'Z') return notAPeFile(path, problem, L"no MZ header");
    if (!havePe || pe[0] != 'P' || pe[1] != 'E' || pe[2] != 0 || pe[3] != 0) {
        return notAPeFile(path, problem, L"no PE header");
    }
    if ((readWord(pe + 22) & IMAGE_FILE_DLL) == 0) return notAPeFile(path, problem, L"a program, not a library");
    machine = readWord(pe + 4);
    return true;
}

WORD nativeMachine() {
    using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const FARPROC found = kernel != nullptr ? GetProcAddress(kernel, "IsWow64Process2") : nullptr;
    USHORT process = 0;
    USHORT native = 0;
    if (found != nullptr) {
        const auto isWow64Process2 = reinterpret_cast<IsWow64Process2Function>(reinterpret_cast<void*>(found));
        if (isWow64Process2(GetCurrentProcess(), &process, &native) && native != 0) return native;
    }
    return IMAGE_FILE_MACHINE_AMD64;
}

std::wstring machineName(WORD machine) {
    switch (machine) {
        case IMAGE_FILE_MACHINE_AMD64: return L"x64";
        case IMAGE_FILE_MACHINE_ARM64: return L"ARM64";
        case IMAGE_FILE_MACHINE_I386: return L"x86 (32-bit)";
        case IMAGE_FILE_MACHINE_ARMNT: return L"ARM (32-bit)";
        default: break;
    }
    wchar_t text[] = L"machine type 0x0000";
    const wchar_t* digits = L"0123456789ABCDEF";
    for (int i = 0; i < 4; ++i) text[18 - i] = digits[(machine >> (4 * i)) & 0xF];
    return text;
}

}  // namespace vantrel::setup
