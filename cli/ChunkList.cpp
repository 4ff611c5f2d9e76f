#include "cli/ChunkList.h"

#include <cstdio>

#include "iff/ByteOrder.h"

namespace vantrel::cli {

ChunkWalk walkChunks(const std::uint8_t* begin, const std::uint8_t* end) {
    ChunkWalk walk;
    const std::uint8_t* cursor = begin + 12;
    for (;;) {
        const auto left = static_cast<std::uint64_t>(end - cursor);
        walk.leftover = left;
        if (left == 0) return walk;
        if (left < 8) {
            walk.end = WalkEnd::Trailing;
            return walk;
        }
        ChunkEntry entry{std::string(reinterpret_cast<const char*>(cursor), 4),
                         static_cast<std::uint64_t>(cursor - begin), readBigEndian32(cursor + 4)};
        const std::uint64_t stride = (std::uint64_t{entry.size} + 1) & ~std::uint64_t{1};
        if (entry.size == 0xFFFFFFFF || stride > left - 8) {
            walk.end = entry.size == 0xFFFFFFFF ? WalkEnd::UnknownSize : WalkEnd::PastEnd;
            walk.stopper = entry;
            return walk;
        }
        walk.chunks.push_back(entry);
        cursor += 8 + stride;
    }
}

std::string printableId(const std::string& id) {
    std::string out;
    for (const char ch : id) {
        const auto c = static_cast<unsigned char>(ch);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += ch;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace vantrel::cli
