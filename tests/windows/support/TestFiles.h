// Files on disk for the handler to open: written from bytes, removed again.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::test {

// A file in the temporary folder holding the given bytes, deleted with the object.
class TempFile {
public:
    explicit TempFile(const std::vector<std::uint8_t>& contents);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const wchar_t* path() const { return path_.c_str(); }

private:
    std::wstring path_;
};

// The whole file, or nothing when it cannot be read.
std::vector<std::uint8_t> readWholeFile(const std::wstring& path);

// The regular files in a folder, with their full paths, sorted.
std::vector<std::wstring> filesIn(const std::wstring& folder);

}  // namespace vantrel::test
