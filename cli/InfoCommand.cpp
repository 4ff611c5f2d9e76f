// vantrel info: what the parser found in each file, and the file's chunks.
#include <cinttypes>
#include <cstdio>
#include <string>

#include "cli/Args.h"
#include "cli/Batch.h"
#include "cli/ChunkList.h"
#include "cli/Commands.h"
#include "cli/Json.h"
#include "cli/Picture.h"
#include "decode/Decoder.h"

namespace vantrel::cli {

const char* const infoHelp = R"(Usage: vantrel info [--json] FILE...

Describes each picture: form type, size, planes, pixel mode, compression,
masking and transparent colour, colour map size, line palettes, display mode,
and the file's chunks with their offsets and sizes.

Options:
      --json     one JSON array with an object per file (an "error" member
                 for a file that cannot be shown)
  -h, --help     show this help

Example:
  vantrel info picture.iff
)";

namespace {

const char* const pixelModeNames[] = {"PaletteStrip", "Indexed", "HalfBrite", "LinePalette", "Ham6",
                                      "LineHam6",     "Ham8",    "Grey8",     "Rgb24",       "Rgba32"};
const char* const formNames[] = {"ILBM", "PBM ", "ACBM"};

bool isStrip(const ImageInfo& info) { return info.pixelMode == PixelMode::PaletteStrip; }

const char* compressionName(const ImageInfo& info) {
    return !isStrip(info) && info.compression == 1 ? "ByteRun1" : "none";
}

unsigned maskingKind(const ImageInfo& info) { return isStrip(info) ? 0u : info.masking; }

const char* maskingName(const ImageInfo& info) {
    const char* const names[] = {"none", "mask plane", "transparent colour"};
    return names[maskingKind(info)];
}

const char* walkEndName(WalkEnd end) {
    switch (end) {
        case WalkEnd::Complete: return "complete";
        case WalkEnd::Trailing: return "trailing bytes";
        case WalkEnd::UnknownSize: return "unknown size";
        case WalkEnd::PastEnd: return "runs past end";
    }
    return "";
}

void printWalkEnd(const ChunkWalk& walk) {
    if (walk.end == WalkEnd::Trailing)
        std::printf("    (%" PRIu64 " trailing bytes, too few for a chunk)\n", walk.leftover);
    if (walk.end == WalkEnd::UnknownSize)
        std::printf("    %-8s size 0xFFFFFFFF at offset %" PRIu64 ": the walk ends here\n",
                    printableId(walk.stopper.id).c_str(), walk.stopper.offset);
    if (walk.end == WalkEnd::PastEnd)
        std::printf("    %-8s %10" PRIu32 " bytes at offset %" PRIu64 ": runs past the end (%" PRIu64
                    " present), not read\n",
                    printableId(walk.stopper.id).c_str(), walk.stopper.size, walk.stopper.offset,
                    walk.leftover - 8);
}

void printText(const std::string& path, const Picture& picture, const ChunkWalk& walk) {
    const ImageInfo& info = picture.info;
    const OutputSize size = outputSize(info);
    std::printf("%s\n", path.c_str());
    std::printf("  form:           %s\n", formNames[static_cast<unsigned>(info.formType)]);
    std::printf("  size:           %" PRIu32 " x %" PRIu32 "%s\n", size.width, size.height,
                isStrip(info) ? " (the colour map shown as a strip)" : "");
    std::printf("  planes:         %u\n", unsigned{info.planeCount});
    std::printf("  pixel mode:     %s\n", pixelModeNames[static_cast<unsigned>(info.pixelMode)]);
    std::printf("  compression:    %s\n", compressionName(info));
    if (maskingKind(info) == 2) std::printf("  masking:        transparent colour %u\n", unsigned{info.transparentColor});
    else std::printf("  masking:        %s\n", maskingName(info));
    std::printf("  colour map:     %u entries%s\n", unsigned{info.paletteSize}, info.palette ? "" : " (none)");
    std::printf("  line palettes:  %u\n", info.linePalettes != nullptr ? unsigned{info.linePaletteCount} : 0u);
    std::printf("  display mode:   0x%08" PRIX32 "\n", info.displayMode);
    std::printf("  chunks:\n");
    for (const ChunkEntry& chunk : walk.chunks)
        std::printf("    %-8s %10" PRIu32 " bytes at offset %" PRIu64 "\n", printableId(chunk.id).c_str(), chunk.size,
                    chunk.offset);
    printWalkEnd(walk);
}

std::string jsonChunk(const ChunkEntry& chunk) {
    return "{\"id\": " + jsonString(chunk.id, true) + ", \"offset\": " + std::to_string(chunk.offset) +
           ", \"size\": " + std::to_string(chunk.size) + "}";
}

std::string jsonChunks(const ChunkWalk& walk) {
    std::string out = "[";
    for (std::size_t i = 0; i < walk.chunks.size(); ++i) out += (i ? ", " : "") + jsonChunk(walk.chunks[i]);
    return out + "]";
}

std::string jsonPicture(const std::string& path, const Picture& picture, const ChunkWalk& walk) {
    const ImageInfo& info = picture.info;
    const OutputSize size = outputSize(info);
    const unsigned linePalettes = info.linePalettes != nullptr ? info.linePaletteCount : 0u;
    return "{\"file\": " + jsonString(path) + ", \"form\": " +
           jsonString(formNames[static_cast<unsigned>(info.formType)]) +
           ", \"width\": " + std::to_string(size.width) + ", \"height\": " + std::to_string(size.height) +
           ", \"planes\": " + std::to_string(info.planeCount) + ", \"pixelMode\": \"" +
           pixelModeNames[static_cast<unsigned>(info.pixelMode)] + "\", \"compression\": \"" +
           compressionName(info) + "\", \"masking\": \"" + maskingName(info) + "\", \"transparentColor\": " +
           (maskingKind(info) == 2 ? std::to_string(info.transparentColor) : "null") +
           ", \"colourMapSize\": " + std::to_string(info.paletteSize) +
           ", \"linePalettes\": " + std::to_string(linePalettes) +
           ", \"displayMode\": " + std::to_string(info.displayMode) + ", \"chunks\": " + jsonChunks(walk) +
           ", \"chunkWalkEnd\": \"" + walkEndName(walk.end) + "\"}";
}

std::string jsonEntry(const std::string& path, const Picture& picture, const std::string* error) {
    if (error != nullptr) return "{\"file\": " + jsonString(path) + ", \"error\": " + jsonString(*error) + "}";
    return jsonPicture(path, picture, walkChunks(picture.file.begin(), picture.file.end()));
}

// Describes one file on stdout; false when it cannot be shown.
bool describe(const std::string& path, bool json, bool first) {
    Picture picture;
    std::string error;
    const bool ok = loadPicture(path, picture, error);
    if (!ok) reportError(path, error);
    if (json) {
        const std::string entry = jsonEntry(path, picture, ok ? nullptr : &error);
        std::printf("%s  %s", first ? "" : ",\n", entry.c_str());
    } else if (ok) {
        if (!first) std::printf("\n");
        printText(path, picture, walkChunks(picture.file.begin(), picture.file.end()));
    }
    return ok;
}

}  // namespace

int runInfo(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (auto error = parseArgs(args, {{0, "json", false}}, parsed)) return usageError("info", *error);
    if (parsed.operands.empty()) return usageError("info", "no input files");
    const bool json = parsed.has("json");
    if (json) std::printf("[\n");
    bool allShown = true;
    bool first = true;
    for (const std::string& path : parsed.operands) {
        const bool shown = describe(path, json, first);
        allShown = allShown && shown;
        if (json || shown) first = false;  // text separates shown files by a blank line
    }
    if (json) std::printf("\n]\n");
    return allShown ? exitSuccess : exitFailure;
}

}  // namespace vantrel::cli
