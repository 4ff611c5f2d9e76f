#include "tests/windows/support/PlatformCalls.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/windows/support/DllUnderTest.h"
#include "tests/windows/support/ImportHook.h"

namespace vantrel::test {
namespace {

PlatformCalls* watched = nullptr;

// The real functions, as the import table held them before the hooks.
struct Originals {
    decltype(&HeapAlloc) heapAlloc;
    decltype(&HeapFree) heapFree;
    decltype(&CreateFileW) createFile;
    decltype(&GetFileSizeEx) getFileSize;
    decltype(&CreateFileMappingW) createFileMapping;
    decltype(&MapViewOfFile) mapViewOfFile;
    decltype(&UnmapViewOfFile) unmapViewOfFile;
    decltype(&CloseHandle) closeHandle;
    decltype(&CreateDIBSection) createDIBSection;
} real;

LPVOID WINAPI hookHeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes) {
    if (watched->failHeapAlloc) return nullptr;
    void* block = real.heapAlloc(heap, flags, bytes);
    if (block != nullptr) watched->allocations.push_back({heap, flags, block});
    return block;
}

BOOL WINAPI hookHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
    watched->frees.push_back({heap, flags, block});
    return real.heapFree(heap, flags, block);
}

HANDLE WINAPI hookCreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                             DWORD disposition, DWORD flags, HANDLE templateFile) {
    HANDLE file = real.createFile(path, access, share, security, disposition, flags, templateFile);
    watched->fileOpens.push_back(
        {access, share, disposition, flags, security != nullptr, templateFile != nullptr, file});
    return file;
}

BOOL WINAPI hookGetFileSize(HANDLE file, PLARGE_INTEGER size) {
    if (watched->failGetFileSizeEx) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return real.getFileSize(file, size);
}

HANDLE WINAPI hookCreateFileMapping(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protection, DWORD sizeHigh,
                                    DWORD sizeLow, LPCWSTR name) {
    if (watched->failCreateFileMapping) return nullptr;
    HANDLE mapping = real.createFileMapping(file, security, protection, sizeHigh, sizeLow, name);
    if (mapping != nullptr) {
        watched->mappings.push_back(mapping);
        watched->mappingProtections.push_back(protection);
    }
    return mapping;
}

LPVOID WINAPI hookMapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
    if (watched->failMapViewOfFile) return nullptr;
    void* view = real.mapViewOfFile(mapping, access, offsetHigh, offsetLow, bytes);
    if (view != nullptr) watched->views.push_back(view);
    return view;
}

BOOL WINAPI hookUnmapViewOfFile(LPCVOID view) {
    watched->unmappedViews.push_back(view);
    return real.unmapViewOfFile(view);
}

BOOL WINAPI hookCloseHandle(HANDLE handle) {
    watched->closedHandles.push_back(handle);
    return real.closeHandle(handle);
}

HBITMAP WINAPI hookCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, VOID** bits, HANDLE section,
                                    DWORD offset) {
    watched->bitmapRequests.push_back(info->bmiHeader);
    if (watched->failCreateDIBSection) {
        if (bits != nullptr) *bits = nullptr;
        return nullptr;
    }
    return real.createDIBSection(dc, info, usage, bits, section, offset);
}

template <class T>
std::size_t countOf(const std::vector<T>& items, T item) {
    return static_cast<std::size_t>(std::count(items.begin(), items.end(), item));
}

}  // namespace

struct WatchedPlatform::Hooks {
    PlatformCalls calls;
    std::vector<std::unique_ptr<ImportHook>> hooks;

    template <class F>
    void hook(const char* dll, const char* name, F replacement, F& original) {
        auto h = std::make_unique<ImportHook>(test::dll().module, dll, name, reinterpret_cast<void*>(replacement));
        original = reinterpret_cast<F>(h->original());
        hooks.push_back(std::move(h));
    }
};

WatchedPlatform::WatchedPlatform() : hooks_(std::make_unique<Hooks>()) {
    if (watched != nullptr) ADD_FAILURE() << "the platform is watched twice";
    watched = &hooks_->calls;
    hooks_->hook("KERNEL32.dll", "HeapAlloc", &hookHeapAlloc, real.heapAlloc);
    hooks_->hook("KERNEL32.dll", "HeapFree", &hookHeapFree, real.heapFree);
    hooks_->hook("KERNEL32.dll", "CreateFileW", &hookCreateFile, real.createFile);
    hooks_->hook("KERNEL32.dll", "GetFileSizeEx", &hookGetFileSize, real.getFileSize);
    hooks_->hook("KERNEL32.dll", "CreateFileMappingW", &hookCreateFileMapping, real.createFileMapping);
    hooks_->hook("KERNEL32.dll", "MapViewOfFile", &hookMapViewOfFile, real.mapViewOfFile);
    hooks_->hook("KERNEL32.dll", "UnmapViewOfFile", &hookUnmapViewOfFile, real.unmapViewOfFile);
    hooks_->hook("KERNEL32.dll", "CloseHandle", &hookCloseHandle, real.closeHandle);
    hooks_->hook("GDI32.dll", "CreateDIBSection", &hookCreateDIBSection, real.createDIBSection);
}

WatchedPlatform::~WatchedPlatform() {
    hooks_->hooks.clear();
    watched = nullptr;
}

PlatformCalls& WatchedPlatform::calls() { return hooks_->calls; }

// Handle values and view addresses are reused once given back, so each value
// is judged by how often it was obtained against how often it was given back.
std::vector<HANDLE> PlatformCalls::handlesLeftOpen() const {
    std::vector<HANDLE> opened = mappings;
    for (const FileOpen& f : fileOpens) {
        if (f.result != INVALID_HANDLE_VALUE) opened.push_back(f.result);
    }
    std::vector<HANDLE> open;
    for (HANDLE h : opened) {
        if (countOf(opened, h) != countOf(closedHandles, h) && countOf(open, h) == 0) open.push_back(h);
    }
    return open;
}

std::vector<const void*> PlatformCalls::viewsLeftMapped() const {
    std::vector<const void*> left;
    for (const void* v : views) {
        if (countOf(views, v) > countOf(unmappedViews, v) && countOf(left, v) == 0) left.push_back(v);
    }
    return left;
}

bool PlatformCalls::anyViewUnmappedTwice() const {
    return std::any_of(unmappedViews.begin(), unmappedViews.end(),
                       [this](const void* v) { return countOf(unmappedViews, v) > countOf(views, v); });
}

std::size_t PlatformCalls::blocksNotFreed() const {
    std::size_t left = 0;
    for (const HeapCall& a : allocations) {
        const bool freed = std::any_of(frees.begin(), frees.end(), [&](const HeapCall& f) { return f.block == a.block; });
        if (!freed) ++left;
    }
    return left;
}

bool PlatformCalls::allHeapCallsPlain() const {
    const HANDLE heap = GetProcessHeap();
    auto plain = [heap](const HeapCall& c) { return c.heap == heap && c.flags == 0; };
    return std::all_of(allocations.begin(), allocations.end(), plain) && std::all_of(frees.begin(), frees.end(), plain);
}

}  // namespace vantrel::test
