// Vantrel.dll loaded from the build tree through its real exports, and the
// COM calls the tests make on it again and again.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <unknwn.h>
#include <shobjidl.h>
#include <thumbcache.h>

#include <string>

namespace vantrel::test {

// Where the build put Vantrel.dll, as a Windows path.
std::wstring dllPath();

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, LPVOID*);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

struct DllUnderTest {
    HMODULE module;
    GetClassObjectFunction getClassObject;
    CanUnloadNowFunction canUnloadNow;
};

// Loaded on first use with LoadLibraryW and kept for the process's life.
const DllUnderTest& dll();

// A new factory from DllGetClassObject, or null (with a test failure).
IClassFactory* newFactory();

// A new handler from a fresh factory, through the interface asked for.
IInitializeWithFile* newInitializeWithFile();
IThumbnailProvider* newThumbnailProvider();

// A handler held through both its interfaces, released (both references) by
// the destructor.
struct HandlerUnderTest {
    HandlerUnderTest();
    ~HandlerUnderTest();
    HandlerUnderTest(const HandlerUnderTest&) = delete;
    HandlerUnderTest& operator=(const HandlerUnderTest&) = delete;

    HRESULT initialize(const wchar_t* path) { return initializer->Initialize(path, STGM_READ); }

    IInitializeWithFile* initializer = nullptr;
    IThumbnailProvider* provider = nullptr;
};

// The module's count of outstanding references and server locks. Only its
// being zero is visible (DllCanUnloadNow), so it is measured by taking server
// locks away until it reads zero, then giving them all back.
int moduleObjectCount();

// The value Release returns after an AddRef: the reference count, unchanged.
template <class Interface>
ULONG referenceCount(Interface* object) {
    object->AddRef();
    return object->Release();
}

}  // namespace vantrel::test
