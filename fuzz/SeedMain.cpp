// Writes the generated seed pictures into a directory: each picture as a whole
// file for the whole-file target, and as a layout input for the layout target.
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "fuzz/FuzzTargets.h"
#include "fuzz/TestPictures.h"

namespace {

bool write(const std::filesystem::path& path, const vantrel::fuzz::Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (out) return true;
    std::fprintf(stderr, "%s: cannot write\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    const auto pictures = vantrel::fuzz::testPictures();
    for (const auto& picture : pictures) {
        if (!write(dir / (picture.name + ".iff"), picture.bytes)) return 1;
        if (picture.fromRecipe && !write(dir / ("layout-" + picture.name), vantrel::fuzz::layoutInput(picture.recipe))) {
            return 1;
        }
    }
    std::printf("wrote %zu seed pictures to %s\n", pictures.size(), argv[1]);
    return 0;
}
