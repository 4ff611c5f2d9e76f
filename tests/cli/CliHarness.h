// Running the vantrel binary from a test, in a scratch folder, and reading
// back the PNGs it writes.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "tests/support/IffBuilder.h"

namespace vantrel::test {

struct RunResult {
    int status;
    std::string out;
    std::string err;
};

// A fresh folder under the system's temporary folder, removed afterwards.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string path(const std::string& name) const { return root_ + "/" + name; }
    std::string write(const std::string& name, const Bytes& bytes) const;  // returns the path
    std::set<std::string> names() const;                                   // the folder's entries

private:
    std::string root_;
};

// Runs the vantrel binary with args (or another program when program is
// given), in folder dir; stdout and stderr are captured.
RunResult runVantrel(const std::vector<std::string>& args, const std::string& dir = ".");
RunResult runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& dir);

struct Rgba {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool fileHasAlpha = false;
    std::vector<std::uint8_t> bytes;  // R, G, B, A per pixel, top row first

    const std::uint8_t* pixel(std::uint32_t x, std::uint32_t y) const { return &bytes[(y * width + x) * 4]; }
};

// A PNG read back through libpng as straight RGBA; fails the test if unreadable.
Rgba readPng(const std::string& path);

// What the decoder makes of the file, as straight RGBA top row first.
Rgba decodeReference(const Bytes& file);

}  // namespace vantrel::test
