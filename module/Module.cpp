#include "module/Module.h"

namespace vantrel {

volatile LONG moduleObjectCount = 0;

void* allocFromProcessHeap(HANDLE heap, SIZE_T byteCount) { return HeapAlloc(heap, 0, byteCount); }

}  // namespace vantrel

// The loader calls this under its lock: nothing here but turning off the
// thread notifications the module has no use for.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason != DLL_PROCESS_ATTACH) return FALSE;
    DisableThreadLibraryCalls(instance);
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return vantrel::moduleObjectCount != 0 ? S_FALSE : S_OK; }
