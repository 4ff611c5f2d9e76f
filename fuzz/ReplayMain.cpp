// Replays inputs through both fuzz targets without libFuzzer, so any build
// (gcc included, sanitizers or not) can run the committed regression corpus.
// Arguments are files or directories; a directory's files run in name order.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "fuzz/FuzzTargets.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> inputsFrom(const fs::path& argument) {
    std::vector<fs::path> files;
    if (fs::is_directory(argument)) {
        for (const auto& entry : fs::directory_iterator(argument)) {
            if (entry.is_regular_file()) files.push_back(entry.path());
        }
        std::sort(files.begin(), files.end());
    } else {
        files.push_back(argument);
    }
    return files;
}

bool replay(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "%s: cannot open\n", file.c_str());
        return false;
    }
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    vantrel::fuzz::fuzzPicture(bytes.data(), bytes.size());
    vantrel::fuzz::fuzzLayout(bytes.data(), bytes.size());
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY...\n", argv[0]);
        return 2;
    }
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        if (!fs::exists(argv[i])) {
            std::fprintf(stderr, "%s: no such file or directory\n", argv[i]);
            return 1;
        }
        for (const fs::path& file : inputsFrom(argv[i])) {
            if (!replay(file)) return 1;
            ++count;
        }
    }
    std::printf("replayed %zu inputs through both targets\n", count);
    return count == 0 ? 1 : 0;
}
