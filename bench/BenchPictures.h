// Benchmark pictures, made in memory: realistic content (smooth gradients with
// noisy patches, so ByteRun1 meets both runs and literals) at the sizes real
// files have, one for every pixel mode and form type.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::bench {

struct BenchPicture {
    std::string name;  // size, kind, form type and compression, e.g. "320x256 HAM6 ILBM packed"
    std::string mode;  // the pixel mode the parser is expected to choose
    std::vector<std::uint8_t> file;
};

std::vector<BenchPicture> benchPictures();

}  // namespace vantrel::bench
