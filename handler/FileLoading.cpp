#include "handler/ThumbnailHandler.h"
#include "iff/Parser.h"

namespace vantrel {
namespace {

// Every way of not getting at the file's bytes is reported as "file not found".
constexpr HRESULT fileNotReadable = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
constexpr HRESULT alreadyInitialized = HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
// "FORM", its length, the form type and at least the first two bytes of a chunk.
constexpr std::uint64_t smallestFileConsidered = 14;

bool sameId(const std::uint8_t* bytes, const char* id) {
    for (int i = 0; i < 4; ++i) {
        if (bytes[i] != static_cast<std::uint8_t>(id[i])) return false;
    }
    return true;
}

// A read-only view of the whole file, or null. The mapping handle is closed at
// once: the view keeps the mapping alive.
const std::uint8_t* mapWholeFile(HANDLE file) {
    HANDLE mapping = CreateFileMappingW(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    if (mapping == nullptr) return nullptr;
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    CloseHandle(mapping);
    return static_cast<const std::uint8_t*>(view);
}

bool acceptPicture(ImageInfo& info, const std::uint8_t* view, std::uint64_t size) {
    if (size < smallestFileConsidered) return false;
    if (!sameId(view, "FORM")) return false;
    const std::uint8_t* type = view + 8;
    if (!sameId(type, "ILBM") && !sameId(type, "PBM ") && !sameId(type, "ACBM")) return false;
    return parsePicture(info, view, view + static_cast<std::size_t>(size));
}

}  // namespace

HRESULT initializeHandler(ThumbnailHandler& handler, LPCWSTR path) {
    if (handler.initialized) return alreadyInitialized;
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return fileNotReadable;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return fileNotReadable;
    }
    const std::uint64_t fileSize = static_cast<std::uint64_t>(size.QuadPart);
    const std::uint8_t* view = fileSize != 0 ? mapWholeFile(file) : nullptr;
    handler.view = view;
    handler.fileSize = fileSize;
    CloseHandle(file);
    if (fileSize != 0 && view == nullptr) return fileNotReadable;

    if (acceptPicture(handler.imageInfo, view, fileSize)) {
        handler.initialized = true;
        return S_OK;
    }
    if (view != nullptr) UnmapViewOfFile(view);
    return E_INVALIDARG;
}

}  // namespace vantrel
