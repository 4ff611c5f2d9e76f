#include "tests/windows/support/DllUnderTest.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "module/Guids.h"

namespace vantrel::test {

std::wstring dllPath() {
    std::wstring path = VANTREL_DLL_PATH;
    for (wchar_t& c : path) {
        if (c == L'/') c = L'\\';
    }
    return path;
}

const DllUnderTest& dll() {
    static const DllUnderTest loaded = [] {
        DllUnderTest d{};
        d.module = LoadLibraryW(dllPath().c_str());
        if (d.module == nullptr) return d;
        d.getClassObject = reinterpret_cast<GetClassObjectFunction>(
            reinterpret_cast<void*>(GetProcAddress(d.module, "DllGetClassObject")));
        d.canUnloadNow = reinterpret_cast<CanUnloadNowFunction>(
            reinterpret_cast<void*>(GetProcAddress(d.module, "DllCanUnloadNow")));
        return d;
    }();
    if (loaded.module == nullptr || loaded.getClassObject == nullptr || loaded.canUnloadNow == nullptr) {
        ADD_FAILURE() << "cannot load " << dllPath() << " with both exports";
        std::abort();
    }
    return loaded;
}

IClassFactory* newFactory() {
    void* factory = nullptr;
    const HRESULT hr = dll().getClassObject(handlerClsid, iidClassFactory, &factory);
    EXPECT_EQ(hr, S_OK);
    return static_cast<IClassFactory*>(factory);
}

namespace {

void* newHandler(const GUID& iid) {
    IClassFactory* factory = newFactory();
    if (factory == nullptr) return nullptr;
    void* handler = nullptr;
    EXPECT_EQ(factory->CreateInstance(nullptr, iid, &handler), S_OK);
    factory->Release();
    return handler;
}

}  // namespace

IInitializeWithFile* newInitializeWithFile() {
    return static_cast<IInitializeWithFile*>(newHandler(iidInitializeWithFile));
}

IThumbnailProvider* newThumbnailProvider() {
    return static_cast<IThumbnailProvider*>(newHandler(iidThumbnailProvider));
}

HandlerUnderTest::HandlerUnderTest() : initializer(newInitializeWithFile()) {
    if (initializer != nullptr) {
        EXPECT_EQ(initializer->QueryInterface(iidThumbnailProvider, reinterpret_cast<void**>(&provider)), S_OK);
    }
    if (provider == nullptr) {
        ADD_FAILURE() << "no handler to test";
        std::abort();
    }
}

HandlerUnderTest::~HandlerUnderTest() {
    if (provider != nullptr) provider->Release();
    if (initializer != nullptr) initializer->Release();
}

int moduleObjectCount() {
    IClassFactory* factory = newFactory();
    if (factory == nullptr) return -1;
    int locksTaken = 0;
    while (dll().canUnloadNow() != S_OK && locksTaken < 100000) {
        factory->LockServer(FALSE);
        ++locksTaken;
    }
    for (int i = 0; i < locksTaken; ++i) factory->LockServer(TRUE);
    factory->Release();
    return locksTaken - 1;  // the measuring factory's own reference
}

}  // namespace vantrel::test
