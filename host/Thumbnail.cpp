#include "Thumbnail.h"

#include <objbase.h>
#include <propsys.h>
#include <thumbcache.h>

#include "module/Guids.h"

#include <cstdlib>

namespace vantrel::host {
namespace {


// Owns one interface reference.
template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() {
        if (pointer_ != nullptr) pointer_->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    void** put() { return reinterpret_cast<void**>(&pointer_); }
    T* operator->() const { return pointer_; }

private:
    T* pointer_ = nullptr;
};

std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
    const std::uint32_t value = (channel * 255 + alpha / 2) / alpha;
    return static_cast<std::uint8_t>(value > 255 ? 255 : value);
}

// Copies the bitmap's pixels, rows top to bottom whatever its own row order.
bool readPixels(HBITMAP bitmap, std::uint32_t& width, std::uint32_t& height, std::vector<std::uint32_t>& pixels) {
    BITMAP description{};
    if (GetObjectW(bitmap, sizeof description, &description) == 0 || description.bmWidth <= 0) {
        return false;
    }
    width = static_cast<std::uint32_t>(description.bmWidth);
    height = static_cast<std::uint32_t>(std::abs(description.bmHeight));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    pixels.assign(std::size_t{width} * height, 0);
    HDC dc = CreateCompatibleDC(nullptr);
    const int rows = GetDIBits(dc, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
    DeleteDC(dc);
    return rows == static_cast<int>(height);
}

}  // namespace

std::vector<std::uint8_t> straightRgba(const std::vector<std::uint32_t>& premultiplied, bool hasAlpha) {
    std::vector<std::uint8_t> rgba;
    rgba.reserve(premultiplied.size() * 4);
    for (const std::uint32_t word : premultiplied) {
        const std::uint32_t alpha = hasAlpha ? word >> 24 : 255;
        for (const int shift : {16, 8, 0}) {
            rgba.push_back(alpha == 0 ? 0 : unpremultiply((word >> shift) & 0xFF, alpha));
        }
        rgba.push_back(static_cast<std::uint8_t>(alpha));
    }
    return rgba;
}

RenderResult renderThumbnail(const std::wstring& path, UINT size, Thumbnail& thumbnail) {
    ComRef<IInitializeWithFile> initializer;
    HRESULT status = CoCreateInstance(handlerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithFile,
                                      initializer.put());
    if (FAILED(status)) return {status, L"CoCreateInstance"};
    status = initializer->Initialize(path.c_str(), STGM_READ);
    if (FAILED(status)) return {status, L"IInitializeWithFile::Initialize"};
    ComRef<IThumbnailProvider> provider;
    status = initializer->QueryInterface(iidThumbnailProvider, provider.put());
    if (FAILED(status)) return {status, L"QueryInterface(IThumbnailProvider)"};
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alphaType = WTSAT_UNKNOWN;
    status = provider->GetThumbnail(size, &bitmap, &alphaType);
    if (FAILED(status)) return {status, L"IThumbnailProvider::GetThumbnail"};
    std::vector<std::uint32_t> pixels;
    const bool read = readPixels(bitmap, thumbnail.width, thumbnail.height, pixels);
    DeleteObject(bitmap);
    if (!read) return {E_FAIL, L"GetDIBits"};
    thumbnail.rgba = straightRgba(pixels, alphaType != WTSAT_RGB);
    return {};
}

}  // namespace vantrel::host
