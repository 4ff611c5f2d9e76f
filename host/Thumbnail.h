// Asks the registered thumbnail handler for a picture's thumbnail the way the
// Windows Shell does: COM creates the handler from its CLSID, the handler is
// given the file through IInitializeWithFile and asked for a bitmap through
// IThumbnailProvider.
#pragma once

#include <windows.h>
#include <thumbcache.h>

#include <string>

namespace vantrel::host {

// The bitmap the handler gave, owned (deleted with the object).
struct ShellBitmap {
    ShellBitmap() = default;
    ~ShellBitmap();
    ShellBitmap(const ShellBitmap&) = delete;
    ShellBitmap& operator=(const ShellBitmap&) = delete;

    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
};

// An HRESULT and, when it is a failure, the call that returned it.
struct CallResult {
    HRESULT status = S_OK;
    const wchar_t* failedCall = L"";
};

// COM must be initialised on the calling thread. size is the edge length the
// Shell would ask for; the handler may return a bitmap of another size.
CallResult renderThumbnail(const std::wstring& path, UINT size, ShellBitmap& thumbnail);

}  // namespace vantrel::host
