// Watches the platform calls Vantrel.dll makes, through its import table, and
// can make chosen ones fail: heap blocks, files, mappings, views and bitmaps.
// One watch at a time; calls pass through to the real functions unless failed.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <memory>
#include <vector>

namespace vantrel::test {

struct PlatformCalls {
    // Calls to refuse, as the platform does when out of resources.
    bool failHeapAlloc = false;
    bool failGetFileSizeEx = false;
    bool failCreateFileMapping = false;
    bool failMapViewOfFile = false;
    bool failCreateDIBSection = false;

    // What the DLL asked for and got.
    struct FileOpen {
        DWORD access, share, disposition, flags;
        bool withSecurity, withTemplate;
        HANDLE result;
    };
    struct HeapCall {
        HANDLE heap;
        DWORD flags;
        void* block;
    };
    std::vector<FileOpen> fileOpens;
    std::vector<HANDLE> mappings;  // successful CreateFileMappingW results
    std::vector<DWORD> mappingProtections;
    std::vector<const void*> views;  // successful MapViewOfFile results
    std::vector<HANDLE> closedHandles;
    std::vector<const void*> unmappedViews;
    std::vector<HeapCall> allocations;  // successful ones only
    std::vector<HeapCall> frees;
    std::vector<BITMAPINFOHEADER> bitmapRequests;

    // Handles the DLL opened and has not closed (files and mappings).
    std::vector<HANDLE> handlesLeftOpen() const;
    // Views mapped and not unmapped; whether any was unmapped more often than mapped.
    std::vector<const void*> viewsLeftMapped() const;
    bool anyViewUnmappedTwice() const;
    // Heap blocks not given back, and calls with another heap or non-zero flags.
    std::size_t blocksNotFreed() const;
    bool allHeapCallsPlain() const;
};

class WatchedPlatform {
public:
    WatchedPlatform();  // starts watching the DLL's calls
    ~WatchedPlatform();
    WatchedPlatform(const WatchedPlatform&) = delete;
    WatchedPlatform& operator=(const WatchedPlatform&) = delete;

    PlatformCalls& calls();

private:
    struct Hooks;
    std::unique_ptr<Hooks> hooks_;
};

}  // namespace vantrel::test
