// Explorer asks for thumbnails on several threads at once. Eight threads, each
// in its own single-threaded apartment, create handlers through COM from the
// registered class and render the same 500 pictures (healthy and damaged) in
// orders of their own, all at the same time: every HRESULT is one the handler
// may give, every bitmap is the core library's, and afterwards the module can
// unload and the process holds no more handles or views than before.
#include "InstalledHandler.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <propsys.h>
#include <thumbcache.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "fuzz/DamageCases.h"
#include "iff/Parser.h"
#include "module/Guids.h"
#include "tests/windows/support/Pictures.h"
#include "tests/windows/support/ProcessResources.h"
#include "tests/windows/support/TestFiles.h"

namespace vantrel::test {
namespace {

constexpr unsigned kThreads = 8;
constexpr std::size_t kCases = 500;
// Most pictures decode within one time slice; going over them a few times
// gives the threads many more chances to be cut off mid-picture.
constexpr std::size_t kRounds = 8;
// Each thread walks the cases with its own step (all prime to 500), so the
// threads meet on the same file now and then but mostly render different ones.
constexpr std::size_t kSteps[kThreads] = {1, 3, 7, 9, 11, 13, 17, 19};

struct Case {
    std::string what;
    std::wstring path;
    bool accepted = false;                 // parsePicture takes it
    std::vector<std::uint32_t> expected;  // the handler's bitmap as the library makes it
};

// The healthy pictures (generated and corpus) and damaged copies of the
// generated ones, spread evenly over every kind of damage, up to kCases.
std::vector<fuzz::Subject> chosenPictures(std::size_t& healthy) {
    std::vector<fuzz::Subject> chosen = fuzz::generatedSubjects();
    for (const std::wstring& path : filesIn(VANTREL_CORPUS_DIR)) {
        if (path.size() < 3 || path.compare(path.size() - 3, 3, L".md") != 0) {
            chosen.push_back({"corpus file " + std::to_string(chosen.size()), readWholeFile(path)});
        }
    }
    healthy = chosen.size();
    const std::vector<fuzz::Subject> generated = fuzz::generatedSubjects();
    std::size_t total = 0;
    for (const fuzz::Subject& s : generated) fuzz::allDamage(s, [&](const Bytes&, const std::string&) { ++total; });
    const std::size_t wanted = kCases - chosen.size();
    std::size_t index = 0;
    for (const fuzz::Subject& s : generated) {
        fuzz::allDamage(s, [&](const Bytes& bytes, const std::string& what) {
            if (index++ % (total / wanted) == 0 && chosen.size() < kCases) chosen.push_back({what, bytes});
        });
    }
    return chosen;
}

std::vector<Case> writeCases(const StageFolder& stage) {
    std::vector<Case> cases;
    std::size_t healthy = 0;
    const std::vector<fuzz::Subject> pictures = chosenPictures(healthy);
    std::printf("%zu pictures: %zu healthy, %zu damaged\n", pictures.size(), healthy, pictures.size() - healthy);
    for (const fuzz::Subject& s : pictures) {
        Case c;
        c.what = s.name;
        c.path = stage.file(L"case-" + std::to_wstring(cases.size()) + L".iff");
        ImageInfo info{};
        c.accepted = parsePicture(info, s.bytes.data(), s.bytes.data() + s.bytes.size());
        c.expected = expectedThumbnail(s.bytes);
        stage.write(c.path.substr(c.path.find_last_of(L'\\') + 1), s.bytes);
        cases.push_back(std::move(c));
    }
    return cases;
}

std::string hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

struct ThreadReport {
    std::size_t rendered = 0;
    std::size_t refused = 0;  // by Initialize
    std::size_t failureCount = 0;
    std::vector<std::string> failures;  // the first few

    void fail(const std::string& failure) {
        if (failures.size() < 5) failures.push_back(failure);
        ++failureCount;
    }
};

void renderAccepted(IInitializeWithFile* initializer, const Case& c, ThreadReport& report) {
    IThumbnailProvider* provider = nullptr;
    if (initializer->QueryInterface(iidThumbnailProvider, reinterpret_cast<void**>(&provider)) != S_OK) {
        report.fail(c.what + ": no IThumbnailProvider");
        return;
    }
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    const HRESULT hr = provider->GetThumbnail(256, &bitmap, &alpha);
    provider->Release();
    if (hr == S_OK) {
        ++report.rendered;
        if (alpha != WTSAT_ARGB || readBitmap(bitmap).pixels != c.expected) report.fail(c.what + ": thumbnail differs");
        DeleteObject(bitmap);
    } else if (hr != E_OUTOFMEMORY || !c.expected.empty() || bitmap != nullptr) {
        report.fail(c.what + ": GetThumbnail gave " + hex(hr));
    }
}

void renderOne(const Case& c, ThreadReport& report) {
    IInitializeWithFile* initializer = nullptr;
    HRESULT hr = CoCreateInstance(handlerClsid, nullptr, CLSCTX_INPROC_SERVER, iidInitializeWithFile,
                                  reinterpret_cast<void**>(&initializer));
    if (hr != S_OK) {
        report.fail(c.what + ": CoCreateInstance gave " + hex(hr));
        return;
    }
    hr = initializer->Initialize(c.path.c_str(), STGM_READ);
    if (hr != (c.accepted ? S_OK : E_INVALIDARG)) report.fail(c.what + ": Initialize gave " + hex(hr));
    if (hr == S_OK) {
        renderAccepted(initializer, c, report);
    } else {
        ++report.refused;
    }
    if (initializer->Release() != 0) report.fail(c.what + ": the handler outlived its last reference");
}

// One apartment's share: every case kRounds times, starting where the
// thread's number says and going by its own step; all threads start together.
void renderInApartment(const std::vector<Case>& cases, unsigned thread, std::atomic<unsigned>& waiting,
                       ThreadReport& report) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    --waiting;
    while (waiting.load() != 0) std::this_thread::yield();
    if (com != S_OK) {
        report.fail("CoInitializeEx gave " + hex(com));
        return;
    }
    const std::size_t count = cases.size();
    for (std::size_t i = 0; i < count * kRounds; ++i) {
        renderOne(cases[(thread * count / kThreads + i * kSteps[thread] + i / count) % count], report);
    }
    CoUninitialize();
}

std::vector<ThreadReport> renderOnThreads(const std::vector<Case>& cases, unsigned threads) {
    std::vector<ThreadReport> reports(threads);
    std::atomic<unsigned> waiting{threads};
    std::vector<std::thread> running;
    for (unsigned t = 0; t < threads; ++t) {
        running.emplace_back(renderInApartment, std::cref(cases), t, std::ref(waiting), std::ref(reports[t]));
    }
    for (std::thread& t : running) t.join();
    return reports;
}

using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();

TEST(DllConcurrency, EightApartmentsRenderAtOnce) {
    InstalledHandler handler;
    const std::vector<Case> cases = writeCases(handler.stage());
    ASSERT_EQ(cases.size(), kCases);
    // The test's own reference keeps the module that COM loads from the
    // registry in place after the apartments go, so that it can be asked.
    HMODULE module = LoadLibraryW(handler.dllPath().c_str());
    ASSERT_NE(module, nullptr);
    const auto canUnloadNow =
        reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_NE(canUnloadNow, nullptr);

    renderOnThreads({cases.front()}, 1);  // the first bitmap and apartment may set up system state of their own
    const int views = mappedViews();
    const int handles = openHandles();
    const int systemHandles = systemHandleCount();

    const auto start = std::chrono::steady_clock::now();
    const std::vector<ThreadReport> reports = renderOnThreads(cases, kThreads);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);

    std::size_t rendered = 0;
    std::size_t refused = 0;
    for (unsigned t = 0; t < kThreads; ++t) {
        rendered += reports[t].rendered;
        refused += reports[t].refused;
        EXPECT_EQ(reports[t].failureCount, 0u) << "thread " << t << ", first: " << reports[t].failures.front();
    }
    std::printf("%u threads x %zu pictures x %zu rounds in %lld ms: %zu rendered, %zu refused by Initialize\n",
                kThreads, cases.size(), kRounds, static_cast<long long>(elapsed.count()), rendered, refused);
    const int handlesAfter = openHandles();
    std::printf("handles %d -> %d (system count %d -> %d), mapped views %d -> %d\n", handles, handlesAfter,
                systemHandles, systemHandleCount(), views, mappedViews());
    EXPECT_EQ(canUnloadNow(), S_OK);
    EXPECT_EQ(mappedViews(), views) << "a view of a picture stayed mapped";
    EXPECT_EQ(handlesAfter, handles) << "a file or mapping handle stayed open";
    FreeLibrary(module);
}

}  // namespace
}  // namespace vantrel::test
