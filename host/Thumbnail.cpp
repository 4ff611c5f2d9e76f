#include "Thumbnail.h"

#include <objbase.h>
#include <propsys.h>

#include "ComRef.h"
#include "module/Guids.h"

namespace vantrel::host {

ShellBitmap::~ShellBitmap() {
    if (bitmap != nullptr) DeleteObject(bitmap);
}

CallResult renderThumbnail(const std::wstring& path, UINT size, ShellBitmap& thumbnail) {
    ComRef<IInitializeWithFile> initializer;
    HRESULT status = CoCreateInstance(handlerClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IInitializeWithFile,
                                      initializer.putVoid());
    if (FAILED(status)) return {status, L"CoCreateInstance"};
    status = initializer->Initialize(path.c_str(), STGM_READ);
    if (FAILED(status)) return {status, L"IInitializeWithFile::Initialize"};
    ComRef<IThumbnailProvider> provider;
    status = initializer->QueryInterface(iidThumbnailProvider, provider.putVoid());
    if (FAILED(status)) return {status, L"QueryInterface(IThumbnailProvider)"};
    status = provider->GetThumbnail(size, &thumbnail.bitmap, &thumbnail.alpha);
    if (FAILED(status)) return {status, L"IThumbnailProvider::GetThumbnail"};
    return {};
}

}  // namespace vantrel::host
