#include "handler/ThumbnailHandler.h"

#include <cstddef>

#include "module/Guids.h"

namespace vantrel {
namespace {

ThumbnailHandler* fromProvider(ThumbnailProviderTable::Self provider) {
    auto* bytes = reinterpret_cast<unsigned char*>(provider);
    return reinterpret_cast<ThumbnailHandler*>(bytes - offsetof(ThumbnailHandler, thumbnailProvider));
}

void destroy(ThumbnailHandler* self) {
    if (self->initialized && self->view != nullptr) UnmapViewOfFile(self->view);
    HeapFree(GetProcessHeap(), 0, self);
}

ULONG STDMETHODCALLTYPE AddRef(ThumbnailHandler* self) {
    InterlockedIncrement(&moduleObjectCount);
    return ++self->referenceCount;
}

ULONG STDMETHODCALLTYPE Release(ThumbnailHandler* self) {
    const std::uint32_t count = --self->referenceCount;
    if (count == 0) destroy(self);
    InterlockedDecrement(&moduleObjectCount);  // the object may be gone: not touched again
    return count;
}

HRESULT STDMETHODCALLTYPE QueryInterface(ThumbnailHandler* self, REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    *ppv = nullptr;
    if (sameGuid(riid, iidInitializeWithFile) || sameGuid(riid, iidUnknown)) {
        *ppv = &self->initializeWithFile;
    } else if (sameGuid(riid, iidThumbnailProvider)) {
        *ppv = &self->thumbnailProvider;
    } else {
        return E_NOINTERFACE;
    }
    AddRef(self);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE Initialize(ThumbnailHandler* self, LPCWSTR pszFilePath, DWORD /*grfMode*/) {
    return initializeHandler(*self, pszFilePath);
}

HRESULT STDMETHODCALLTYPE providerQueryInterface(ThumbnailProviderTable::Self self, REFIID riid, void** ppv) {
    return QueryInterface(fromProvider(self), riid, ppv);
}

ULONG STDMETHODCALLTYPE providerAddRef(ThumbnailProviderTable::Self self) { return AddRef(fromProvider(self)); }

ULONG STDMETHODCALLTYPE providerRelease(ThumbnailProviderTable::Self self) { return Release(fromProvider(self)); }

HRESULT STDMETHODCALLTYPE GetThumbnail(ThumbnailProviderTable::Self self, UINT /*cx*/, HBITMAP* phbmp,
                                       WTS_ALPHATYPE* pdwAlpha) {
    return renderThumbnail(*fromProvider(self), phbmp, pdwAlpha);
}

const InitializeWithFileTable initializeWithFileTable = {QueryInterface, AddRef, Release, Initialize};
const ThumbnailProviderTable thumbnailProviderTable = {providerQueryInterface, providerAddRef, providerRelease,
                                                       GetThumbnail};

}  // namespace

ThumbnailHandler* createThumbnailHandler() {
    auto* self = static_cast<ThumbnailHandler*>(allocFromProcessHeap(GetProcessHeap(), sizeof(ThumbnailHandler)));
    if (self == nullptr) return nullptr;
    self->referenceCount = 1;
    self->initialized = false;
    InterlockedIncrement(&moduleObjectCount);
    self->initializeWithFile = &initializeWithFileTable;
    self->thumbnailProvider = &thumbnailProviderTable;
    return self;
}

}  // namespace vantrel
