// The little of a C and C++ runtime that vantrel-setup.exe needs on ARM64
// Windows, where Debian has no runtime library for the target: the program's
// entry point, the heap behind new and delete, the string routines the
// compiler and the library's string class call, and the library's error
// exits. Built without exceptions, so a library error ends the program.
#include <windows.h>

#include <shellapi.h>
#include <stddef.h>

#include <new>
#include <string>

// Every member of the two string classes, which the library's headers leave
// to its own binary to define.
template class std::basic_string<char>;
template class std::basic_string<wchar_t>;

namespace {

[[noreturn]] void libraryError(const char* what) {
    HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    const char prefix[] = "vantrel-setup: internal error: ";
    WriteFile(err, prefix, sizeof prefix - 1, &written, nullptr);
    WriteFile(err, what, static_cast<DWORD>(__builtin_strlen(what)), &written, nullptr);
    WriteFile(err, "\r\n", 2, &written, nullptr);
    ExitProcess(3);
}

}  // namespace

namespace std {
void __throw_bad_alloc() { libraryError("out of memory"); }
void __throw_bad_array_new_length() { libraryError("bad array length"); }
void __throw_length_error(const char* what) { libraryError(what); }
void __throw_logic_error(const char* what) { libraryError(what); }
void __throw_out_of_range(const char* what) { libraryError(what); }
void __throw_out_of_range_fmt(const char* what, ...) { libraryError(what); }
}  // namespace std

void* operator new(size_t bytes) {
    void* block = HeapAlloc(GetProcessHeap(), 0, bytes != 0 ? bytes : 1);
    if (block == nullptr) libraryError("out of memory");
    return block;
}
void* operator new[](size_t bytes) { return operator new(bytes); }
void operator delete(void* block) noexcept {
    if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}
void operator delete[](void* block) noexcept { operator delete(block); }
void operator delete(void* block, size_t) noexcept { operator delete(block); }
void operator delete[](void* block, size_t) noexcept { operator delete(block); }

// Byte and string routines (the wide-character memory ones are inline in the
// mingw-w64 headers). Written as plain loops, which the compiler would turn
// back into calls to themselves without -fno-builtin (set for this file).
extern "C" {
void* memcpy(void* to, const void* from, size_t count) {
    auto* d = static_cast<unsigned char*>(to);
    const auto* s = static_cast<const unsigned char*>(from);
    while (count-- != 0) *d++ = *s++;
    return to;
}
void* memmove(void* to, const void* from, size_t count) {
    auto* d = static_cast<unsigned char*>(to);
    const auto* s = static_cast<const unsigned char*>(from);
    if (d < s) return memcpy(to, from, count);
    while (count-- != 0) d[count] = s[count];
    return to;
}
void* memset(void* to, int value, size_t count) {
    auto* d = static_cast<unsigned char*>(to);
    while (count-- != 0) *d++ = static_cast<unsigned char>(value);
    return to;
}
int memcmp(const void* a, const void* b, size_t count) {
    const auto* x = static_cast<const unsigned char*>(a);
    const auto* y = static_cast<const unsigned char*>(b);
    for (; count != 0; --count, ++x, ++y) {
        if (*x != *y) return *x < *y ? -1 : 1;
    }
    return 0;
}
void* memchr(const void* from, int value, size_t count) {
    const auto* s = static_cast<const unsigned char*>(from);
    for (; count != 0; --count, ++s) {
        if (*s == static_cast<unsigned char>(value)) return const_cast<unsigned char*>(s);
    }
    return nullptr;
}
size_t strlen(const char* text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}
size_t wcslen(const wchar_t* text) {
    size_t length = 0;
    while (text[length] != 0) ++length;
    return length;
}
}

int wmain(int argc, wchar_t** argv);

// The console entry point: the arguments as wmain takes them, its result as
// the exit status. Nothing in the program needs static constructors.
extern "C" void mainCRTStartup() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) libraryError("cannot read the command line");
    const int status = wmain(argc, argv);
    LocalFree(argv);
    ExitProcess(static_cast<UINT>(status));
}
