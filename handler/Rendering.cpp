#include "decode/Decoder.h"
#include "handler/ThumbnailHandler.h"

namespace vantrel {
namespace {

// A 32-bit bottom-up description (positive height), without a colour table.
BITMAPINFO bitmapDescription(OutputSize size) {
    BITMAPINFO description;
    BITMAPINFOHEADER& header = description.bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = static_cast<LONG>(size.width);
    header.biHeight = static_cast<LONG>(size.height);
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = size.width * size.height * 4;  // at most 4096 x 4096 x 4, or 65535 x 1 x 4
    header.biXPelsPerMeter = 0;
    header.biYPelsPerMeter = 0;
    header.biClrUsed = 0;
    header.biClrImportant = 0;
    return description;
}

}  // namespace

HRESULT renderThumbnail(const ThumbnailHandler& handler, HBITMAP* phbmp, WTS_ALPHATYPE* pdwAlpha) {
    if (phbmp != nullptr) *phbmp = nullptr;
    if (pdwAlpha != nullptr) *pdwAlpha = WTSAT_UNKNOWN;
    if (phbmp == nullptr || pdwAlpha == nullptr) return E_POINTER;
    if (!handler.initialized) return E_UNEXPECTED;  // no picture: nothing to read

    // The picture's own size: the Shell scales the bitmap itself. A width of
    // zero (an empty colour map) is refused by the bitmap creation.
    const OutputSize size = outputSize(handler.imageInfo);
    const BITMAPINFO description = bitmapDescription(size);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &description, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) return E_OUTOFMEMORY;

    auto* pixels = static_cast<std::uint32_t*>(bits);
    decodePicture(handler.imageInfo, pixels, Alpha::Premultiplied);
    *phbmp = bitmap;
    *pdwAlpha = WTSAT_ARGB;
    return S_OK;
}

}  // namespace vantrel
