// A small set of generated pictures that covers every form type and pixel
// mode, plain and ByteRun1 bodies, mask planes, transparent colours and line
// palettes: the seeds of the fuzz targets and the subjects of the damage tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/IffBuilder.h"

namespace vantrel::fuzz {

using test::Bytes;

enum class LinePalettes { None, Ctbl, Sham, InterlacedSham };

// What one generated picture holds.
struct Recipe {
    std::string formType = "ILBM";
    unsigned width = 19;
    unsigned height = 7;
    unsigned planes = 4;
    unsigned masking = 0;
    unsigned compression = 0;
    std::uint16_t transparentColor = 0;
    int paletteEntries = 16;           // -1: no "CMAP" chunk
    std::int64_t displayMode = -1;     // -1: no "CAMG" chunk
    LinePalettes linePalettes = LinePalettes::None;
    bool sprite = false;
    std::string bodyId = "BODY";
};

// The stored body for the recipe: every pixel's value from a fixed pattern,
// laid out as its form type wants, ByteRun1-packed row by row when asked.
Bytes pictureBody(const Recipe& recipe);
// The body as given, wrapped in the chunks the recipe asks for.
Bytes buildPicture(const Recipe& recipe, const Bytes& body);
Bytes buildPicture(const Recipe& recipe);

struct TestPicture {
    std::string name;
    Bytes bytes;
    bool fromRecipe = false;  // built by buildPicture(recipe)
    Recipe recipe;
};

std::vector<TestPicture> testPictures();

}  // namespace vantrel::fuzz
