#include "cli/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace vantrel::cli {
namespace {

std::string systemError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

}  // namespace

MappedFile::~MappedFile() {
    if (data_ != nullptr) munmap(const_cast<std::uint8_t*>(data_), size_);
}

bool MappedFile::open(const std::string& path, std::string& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = systemError("cannot open");
        return false;
    }
    struct stat st {};
    bool ok = fstat(fd, &st) == 0;
    if (!ok) {
        error = systemError("cannot read file status");
    } else if (!S_ISREG(st.st_mode)) {
        error = S_ISDIR(st.st_mode) ? "is a directory, not a picture file" : "not a regular file";
        ok = false;
    } else if (st.st_size > 0) {
        void* view = mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
        ok = view != MAP_FAILED;
        if (ok) {
            data_ = static_cast<const std::uint8_t*>(view);
            size_ = static_cast<std::size_t>(st.st_size);
        } else {
            error = systemError("cannot map");
        }
    }
    device_ = st.st_dev;
    inode_ = st.st_ino;
    close(fd);  // the mapping keeps the file's bytes; the descriptor is no longer needed
    return ok;
}

bool isSameFile(const std::string& path, const MappedFile& file) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && st.st_dev == file.device() && st.st_ino == file.inode();
}

}  // namespace vantrel::cli
