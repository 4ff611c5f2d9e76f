#include "cli/OutputFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

namespace vantrel::cli {
namespace {

mode_t creationMode = 0644;

// Temporary files in progress, readable from a signal handler: a slot holds a
// path once its state is Ready.
enum SlotState : int { Free = 0, Filling = 1, Ready = 2 };
struct Slot {
    std::atomic<int> state{Free};
    char path[4096];
};
Slot pendingFiles[64];

int claimSlot(const std::string& path) {
    if (path.size() >= sizeof pendingFiles[0].path) return -1;
    for (int i = 0; i < 64; ++i) {
        int expected = Free;
        if (!pendingFiles[i].state.compare_exchange_strong(expected, Filling)) continue;
        std::memcpy(pendingFiles[i].path, path.c_str(), path.size() + 1);
        pendingFiles[i].state.store(Ready);
        return i;
    }
    return -1;  // more files in flight than slots: this one is not cleaned up on a signal
}

void releaseSlot(int slot) {
    if (slot >= 0) pendingFiles[slot].state.store(Free);
}

extern "C" void removePendingFiles(int signalNumber) {
    for (Slot& slot : pendingFiles)
        if (slot.state.load() == Ready) unlink(slot.path);
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

std::string temporaryPattern(const std::string& finalPath) {
    const auto slash = finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? "" : finalPath.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? finalPath : finalPath.substr(slash + 1);
    if (name.size() > 200) name.resize(200);  // room for the suffix within a file name's limit
    return folder + "." + name + ".XXXXXX";
}

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

void prepareOutputFiles() {
    const mode_t mask = umask(0);
    umask(mask);
    creationMode = static_cast<mode_t>(0666 & ~mask);
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) std::signal(signalNumber, removePendingFiles);
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::create(const std::string& finalPath, std::string& error) {
    finalPath_ = finalPath;
    std::string pattern = temporaryPattern(finalPath);
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());
    if (fd < 0) {
        error = "cannot create output in " + folderOf(finalPath) + ": " + std::strerror(errno);
        return false;
    }
    tempPath_ = name.data();
    slot_ = claimSlot(tempPath_);
    fchmod(fd, creationMode);
    stream_ = fdopen(fd, "wb");
    if (stream_ == nullptr) {
        error = "cannot write " + finalPath + ": " + std::strerror(errno);
        close(fd);
        discard();
        return false;
    }
    return true;
}

bool OutputFile::commit(std::string& error) {
    const bool written = std::fflush(stream_) == 0 && std::ferror(stream_) == 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(stream_) == 0;
    stream_ = nullptr;
    if (!written || !closed) {
        error = "cannot write " + finalPath_ + ": " + std::strerror(written ? errno : savedErrno);
        discard();
        return false;
    }
    if (std::rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
        error = "cannot write " + finalPath_ + ": " + std::strerror(errno);
        discard();
        return false;
    }
    tempPath_.clear();
    releaseSlot(slot_);
    slot_ = -1;
    return true;
}

void OutputFile::discard() {
    if (stream_ != nullptr) std::fclose(stream_);
    stream_ = nullptr;
    if (!tempPath_.empty()) unlink(tempPath_.c_str());
    tempPath_.clear();
    releaseSlot(slot_);
    slot_ = -1;
}

}  // namespace vantrel::cli
