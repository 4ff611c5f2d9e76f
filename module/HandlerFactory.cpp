// The class factory that makes thumbnail handlers, and the export through
// which COM obtains one. Every DllGetClassObject call makes a new factory.
#include "handler/ThumbnailHandler.h"
#include "module/Guids.h"
#include "module/Module.h"

struct IUnknown;  // only ever compared with null here

namespace vantrel {
namespace {

struct HandlerFactory;

// IClassFactory, slot by slot.
struct ClassFactoryTable {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(HandlerFactory* self, REFIID riid, void** ppv);
    ULONG(STDMETHODCALLTYPE* AddRef)(HandlerFactory* self);
    ULONG(STDMETHODCALLTYPE* Release)(HandlerFactory* self);
    HRESULT(STDMETHODCALLTYPE* CreateInstance)(HandlerFactory* self, IUnknown* pUnkOuter, REFIID riid, void** ppv);
    HRESULT(STDMETHODCALLTYPE* LockServer)(HandlerFactory* self, BOOL fLock);
};

// One block on the process heap; the field order is the object's layout.
struct HandlerFactory {
    const ClassFactoryTable* classFactory;
    volatile LONG referenceCount;  // interlocked: a factory may be shared between threads
};

ULONG STDMETHODCALLTYPE AddRef(HandlerFactory* self) {
    InterlockedIncrement(&moduleObjectCount);
    return static_cast<ULONG>(InterlockedIncrement(&self->referenceCount));
}

ULONG STDMETHODCALLTYPE Release(HandlerFactory* self) {
    const LONG count = InterlockedDecrement(&self->referenceCount);
    if (count == 0) HeapFree(GetProcessHeap(), 0, self);
    InterlockedDecrement(&moduleObjectCount);  // the factory may be gone: not touched again
    return static_cast<ULONG>(count);
}

HRESULT STDMETHODCALLTYPE QueryInterface(HandlerFactory* self, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!sameGuid(riid, iidClassFactory) && !sameGuid(riid, iidUnknown)) return E_NOINTERFACE;
    *ppv = self;
    AddRef(self);
    return S_OK;
}

// Handlers answer IUnknown through their own QueryInterface once they exist;
// here only their two interfaces are handed out.
HRESULT STDMETHODCALLTYPE CreateInstance(HandlerFactory* /*self*/, IUnknown* pUnkOuter, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (pUnkOuter != nullptr) return CLASS_E_NOAGGREGATION;
    const bool wantsInitialize = sameGuid(riid, iidInitializeWithFile);
    if (!wantsInitialize && !sameGuid(riid, iidThumbnailProvider)) return E_NOINTERFACE;
    ThumbnailHandler* handler = createThumbnailHandler();
    if (handler == nullptr) return E_OUTOFMEMORY;
    // The creation reference is the one handed out.
    if (wantsInitialize) {
        *ppv = &handler->initializeWithFile;
    } else {
        *ppv = &handler->thumbnailProvider;
    }
    return S_OK;
}

HRESULT STDMETHODCALLTYPE LockServer(HandlerFactory* /*self*/, BOOL fLock) {
    if (fLock) {
        InterlockedIncrement(&moduleObjectCount);
    } else {
        InterlockedDecrement(&moduleObjectCount);
    }
    return S_OK;
}

const ClassFactoryTable classFactoryTable = {QueryInterface, AddRef, Release, CreateInstance, LockServer};

}  // namespace
}  // namespace vantrel

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) {
    using namespace vantrel;
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (!sameGuid(rclsid, handlerClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = static_cast<HandlerFactory*>(allocFromProcessHeap(GetProcessHeap(), sizeof(HandlerFactory)));
    if (factory == nullptr) return E_OUTOFMEMORY;
    factory->classFactory = &classFactoryTable;
    factory->referenceCount = 1;
    InterlockedIncrement(&moduleObjectCount);
    // The query takes its own reference; dropping the creation reference then
    // leaves exactly one, or frees the factory when the query failed.
    const HRESULT result = QueryInterface(factory, riid, ppv);
    Release(factory);
    return result;
}
