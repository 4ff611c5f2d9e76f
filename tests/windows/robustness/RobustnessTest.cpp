// Damaged and hostile pictures through Vantrel.dll as the Shell drives it, all
// in one process: every HRESULT is one the handler may give, every accepted
// picture renders as the core library renders it, and nothing is left behind:
// no file handle, no mapped view, no object keeping the module loaded.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "decode/Decoder.h"
#include "fuzz/DamageCases.h"
#include "iff/Parser.h"
#include "module/Guids.h"
#include "tests/windows/support/DllUnderTest.h"
#include "tests/windows/support/Pictures.h"
#include "tests/windows/support/ProcessResources.h"
#include "tests/windows/support/TestFiles.h"

namespace vantrel::test {
namespace {

using fuzz::DamageVisitor;
using fuzz::Subject;

constexpr HRESULT fileNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);

std::string hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// Opens the file for writing with no sharing and truncates it: refused while
// any handle to it is open, or while any view of it is mapped.
bool rewriteExclusively(const wchar_t* path, const Bytes& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::vector<Subject> corpusSubjects() {
    std::vector<Subject> subjects;
    for (const std::wstring& path : filesIn(VANTREL_CORPUS_DIR)) {
        if (path.size() >= 3 && path.compare(path.size() - 3, 3, L".md") == 0) continue;
        const std::size_t slash = path.find_last_of(L"\\/");
        const std::wstring name = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
        subjects.push_back({std::string(name.begin(), name.end()), readWholeFile(path)});
    }
    return subjects;
}

// One damaged file after another, written into the same file on disk and
// taken through a new handler each: Initialize, then GetThumbnail when it was
// accepted. Keeps the first few departures from what the core library says.
class DamageThroughDll {
public:
    DamageThroughDll() : file_(Bytes{}), factory_(newFactory()) {}
    ~DamageThroughDll() {
        if (factory_ != nullptr) factory_->Release();
    }

    void run(const Bytes& bytes, const std::string& what) {
        ++cases_;
        if (!rewriteExclusively(file_.path(), bytes)) {
            fail(what + ": the file is still held from the case before");
            return;
        }
        IInitializeWithFile* initializer = nullptr;
        if (factory_->CreateInstance(nullptr, iidInitializeWithFile, reinterpret_cast<void**>(&initializer)) != S_OK) {
            fail(what + ": no handler");
            return;
        }
        ImageInfo info{};
        const bool picture = parsePicture(info, bytes.data(), bytes.data() + bytes.size());
        const HRESULT hr = initializer->Initialize(file_.path(), STGM_READ);
        if (hr != (picture ? S_OK : E_INVALIDARG)) fail(what + ": Initialize gave " + hex(hr));
        if (hr == S_OK) render(initializer, bytes, what);
        initializer->Release();
    }

    const wchar_t* path() const { return file_.path(); }
    std::size_t cases() const { return cases_; }
    std::size_t rendered() const { return rendered_; }
    const std::vector<std::string>& failures() const { return failures_; }

private:
    void render(IInitializeWithFile* initializer, const Bytes& bytes, const std::string& what) {
        IThumbnailProvider* provider = nullptr;
        if (initializer->QueryInterface(iidThumbnailProvider, reinterpret_cast<void**>(&provider)) != S_OK) {
            fail(what + ": no IThumbnailProvider");
            return;
        }
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        const HRESULT hr = provider->GetThumbnail(256, &bitmap, &alpha);
        provider->Release();
        const std::vector<std::uint32_t> expected = expectedThumbnail(bytes);
        if (hr == S_OK) {
            ++rendered_;
            if (alpha != WTSAT_ARGB || readBitmap(bitmap).pixels != expected) fail(what + ": thumbnail differs");
            DeleteObject(bitmap);
        } else if (hr != E_OUTOFMEMORY || !expected.empty() || bitmap != nullptr) {
            fail(what + ": GetThumbnail gave " + hex(hr));
        }
    }

    void fail(const std::string& failure) {
        if (failures_.size() < 20) failures_.push_back(failure);
        ++failureCount_;
    }

    TempFile file_;
    IClassFactory* factory_;
    std::size_t cases_ = 0;
    std::size_t rendered_ = 0;
    std::size_t failureCount_ = 0;
    std::vector<std::string> failures_;
};

// One kind of damage over every generated picture and corpus file, then the
// checks that nothing outlived its handler.
void runThroughDll(const char* kind, void (*damage)(const Subject&, const DamageVisitor&)) {
    std::vector<Subject> subjects = fuzz::generatedSubjects();
    for (Subject& s : corpusSubjects()) subjects.push_back(std::move(s));
    {
        DamageThroughDll run;
        run.run(subjects.front().bytes, "warm-up");  // the first bitmap may map system files of its own
        const int viewsBefore = mappedViews();
        const int handlesBefore = openHandles();
        for (const Subject& s : subjects) damage(s, [&](const Bytes& b, const std::string& w) { run.run(b, w); });
        std::printf("%s: %zu damaged files through the DLL, %zu rendered\n", kind, run.cases(), run.rendered());
        ::testing::Test::RecordProperty("cases", static_cast<int>(run.cases()));
        EXPECT_TRUE(run.failures().empty()) << run.failures().size() << " failures, first: " << run.failures().front();
        EXPECT_EQ(mappedViews(), viewsBefore) << "a view of a picture stayed mapped";
        EXPECT_EQ(openHandles(), handlesBefore) << "a file or mapping handle stayed open";
        EXPECT_TRUE(rewriteExclusively(run.path(), Bytes(16, 0))) << "the last file is still held";
    }
    EXPECT_EQ(dll().canUnloadNow(), S_OK);
}

// The leak checks above count only files and mappings: a file and a mapping
// the test opens itself must show, and go when closed.
TEST(DllRobustness, LeakChecksSeeAFileAndItsMapping) {
    TempFile file(fuzz::generatedSubjects().front().bytes);
    const int before = openHandles();
    HANDLE opened = CreateFileW(file.path(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(opened, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingW(opened, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_EQ(openHandles(), before + 2);
    CloseHandle(mapping);
    CloseHandle(opened);
    EXPECT_EQ(openHandles(), before);
}

TEST(DllRobustness, Truncations) { runThroughDll("truncations", fuzz::truncations); }
TEST(DllRobustness, ShortBodies) { runThroughDll("short bodies", fuzz::shortBodies); }
TEST(DllRobustness, ByteFlips) { runThroughDll("byte flips", fuzz::byteFlips); }
TEST(DllRobustness, ChunkSizeRewrites) { runThroughDll("chunk size rewrites", fuzz::sizeRewrites); }
TEST(DllRobustness, HeaderFieldRewrites) { runThroughDll("header field rewrites", fuzz::headerRewrites); }

TEST(DllRobustness, FileOpenForWritingElsewhereIsNotFound) {
    TempFile file(fuzz::generatedSubjects().front().bytes);
    HANDLE writer = CreateFileW(file.path(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    {
        HandlerUnderTest h;
        EXPECT_EQ(h.initialize(file.path()), fileNotFound);  // its share mode refuses a writer
    }
    CloseHandle(writer);
    HandlerUnderTest h;
    EXPECT_EQ(h.initialize(file.path()), S_OK);
}

TEST(DllRobustness, RenamedAfterInitializeStillRenders) {
    const Bytes picture = fuzz::generatedSubjects().front().bytes;
    TempFile file(picture);
    const std::wstring renamed = std::wstring(file.path()) + L".renamed";
    {
        HandlerUnderTest h;
        ASSERT_EQ(h.initialize(file.path()), S_OK);
        ASSERT_TRUE(MoveFileW(file.path(), renamed.c_str()));
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        ASSERT_EQ(h.provider->GetThumbnail(64, &bitmap, &alpha), S_OK);
        EXPECT_EQ(readBitmap(bitmap).pixels, expectedThumbnail(picture));
        DeleteObject(bitmap);
    }
    EXPECT_TRUE(rewriteExclusively(renamed.c_str(), Bytes{})) << "the renamed file is still held";
    EXPECT_TRUE(DeleteFileW(renamed.c_str()));
}

// Where the system lets a mapped file be deleted, the view still holds its bytes.
TEST(DllRobustness, DeletedAfterInitializeStillRendersWhereAllowed) {
    const Bytes picture = fuzz::generatedSubjects().front().bytes;
    TempFile file(picture);
    HandlerUnderTest h;
    ASSERT_EQ(h.initialize(file.path()), S_OK);
    if (!DeleteFileW(file.path())) GTEST_SKIP() << "this system keeps a mapped file from being deleted";
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    ASSERT_EQ(h.provider->GetThumbnail(64, &bitmap, &alpha), S_OK);
    EXPECT_EQ(readBitmap(bitmap).pixels, expectedThumbnail(picture));
    DeleteObject(bitmap);
}

}  // namespace
}  // namespace vantrel::test
