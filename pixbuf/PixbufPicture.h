// A picture file's bytes turned into a GdkPixbuf: the part of the gdk-pixbuf
// loader that knows nothing of how the bytes arrived.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vantrel::pixbuf {

// The most a loader keeps of one file. The largest picture (4096 x 4096, 32
// planes and a mask, ByteRun1 at its worst) needs about 70 MB; the rest
// leaves room for colour maps, line palettes and chunks nobody reads.
constexpr std::size_t largestFile = std::size_t{256} << 20;

// The bytes of one file, gathered as they arrive.
class FileBytes {
public:
    explicit FileBytes(std::size_t limit = largestFile) : limit_(limit) {}

    // Appends; false with an error once the file grows past the limit or
    // memory runs out.
    bool append(const std::uint8_t* data, std::size_t size, GError** error);
    // After a failed append the file is incomplete: sets error to the same
    // reason again and returns true.
    bool failed(GError** error) const;
    // The bytes in a block of exactly their size, so that any read past them
    // is a read outside the allocation.
    const std::vector<std::uint8_t>& finish();

private:
    std::size_t limit_;
    std::vector<std::uint8_t> bytes_;
    enum class Failure { None, TooLarge, OutOfMemory } failure_ = Failure::None;
};

// The picture in [begin, end) as a new pixbuf: straight-alpha RGBA, or RGB
// when the parsed record proves every pixel opaque; a palette strip is its
// 1-row picture. On failure returns null and sets error to what is wrong.
GdkPixbuf* pixbufFromBytes(const std::uint8_t* begin, const std::uint8_t* end, GError** error);

}  // namespace vantrel::pixbuf
