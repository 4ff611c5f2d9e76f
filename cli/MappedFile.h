// A file mapped read-only into memory, read in place and never copied.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace vantrel::cli {

class MappedFile {
public:
    MappedFile() = default;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    // Maps the regular file at path; on failure returns false and says why.
    bool open(const std::string& path, std::string& error);

    const std::uint8_t* begin() const { return data_; }
    const std::uint8_t* end() const { return data_ + size_; }
    std::size_t size() const { return size_; }
    dev_t device() const { return device_; }
    ino_t inode() const { return inode_; }

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

// True when path names an existing file that is this one (same device and
// inode), whatever name or link leads to it.
bool isSameFile(const std::string& path, const MappedFile& file);

}  // namespace vantrel::cli
