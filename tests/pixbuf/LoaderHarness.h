// Driving the gdk-pixbuf loader's entry points the way gdk-pixbuf does,
// without loading the module, and what the decoder says the result must be.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/IffBuilder.h"

namespace vantrel::test {

// A loaded picture as straight RGBA, top row first, or the loader's error.
struct LoadResult {
    bool loaded = false;
    bool hasAlpha = false;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
    int errorCode = -1;  // a GdkPixbufError when not loaded
    std::string message;
    int preparedCalls = 0;
    int updatedCalls = 0;
};

// begin_load, load_increment in pieces of chunkSize bytes, stop_load.
LoadResult loadIncrementally(const Bytes& file, std::size_t chunkSize, bool askZeroSize = false);
// The one-shot load from a stream over the bytes.
LoadResult loadAtOnce(const Bytes& file);

// What the parser and decoder make of the file, as the loader must give it:
// not loaded when the parser refuses it or it has nothing to show.
LoadResult expectedResult(const Bytes& file);

// Empty when the two agree, else what differs.
std::string compareResults(const LoadResult& expected, const LoadResult& actual);

}  // namespace vantrel::test
