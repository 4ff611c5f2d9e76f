// An output file that appears only when complete: it is written under a
// temporary name in the target folder and renamed into place by commit().
// Until then nothing at the final path changes; a failure, an early return or
// an interrupting signal removes the temporary file.
#pragma once

#include <cstdio>
#include <string>

namespace vantrel::cli {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();

    bool create(const std::string& finalPath, std::string& error);
    std::FILE* stream() const { return stream_; }
    bool commit(std::string& error);

private:
    void discard();

    std::string finalPath_;
    std::string tempPath_;
    std::FILE* stream_ = nullptr;
    int slot_ = -1;
};

// Reads the process's file creation mask and arranges for temporary files to
// be removed when SIGINT, SIGTERM or SIGHUP ends the program. Call once at
// start-up, before any thread begins.
void prepareOutputFiles();

}  // namespace vantrel::cli
