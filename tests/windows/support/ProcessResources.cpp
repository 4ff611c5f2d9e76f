#include "tests/windows/support/ProcessResources.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <string>

namespace vantrel::test {

int mappedViews() {
    int count = 0;
    MEMORY_BASIC_INFORMATION region;
    const char* at = nullptr;
    while (VirtualQuery(at, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_MAPPED) ++count;
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    return count;
}

namespace {

// The object type of a handle ("File", "Section", "Event"...), from
// NtQueryObject, which Windows and Wine both have; empty where it gives none.
std::wstring handleType(HANDLE handle) {
    using QueryObject = LONG(NTAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    static const auto query = reinterpret_cast<QueryObject>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryObject")));
    struct TypeName {
        USHORT length;
        USHORT capacity;
        const wchar_t* text;
    };
    alignas(8) unsigned char answer[1024];
    constexpr int objectTypeInformation = 2;
    if (query == nullptr || query(handle, objectTypeInformation, answer, sizeof answer, nullptr) < 0) return {};
    const auto* name = reinterpret_cast<const TypeName*>(answer);
    return std::wstring(name->text, name->length / sizeof(wchar_t));
}

}  // namespace

int openHandles() {
    int count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        const auto handle = reinterpret_cast<HANDLE>(value);
        if (!GetHandleInformation(handle, &flags)) continue;
        const std::wstring type = handleType(handle);
        if (type == L"File" || type == L"Section") ++count;
    }
    return count;
}

int systemHandleCount() {
    DWORD count = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0) return -1;
    return static_cast<int>(count);
}

}  // namespace vantrel::test
