// The class object export, the class factory, and the module count that
// decides unloading, watched through DllCanUnloadNow.
#include <gtest/gtest.h>

#include "module/Guids.h"
#include "tests/windows/support/DllUnderTest.h"
#include "tests/windows/support/PlatformCalls.h"

namespace vantrel::test {
namespace {

constexpr GUID otherClsid = {0xED61F10D, 0x555F, 0x4513, {0x84, 0x99, 0x57, 0xB9, 0x01, 0xD9, 0x89, 0x86}};
void* const untouched = reinterpret_cast<void*>(std::uintptr_t{0xBAADF00D});

class Factory : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(moduleObjectCount(), 0); }
    void TearDown() override { EXPECT_EQ(dll().canUnloadNow(), S_OK) << "references left behind"; }
};

TEST_F(Factory, ClassObjectFailuresWriteNullAndLeaveTheCount) {
    struct Case {
        const GUID* clsid;
        const GUID* iid;
        HRESULT expected;
    };
    const Case cases[] = {
        {&otherClsid, &iidClassFactory, CLASS_E_CLASSNOTAVAILABLE},
        {&iidUnknown, &iidUnknown, CLASS_E_CLASSNOTAVAILABLE},
        {&handlerClsid, &iidThumbnailProvider, E_NOINTERFACE},
        {&handlerClsid, &iidInitializeWithFile, E_NOINTERFACE},
        {&handlerClsid, &otherClsid, E_NOINTERFACE},
    };
    WatchedPlatform platform;
    for (const Case& c : cases) {
        void* out = untouched;
        EXPECT_EQ(dll().getClassObject(*c.clsid, *c.iid, &out), c.expected);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(dll().canUnloadNow(), S_OK);
    }
    EXPECT_EQ(platform.calls().blocksNotFreed(), 0u);
}

TEST_F(Factory, FactoryAllocationFailure) {
    WatchedPlatform platform;
    platform.calls().failHeapAlloc = true;
    void* out = untouched;
    EXPECT_EQ(dll().getClassObject(handlerClsid, iidClassFactory, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

TEST_F(Factory, NullOutPointersAreRefused) {
    EXPECT_EQ(dll().getClassObject(handlerClsid, iidClassFactory, nullptr), E_POINTER);
    IClassFactory* factory = newFactory();
    ASSERT_NE(factory, nullptr);
    EXPECT_EQ(factory->QueryInterface(iidClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(factory->CreateInstance(nullptr, iidThumbnailProvider, nullptr), E_POINTER);
    EXPECT_EQ(moduleObjectCount(), 1);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(Factory, ClassObjectIsANewFactoryWithOneReference) {
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(dll().getClassObject(handlerClsid, iidClassFactory, &first), S_OK);
    EXPECT_EQ(moduleObjectCount(), 1);
    ASSERT_EQ(dll().getClassObject(handlerClsid, iidUnknown, &second), S_OK);
    EXPECT_EQ(moduleObjectCount(), 2);
    EXPECT_NE(first, second);
    auto* a = static_cast<IClassFactory*>(first);
    auto* b = static_cast<IUnknown*>(second);
    EXPECT_EQ(referenceCount(a), 1u);
    EXPECT_EQ(referenceCount(b), 1u);

    // Asked for IUnknown, it is the same kind of object: a class factory.
    void* asFactory = nullptr;
    ASSERT_EQ(b->QueryInterface(iidClassFactory, &asFactory), S_OK);
    EXPECT_EQ(asFactory, second);
    EXPECT_EQ(static_cast<IClassFactory*>(asFactory)->Release(), 1u);

    EXPECT_EQ(a->Release(), 0u);
    EXPECT_EQ(moduleObjectCount(), 1);
    EXPECT_EQ(b->Release(), 0u);
}

TEST_F(Factory, QueryInterface) {
    IClassFactory* factory = newFactory();
    ASSERT_NE(factory, nullptr);
    for (const GUID* iid : {&iidUnknown, &iidClassFactory}) {
        void* out = nullptr;
        ASSERT_EQ(factory->QueryInterface(*iid, &out), S_OK);
        EXPECT_EQ(out, factory);
        EXPECT_EQ(referenceCount(factory), 2u);
        EXPECT_EQ(moduleObjectCount(), 2);
        EXPECT_EQ(factory->Release(), 1u);
    }
    for (const GUID* iid : {&iidInitializeWithFile, &iidThumbnailProvider, &handlerClsid}) {
        void* out = untouched;
        EXPECT_EQ(factory->QueryInterface(*iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(referenceCount(factory), 1u);
        EXPECT_EQ(moduleObjectCount(), 1);
    }
    EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(Factory, CreateInstanceFailuresWriteNullAndLeaveTheCount) {
    IClassFactory* factory = newFactory();
    ASSERT_NE(factory, nullptr);
    void* out = untouched;
    EXPECT_EQ(factory->CreateInstance(factory, iidThumbnailProvider, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    for (const GUID* iid : {&iidUnknown, &iidClassFactory, &handlerClsid}) {
        out = untouched;
        EXPECT_EQ(factory->CreateInstance(nullptr, *iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    {
        WatchedPlatform platform;
        platform.calls().failHeapAlloc = true;
        out = untouched;
        EXPECT_EQ(factory->CreateInstance(nullptr, iidInitializeWithFile, &out), E_OUTOFMEMORY);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(moduleObjectCount(), 1);
    EXPECT_EQ(factory->Release(), 0u);
}

TEST_F(Factory, CreateInstanceHandsOutTheAskedInterfaceWithOneReference) {
    IClassFactory* factory = newFactory();
    ASSERT_NE(factory, nullptr);
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, iidInitializeWithFile, &first), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, iidThumbnailProvider, &second), S_OK);
    EXPECT_EQ(moduleObjectCount(), 3);
    auto* initialize = static_cast<IInitializeWithFile*>(first);
    auto* provider = static_cast<IThumbnailProvider*>(second);
    EXPECT_EQ(referenceCount(initialize), 1u);
    EXPECT_EQ(referenceCount(provider), 1u);

    // The first is each object's primary pointer, the second its second one.
    void* primary = nullptr;
    ASSERT_EQ(provider->QueryInterface(iidUnknown, &primary), S_OK);
    EXPECT_EQ(static_cast<char*>(second), static_cast<char*>(primary) + sizeof(void*));
    static_cast<IUnknown*>(primary)->Release();
    void* identity = nullptr;
    ASSERT_EQ(initialize->QueryInterface(iidUnknown, &identity), S_OK);
    EXPECT_EQ(identity, first);
    static_cast<IUnknown*>(identity)->Release();

    // Handlers do not hold their factory: each keeps the module on its own.
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(moduleObjectCount(), 2);
    EXPECT_EQ(initialize->Release(), 0u);
    EXPECT_EQ(provider->Release(), 0u);
}

TEST_F(Factory, ModuleStaysWhileAnythingIsHeld) {
    IClassFactory* factory = newFactory();
    ASSERT_NE(factory, nullptr);
    void* out = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, iidInitializeWithFile, &out), S_OK);
    auto* handler = static_cast<IInitializeWithFile*>(out);
    IThumbnailProvider* provider = nullptr;
    ASSERT_EQ(handler->QueryInterface(iidThumbnailProvider, reinterpret_cast<void**>(&provider)), S_OK);
    factory->AddRef();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(moduleObjectCount(), 5);

    // Give everything back in an order unlike the one it was taken in.
    EXPECT_EQ(factory->Release(), 1u);
    EXPECT_EQ(handler->Release(), 1u);
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);  // the lock outlives the factory
    IClassFactory* unlocker = newFactory();
    ASSERT_NE(unlocker, nullptr);
    unlocker->LockServer(FALSE);
    EXPECT_EQ(unlocker->Release(), 0u);
    EXPECT_EQ(dll().canUnloadNow(), S_FALSE);
    EXPECT_EQ(provider->Release(), 0u);
}

TEST_F(Factory, ObjectsLiveInPlainProcessHeapBlocks) {
    WatchedPlatform platform;
    IClassFactory* factory = newFactory();
    ASSERT_NE(factory, nullptr);
    void* handler = nullptr;
    ASSERT_EQ(factory->CreateInstance(nullptr, iidThumbnailProvider, &handler), S_OK);
    EXPECT_EQ(platform.calls().allocations.size(), 2u);
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(static_cast<IUnknown*>(handler)->Release(), 0u);
    EXPECT_EQ(platform.calls().blocksNotFreed(), 0u);
    EXPECT_EQ(platform.calls().frees.size(), 2u);
    EXPECT_TRUE(platform.calls().allHeapCallsPlain());
}

}  // namespace
}  // namespace vantrel::test
