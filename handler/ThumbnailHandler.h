// The thumbnail handler: one COM object with two interfaces, IInitializeWithFile
// (the Shell names the file) and IThumbnailProvider (the Shell asks for the
// bitmap). The method tables are declared here slot by slot in the platform's
// order, so that no SDK class hierarchy decides the object's layout.
#pragma once

#include <cstdint>

#include "iff/ImageInfo.h"
#include "module/Module.h"

namespace vantrel {

// The platform's alpha types for a thumbnail bitmap.
enum WTS_ALPHATYPE : int { WTSAT_UNKNOWN = 0, WTSAT_RGB = 1, WTSAT_ARGB = 2 };

struct ThumbnailHandler;

// IInitializeWithFile; self is the object's first interface pointer.
struct InitializeWithFileTable {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(ThumbnailHandler* self, REFIID riid, void** ppv);
    ULONG(STDMETHODCALLTYPE* AddRef)(ThumbnailHandler* self);
    ULONG(STDMETHODCALLTYPE* Release)(ThumbnailHandler* self);
    HRESULT(STDMETHODCALLTYPE* Initialize)(ThumbnailHandler* self, LPCWSTR pszFilePath, DWORD grfMode);
};

// IThumbnailProvider; self is the object's second interface pointer.
struct ThumbnailProviderTable {
    using Self = const ThumbnailProviderTable**;
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(Self self, REFIID riid, void** ppv);
    ULONG(STDMETHODCALLTYPE* AddRef)(Self self);
    ULONG(STDMETHODCALLTYPE* Release)(Self self);
    HRESULT(STDMETHODCALLTYPE* GetThumbnail)(Self self, UINT cx, HBITMAP* phbmp, WTS_ALPHATYPE* pdwAlpha);
};

// One block on the process heap; the field order is the object's layout.
struct ThumbnailHandler {
    const InitializeWithFileTable* initializeWithFile;  // primary pointer, the object's identity
    const ThumbnailProviderTable* thumbnailProvider;    // second interface pointer
    std::uint32_t referenceCount;                       // plain: calls arrive one at a time
    const std::uint8_t* view;                           // read-only view of the whole file, or null
    std::uint64_t fileSize;
    bool initialized;     // set by the first successful Initialize, for good
    ImageInfo imageInfo;  // points into view; valid only while initialized
};

// A new handler with reference count 1, not initialised, counted in
// moduleObjectCount; null when the heap is exhausted.
ThumbnailHandler* createThumbnailHandler();

// Opens, maps and parses the file (IInitializeWithFile::Initialize).
HRESULT initializeHandler(ThumbnailHandler& handler, LPCWSTR path);

// Renders the picture into a new bitmap (IThumbnailProvider::GetThumbnail).
HRESULT renderThumbnail(const ThumbnailHandler& handler, HBITMAP* phbmp, WTS_ALPHATYPE* pdwAlpha);

}  // namespace vantrel
