// Replaces one function that a loaded module imports by patching its import
// address table, so that a test can watch or fail the platform calls the DLL
// makes (heap, files, mapping, bitmaps). Restored when the hook goes away.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace vantrel::test {

class ImportHook {
public:
    // Fails the running test when module does not import function from dll.
    ImportHook(HMODULE module, const char* dll, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    // What the slot held before: the real function.
    void* original() const { return original_; }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

// The import address table slot for function, or null.
void** findImportSlot(HMODULE module, const char* dll, const char* function);

}  // namespace vantrel::test
