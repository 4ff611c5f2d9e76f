#include "cli/Diagnosis.h"

#include <optional>

#include "cli/ChunkList.h"
#include "iff/ByteOrder.h"

namespace vantrel::cli {
namespace {

// What the chunks have brought so far, gathered by the parser's rules.
struct Gathered {
    bool isAcbm = false;
    bool sawHeader = false;
    unsigned width = 0;  // non-zero once a header with planes is taken
    unsigned height = 0;
    unsigned planes = 0;
    bool hasBody = false;
    bool hasPalette = false;
    unsigned paletteSize = 0;
    std::uint32_t displayMode = 0;
    bool hasLinePalettes = false;
};

std::string quoted(const std::string& id) { return "\"" + printableId(id) + "\""; }

std::optional<std::string> checkHeader(Gathered& g, const std::uint8_t* data, std::uint32_t size) {
    if (g.width != 0) return std::string("more than one bitmap header \"BMHD\"");
    if (size < 20) return "bitmap header \"BMHD\" is too short (" + std::to_string(size) + " bytes, needs 20)";
    g.sawHeader = true;
    const unsigned width = readBigEndian16(data), height = readBigEndian16(data + 2);
    const unsigned planes = data[8], compression = data[10];
    if (width > 4096 || height > 4096)
        return "picture is " + std::to_string(width) + " x " + std::to_string(height) +
               " pixels, larger than 4096 x 4096";
    if (planes == 0) return std::nullopt;
    if (width == 0 || height == 0) return std::string("picture has a width or height of 0");
    if (compression > 1) return "unknown compression method " + std::to_string(compression);
    if (compression == 1 && g.isAcbm) return std::string("compressed \"ACBM\" picture (its planes must be stored plainly)");
    if (planes > 32 || ((0x1010001FFull >> planes) & 1) == 0)
        return std::to_string(planes) + " bit planes (only 1 to 8, 24 or 32 can be shown)";
    g.width = width;
    g.height = height;
    g.planes = planes;
    return std::nullopt;
}

void checkLinePalettes(Gathered& g, std::uint32_t id, std::uint32_t size) {
    if (g.width == 0 || g.hasLinePalettes) return;
    std::uint64_t needed = std::uint64_t{g.height} * 32;
    if (id == chunkId("SHAM")) needed = ((g.displayMode & 0x4) != 0 ? g.height / 2 : g.height) * 32ull + 2;
    g.hasLinePalettes = size >= needed;
}

std::optional<std::string> checkChunk(Gathered& g, const ChunkEntry& chunk, const std::uint8_t* data) {
    const std::uint32_t id = readBigEndian32(reinterpret_cast<const std::uint8_t*>(chunk.id.data()));
    switch (id) {
        case chunkId("BMHD"): return checkHeader(g, data, chunk.size);
        case chunkId("BODY"):
        case chunkId("ABIT"):
            if (g.hasBody) return std::string("more than one picture body (\"BODY\" or \"ABIT\")");
            g.hasBody = true;
            break;
        case chunkId("CMAP"):
            if (g.hasPalette) return std::string("more than one colour map \"CMAP\"");
            g.hasPalette = true;
            g.paletteSize = chunk.size / 3 < 0xFFFF ? chunk.size / 3 : 0xFFFF;
            break;
        case chunkId("CAMG"):
            if (chunk.size == 4) g.displayMode = readBigEndian32(data);
            break;
        case chunkId("CTBL"):
        case chunkId("SHAM"): checkLinePalettes(g, id, chunk.size); break;
        default: break;
    }
    return std::nullopt;
}

// Why a walk that broke no chunk rule still made no picture.
std::string missingPart(const Gathered& g) {
    const std::string colours = std::to_string(g.paletteSize) + " colours";
    if (g.planes == 0)
        return g.sawHeader ? "no bit planes and no colour map \"CMAP\""
                           : "no bitmap header \"BMHD\" and no colour map \"CMAP\"";
    if (!g.hasBody) return "no picture body \"BODY\"";
    if (!g.hasPalette) return "no colour map \"CMAP\" for its " + std::to_string(g.planes) + " bit planes";
    const bool fivePlus = g.planes == 5 || g.planes == 6;
    if ((g.displayMode & 0x800) != 0 && (fivePlus || g.planes >= 7))
        return "hold-and-modify picture with a colour map of " + colours + " (needs " +
               (fivePlus ? "16" : "64") + ")";
    if ((g.displayMode & 0x80) != 0 && g.planes == 6)
        return "Extra Half-Brite picture with a colour map of " + colours + " (needs 32)";
    return "picture cannot be shown";
}

// Why the walk ended before the end of the file, when it did: often the real
// cause of a missing part.
std::string walkNote(const ChunkWalk& walk) {
    if (walk.end == WalkEnd::UnknownSize)
        return "chunk " + quoted(walk.stopper.id) + " has no usable size (0xFFFFFFFF): ";
    if (walk.end != WalkEnd::PastEnd) return "";
    return "file is cut short inside chunk " + quoted(walk.stopper.id) + " (" + std::to_string(walk.stopper.size) +
           " bytes claimed, " + std::to_string(walk.leftover - 8) + " present): ";
}

}  // namespace

std::string explainRejection(const std::uint8_t* begin, const std::uint8_t* end) {
    const auto size = static_cast<std::size_t>(end - begin);
    if (size == 0) return "empty file, not an IFF \"FORM\" file";
    if (size < 12 || readBigEndian32(begin) != chunkId("FORM")) return "not an IFF \"FORM\" file";
    const std::string formType(reinterpret_cast<const char*>(begin + 8), 4);
    if (formType != "ILBM" && formType != "PBM " && formType != "ACBM")
        return "IFF \"FORM\" of type " + quoted(formType) +
               ", not a picture (only \"ILBM\", \"PBM \" and \"ACBM\" are shown)";
    Gathered gathered;
    gathered.isAcbm = formType == "ACBM";
    const ChunkWalk walk = walkChunks(begin, end);
    for (const ChunkEntry& chunk : walk.chunks)
        if (auto why = checkChunk(gathered, chunk, begin + chunk.offset + 8)) return *why;
    return walkNote(walk) + missingPart(gathered);
}

}  // namespace vantrel::cli
