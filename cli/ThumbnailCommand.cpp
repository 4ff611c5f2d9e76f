// vantrel thumbnail: the freedesktop thumbnailer entry point. One picture in,
// one PNG out that fits SIZE x SIZE; on any failure a non-zero status and no
// output file at all.
#include <string>

#include "cli/Args.h"
#include "cli/Batch.h"
#include "cli/Commands.h"
#include "cli/OutputFile.h"
#include "cli/Picture.h"
#include "cli/PngWriter.h"
#include "cli/Scale.h"
#include "decode/Premultiply.h"

namespace vantrel::cli {

const char* const thumbnailHelp = R"(Usage: vantrel thumbnail [-s SIZE] INPUT OUTPUT

Writes a PNG thumbnail of INPUT to OUTPUT: the picture scaled to fit within
SIZE x SIZE pixels keeping its aspect ratio, never enlarged, shrunk by area
averaging. File managers call this through vantrel.thumbnailer.

Options:
  -s, --size SIZE   the largest width and height (default 256)
  -h, --help        show this help

Example:
  vantrel thumbnail -s 128 picture.iff /tmp/thumb.png
)";

namespace {

constexpr unsigned defaultSize = 256;
constexpr unsigned largestSize = 16384;

// The decoded picture shrunk to fit: premultiplied for averaging, so that
// transparent pixels add no dark fringe, and back to straight alpha after.
bool shrink(DecodedPicture& decoded, ThumbnailSize size, std::vector<std::uint32_t>& out, std::string& error) {
    premultiplyPixels(decoded.words.data(), decoded.words.size());
    if (!scaleDown(decoded.view(), size, out, error)) return false;
    unpremultiplyPixels(out.data(), out.size());
    return true;
}

std::string makeThumbnail(const std::string& input, const std::string& output, unsigned box) {
    Picture picture;
    DecodedPicture decoded;
    std::vector<std::uint32_t> scaled;
    OutputFile file;
    std::string error;
    if (!loadPicture(input, picture, error) || !decodeToPixels(picture.info, decoded, error)) return error;
    if (isSameFile(output, picture.file)) return "refusing to overwrite the input with its own output " + output;
    const ThumbnailSize size = fitWithin(decoded.width, decoded.height, box);
    PixelView view = decoded.view();
    if (size.width != decoded.width || size.height != decoded.height) {
        if (!shrink(decoded, size, scaled, error)) return error;
        view = PixelView{scaled.data(), static_cast<std::ptrdiff_t>(size.width), size.width, size.height};
    }
    if (!file.create(output, error) || !writePng(file.stream(), view, error) || !file.commit(error)) return error;
    return "";
}

}  // namespace

int runThumbnail(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (auto error = parseArgs(args, {{'s', "size", true}}, parsed)) return usageError("thumbnail", *error);
    if (parsed.operands.size() != 2) return usageError("thumbnail", "needs an INPUT and an OUTPUT file");
    unsigned box = defaultSize;
    if (parsed.has("size")) {
        const auto size = parseCount(parsed.value("size"), 1, largestSize);
        if (!size) return usageError("thumbnail", "-s needs a size from 1 to " + std::to_string(largestSize));
        box = *size;
    }
    const std::string& input = parsed.operands[0];
    const std::string message = makeThumbnail(input, parsed.operands[1], box);
    if (message.empty()) return exitSuccess;
    reportError(input, message);
    return exitFailure;
}

}  // namespace vantrel::cli
