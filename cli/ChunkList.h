// The chunk list of an IFF file, walked the way the parser walks it: from byte
// 12 to the end of the file, ending at a size of 0xFFFFFFFF or at a chunk (with
// its pad byte) that runs past the end.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace vantrel::cli {

struct ChunkEntry {
    std::string id;         // the four ID bytes as they stand
    std::uint64_t offset;   // of the chunk header in the file
    std::uint32_t size;     // the size field (pad byte not counted)
};

enum class WalkEnd {
    Complete,     // the file ends at a chunk boundary
    Trailing,     // 1 to 7 bytes after the last chunk, too few for a header
    UnknownSize,  // a chunk with size 0xFFFFFFFF
    PastEnd,      // a chunk whose data runs past the end of the file
};

struct ChunkWalk {
    std::vector<ChunkEntry> chunks;  // the chunks the parser reads
    WalkEnd end = WalkEnd::Complete;
    ChunkEntry stopper{};            // the chunk that ended the walk (UnknownSize, PastEnd)
    std::uint64_t leftover = 0;      // bytes from the end of the walk to the end of the file
};

// Walks [begin, end), which holds at least the 12-byte group header.
ChunkWalk walkChunks(const std::uint8_t* begin, const std::uint8_t* end);

// A chunk ID for display: printable ASCII as it stands, other bytes as \xNN.
std::string printableId(const std::string& id);

}  // namespace vantrel::cli
