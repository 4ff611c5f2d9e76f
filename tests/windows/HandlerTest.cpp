// The handler's identity through its two interface pointers, its reference
// counting, and what its last Release gives back.
#include <gtest/gtest.h>

#include "module/Guids.h"
#include "tests/windows/support/DllUnderTest.h"
#include "tests/windows/support/PlatformCalls.h"
#include "tests/windows/support/Pictures.h"
#include "tests/windows/support/TestFiles.h"

namespace vantrel::test {
namespace {

void* const untouched = reinterpret_cast<void*>(std::uintptr_t{0xBAADF00D});

class Handler : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(moduleObjectCount(), 0); }
    void TearDown() override { EXPECT_EQ(dll().canUnloadNow(), S_OK) << "references left behind"; }
};

TEST_F(Handler, BothPointersReachOneIdentity) {
    HandlerUnderTest h;
    void* const first = h.initializer;
    void* const second = h.provider;
    struct Case {
        IUnknown* from;
        const GUID* iid;
        void* expected;
    };
    const Case cases[] = {
        {h.initializer, &iidUnknown, first},           {h.provider, &iidUnknown, first},
        {h.initializer, &iidInitializeWithFile, first}, {h.provider, &iidInitializeWithFile, first},
        {h.initializer, &iidThumbnailProvider, second}, {h.provider, &iidThumbnailProvider, second},
    };
    for (const Case& c : cases) {
        void* out = nullptr;
        ASSERT_EQ(c.from->QueryInterface(*c.iid, &out), S_OK);
        EXPECT_EQ(out, c.expected);
        EXPECT_EQ(referenceCount(h.initializer), 3u);
        EXPECT_EQ(moduleObjectCount(), 3);
        EXPECT_EQ(static_cast<IUnknown*>(out)->Release(), 2u);
    }
}

TEST_F(Handler, OtherInterfacesAreRefused) {
    HandlerUnderTest h;
    for (IUnknown* from : {static_cast<IUnknown*>(h.initializer), static_cast<IUnknown*>(h.provider)}) {
        for (const GUID* iid : {&iidClassFactory, &handlerClsid}) {
            void* out = untouched;
            EXPECT_EQ(from->QueryInterface(*iid, &out), E_NOINTERFACE);
            EXPECT_EQ(out, nullptr);
        }
        EXPECT_EQ(from->QueryInterface(iidUnknown, nullptr), E_POINTER);
    }
    EXPECT_EQ(referenceCount(h.provider), 2u);
    EXPECT_EQ(moduleObjectCount(), 2);
}

TEST_F(Handler, AddRefAndReleaseReturnTheNewCountOnEitherPointer) {
    IThumbnailProvider* provider = newThumbnailProvider();
    ASSERT_NE(provider, nullptr);
    IInitializeWithFile* initializer = nullptr;
    ASSERT_EQ(provider->QueryInterface(iidInitializeWithFile, reinterpret_cast<void**>(&initializer)), S_OK);
    EXPECT_EQ(initializer->AddRef(), 3u);
    EXPECT_EQ(provider->AddRef(), 4u);
    EXPECT_EQ(moduleObjectCount(), 4);
    EXPECT_EQ(provider->Release(), 3u);
    EXPECT_EQ(initializer->Release(), 2u);
    EXPECT_EQ(initializer->Release(), 1u);
    EXPECT_EQ(moduleObjectCount(), 1);
    EXPECT_EQ(provider->Release(), 0u);
}

TEST_F(Handler, LastReleaseUnmapsTheViewOnceAndFreesTheObject) {
    TempFile file(maskedPicture());
    WatchedPlatform platform;
    PlatformCalls& calls = platform.calls();
    IInitializeWithFile* initializer = newInitializeWithFile();
    ASSERT_NE(initializer, nullptr);
    ASSERT_EQ(initializer->Initialize(file.path(), STGM_READ), S_OK);
    ASSERT_EQ(calls.views.size(), 1u);
    initializer->AddRef();
    EXPECT_EQ(initializer->Release(), 1u);
    EXPECT_TRUE(calls.unmappedViews.empty());
    EXPECT_EQ(initializer->Release(), 0u);
    EXPECT_EQ(calls.unmappedViews, calls.views);
    EXPECT_EQ(calls.blocksNotFreed(), 0u);
    EXPECT_TRUE(calls.handlesLeftOpen().empty());
}

TEST_F(Handler, ReleaseWithoutAPictureUnmapsNothing) {
    TempFile notAPicture({'F', 'O', 'R', 'M', 0, 0, 0, 8, 'I', 'L', 'B', 'M', 'X', 'Y', 'Z', 'W'});
    WatchedPlatform platform;
    PlatformCalls& calls = platform.calls();
    {
        HandlerUnderTest neverInitialized;
    }
    EXPECT_TRUE(calls.unmappedViews.empty());
    {
        HandlerUnderTest failed;
        EXPECT_EQ(failed.initialize(notAPicture.path()), E_INVALIDARG);
        EXPECT_EQ(calls.unmappedViews.size(), 1u);  // Initialize gave its view back at once
    }
    EXPECT_EQ(calls.unmappedViews.size(), 1u);
    EXPECT_FALSE(calls.anyViewUnmappedTwice());
    EXPECT_EQ(calls.blocksNotFreed(), 0u);
}

}  // namespace
}  // namespace vantrel::test
