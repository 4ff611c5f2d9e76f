#include "tests/cli/CliHarness.h"

#include <fcntl.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "decode/Decoder.h"
#include "iff/Parser.h"

extern char** environ;

namespace vantrel::test {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/vantrel-cli-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
}

ScratchDir::~ScratchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
}

std::string ScratchDir::write(const std::string& name, const Bytes& bytes) const {
    const std::string full = path(name);
    std::ofstream(full, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return full;
}

std::set<std::string> ScratchDir::names() const {
    std::set<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(root_)) found.insert(entry.path().filename());
    return found;
}

RunResult runProgram(const std::string& program, const std::vector<std::string>& args, const std::string& dir) {
    ScratchDir capture;
    const std::string outPath = capture.path("out"), errPath = capture.path("err");
    std::vector<std::string> words{"/bin/sh", "-c", "cd \"$0\" && exec \"$@\" >\"$OUT\" 2>\"$ERR\"", dir, program};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& word : words) argv.push_back(word.data());
    argv.push_back(nullptr);
    setenv("OUT", outPath.c_str(), 1);
    setenv("ERR", errPath.c_str(), 1);
    pid_t pid = 0;
    int status = -1;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid) {
        ADD_FAILURE() << "cannot run " << program;
        return {-1, "", ""};
    }
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), readAll(outPath), readAll(errPath)};
}

RunResult runVantrel(const std::vector<std::string>& args, const std::string& dir) {
    return runProgram(VANTREL_CLI, args, dir);
}

Rgba readPng(const std::string& path) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    Rgba result;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        ADD_FAILURE() << path << ": " << image.message;
        return result;
    }
    result.fileHasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    image.format = PNG_FORMAT_RGBA;
    result.width = image.width;
    result.height = image.height;
    result.bytes.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, result.bytes.data(), 0, nullptr))
        ADD_FAILURE() << path << ": " << image.message;
    return result;
}

Rgba decodeReference(const Bytes& file) {
    ImageInfo info{};
    Rgba result;
    if (!parsePicture(info, file.data(), file.data() + file.size())) {
        ADD_FAILURE() << "test picture does not parse";
        return result;
    }
    const OutputSize size = outputSize(info);
    std::vector<std::uint32_t> words(std::size_t{size.width} * size.height);
    decodePicture(info, words.data());
    result.width = size.width;
    result.height = size.height;
    for (std::uint32_t y = 0; y < size.height; ++y) {
        for (std::uint32_t x = 0; x < size.width; ++x) {
            const std::uint32_t w = words[std::size_t{size.height - 1 - y} * size.width + x];
            for (unsigned shift : {16u, 8u, 0u, 24u}) result.bytes.push_back(static_cast<std::uint8_t>(w >> shift));
        }
    }
    return result;
}

}  // namespace vantrel::test
