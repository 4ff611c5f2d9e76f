// Asks the registered thumbnail handler for a picture's thumbnail the way the
// Windows Shell does: COM creates the handler from its CLSID, the handler is
// given the file through IInitializeWithFile and asked for a bitmap through
// IThumbnailProvider.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::host {

struct Thumbnail {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<std::uint8_t> rgba;  // rows top to bottom, straight (not premultiplied) alpha
};

struct RenderResult {
    HRESULT status = S_OK;
    const wchar_t* failedCall = L"";  // the call that returned status, when it failed
};

// COM must be initialised on the calling thread. size is the edge length the
// Shell would ask for; the handler may return a bitmap of another size.
RenderResult renderThumbnail(const std::wstring& path, UINT size, Thumbnail& thumbnail);

// Turns premultiplied 0xAARRGGBB words into straight R, G, B, A bytes.
std::vector<std::uint8_t> straightRgba(const std::vector<std::uint32_t>& premultiplied, bool hasAlpha);

}  // namespace vantrel::host
