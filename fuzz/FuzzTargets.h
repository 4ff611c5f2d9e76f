// The two fuzz targets. Each runs one input through checkPicture and aborts on
// any broken promise, so libFuzzer and the replay driver report it as a crash.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fuzz/TestPictures.h"

namespace vantrel::fuzz {

// The input as a whole file: exercises the chunk walk and everything after it.
int fuzzPicture(const std::uint8_t* data, std::size_t size);

// The input's first 12 bytes choose a well-formed header (form type, size,
// planes, masking, compression, colour map, display mode, line palettes); the
// rest is the body. Gets past the parser at once, so the row reader and the
// pixel conversion see mostly hostile bodies.
int fuzzLayout(const std::uint8_t* data, std::size_t size);

// The fuzzLayout input that describes the recipe (sizes of at most 4096 and
// colour maps of fewer than 300 entries), followed by its body.
Bytes layoutInput(const Recipe& recipe);

}  // namespace vantrel::fuzz
