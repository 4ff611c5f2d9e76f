#include "WicPng.h"

#include <objbase.h>
#include <wincodec.h>

#include "ComRef.h"

namespace vantrel::host {
namespace {

struct Pipeline {
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICBitmap> bitmap;
    ComRef<IWICBitmapScaler> scaler;
    ComRef<IWICFormatConverter> converter;
    WICPixelFormatGUID format{};  // what the converter hands the encoder
    PixelSize size;
};

// The handler's bitmap as WIC sees it, scaled when it is larger than edge,
// converted to straight BGRA (or BGR for an opaque bitmap).
CallResult prepare(const ShellBitmap& thumbnail, UINT edge, Pipeline& p) {
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  p.factory.putVoid());
    if (FAILED(hr)) return {hr, L"CoCreateInstance(WICImagingFactory)"};
    const bool opaque = thumbnail.alpha == WTSAT_RGB;
    hr = p.factory->CreateBitmapFromHBITMAP(thumbnail.bitmap, nullptr,
                                            opaque ? WICBitmapIgnoreAlpha : WICBitmapUsePremultipliedAlpha,
                                            p.bitmap.put());
    if (FAILED(hr)) return {hr, L"IWICImagingFactory::CreateBitmapFromHBITMAP"};
    PixelSize full;
    hr = p.bitmap->GetSize(&full.width, &full.height);
    if (FAILED(hr)) return {hr, L"IWICBitmap::GetSize"};
    p.size = fitInside(full, edge);
    IWICBitmapSource* source = p.bitmap.get();
    if (p.size.width != full.width || p.size.height != full.height) {
        hr = p.factory->CreateBitmapScaler(p.scaler.put());
        if (SUCCEEDED(hr)) hr = p.scaler->Initialize(source, p.size.width, p.size.height, WICBitmapInterpolationModeFant);
        if (FAILED(hr)) return {hr, L"IWICBitmapScaler::Initialize"};
        source = p.scaler.get();
    }
    p.format = opaque ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA;
    hr = p.factory->CreateFormatConverter(p.converter.put());
    if (SUCCEEDED(hr)) {
        hr = p.converter->Initialize(source, p.format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom);
    }
    if (FAILED(hr)) return {hr, L"IWICFormatConverter::Initialize"};
    return {};
}

CallResult encode(Pipeline& p, const std::wstring& path) {
    ComRef<IWICStream> stream;
    HRESULT hr = p.factory->CreateStream(stream.put());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (FAILED(hr)) return {hr, L"IWICStream::InitializeFromFilename"};
    ComRef<IWICBitmapEncoder> encoder;
    hr = p.factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
    if (FAILED(hr)) return {hr, L"IWICBitmapEncoder::Initialize"};
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    hr = encoder->CreateNewFrame(frame.put(), options.put());
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.get());
    if (SUCCEEDED(hr)) hr = frame->SetSize(p.size.width, p.size.height);
    WICPixelFormatGUID format = p.format;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (FAILED(hr)) return {hr, L"IWICBitmapFrameEncode::Initialize"};
    if (!IsEqualGUID(format, p.format)) return {WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT, L"IWICBitmapFrameEncode::SetPixelFormat"};
    hr = frame->WriteSource(p.converter.get(), nullptr);
    if (FAILED(hr)) return {hr, L"IWICBitmapFrameEncode::WriteSource"};
    hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    if (FAILED(hr)) return {hr, L"IWICBitmapEncoder::Commit"};
    return {};
}

}  // namespace

PixelSize fitInside(PixelSize size, UINT edge) {
    const UINT longer = size.width > size.height ? size.width : size.height;
    if (edge == 0 || longer <= edge) return size;
    auto scaled = [&](UINT side) {
        const unsigned long long value = (static_cast<unsigned long long>(side) * edge + longer / 2) / longer;
        return value == 0 ? 1u : static_cast<UINT>(value);
    };
    return {scaled(size.width), scaled(size.height)};
}

CallResult savePng(const ShellBitmap& thumbnail, UINT edge, const std::wstring& path, PixelSize& written) {
    Pipeline pipeline;
    CallResult result = prepare(thumbnail, edge, pipeline);
    if (FAILED(result.status)) return result;
    const std::wstring temporary = path + L".partial";
    result = encode(pipeline, temporary);  // every stream and encoder reference is gone once it returns
    if (SUCCEEDED(result.status) && !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        result = {HRESULT_FROM_WIN32(GetLastError()), L"MoveFileEx"};
    }
    if (FAILED(result.status)) {
        DeleteFileW(temporary.c_str());
        return result;
    }
    written = pipeline.size;
    return result;
}

}  // namespace vantrel::host
