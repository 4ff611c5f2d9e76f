#include "tests/windows/support/ProcessResources.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

int openHandles() {
    int count = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
    }
    return count;
}

int openHandlesOnceSettled(int expected) {
    int count = openHandles();
    for (int wait = 0; count != expected && wait < 40; ++wait) {
        Sleep(50);
        count = openHandles();
    }
    return count;
}

int systemHandleCount() {
    DWORD count = 0;
    if (!GetProcessHandleCount(GetCurrentProcess(), &count) || count == 0) return -1;
    return static_cast<int>(count);
}

}  // namespace vantrel::test
