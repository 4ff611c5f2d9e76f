// What every object of the DLL shares: the count that decides unloading and
// the heap routine that objects are allocated with.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace vantrel {

// References handed out by the module's objects plus server locks. The module
// may unload while it reads zero. Changed only by interlocked operations.
extern volatile LONG moduleObjectCount;

// HeapAlloc with flags 0: the block is not zeroed. Null when the heap is
// exhausted. Objects give their block back with HeapFree on the process heap.
void* allocFromProcessHeap(HANDLE heap, SIZE_T byteCount);

}  // namespace vantrel
