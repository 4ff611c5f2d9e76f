// vantrel convert: each picture written as a PNG, pixel for pixel as decoded.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "cli/Args.h"
#include "cli/Batch.h"
#include "cli/Commands.h"
#include "cli/OutputFile.h"
#include "cli/Picture.h"
#include "cli/PngWriter.h"

namespace vantrel::cli {

const char* const convertHelp = R"(Usage: vantrel convert [-o OUT.png | -d DIR] [-j JOBS] FILE...

Writes each picture as PNG at its full size: RGB when it is opaque, RGBA with
straight alpha when it has transparency. By default the PNG goes next to its
input, the extension replaced by .png (picture.iff -> picture.png). An
existing PNG is replaced; an input is never overwritten. Each file appears
only when complete. One failed file does not stop the others.

Options:
  -o, --output FILE   the PNG to write (one input only)
  -d, --dir DIR       write the PNGs into DIR instead, named after the inputs
  -j, --jobs N        files converted at once (default: one per core)
  -h, --help          show this help

Examples:
  vantrel convert picture.iff
  vantrel convert picture.iff -o /tmp/preview.png
  vantrel convert -d png/ *.iff *.lbm
)";

namespace {

using FileIdentity = std::pair<dev_t, ino_t>;

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The input's name with its extension (if any) replaced by .png.
std::string pngName(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto dot = path.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > nameStart;
    return (hasExtension ? path.substr(0, dot) : path) + ".png";
}

std::string outputPath(const std::string& input, const ParsedArgs& args) {
    if (args.has("output")) return args.value("output");
    if (!args.has("dir")) return pngName(input);
    std::string folder = args.value("dir");
    if (folder.back() != '/') folder += '/';
    return folder + pngName(baseName(input));
}

std::set<FileIdentity> identities(const std::vector<std::string>& paths) {
    std::set<FileIdentity> found;
    struct stat st {};
    for (const std::string& path : paths)
        if (stat(path.c_str(), &st) == 0) found.insert({st.st_dev, st.st_ino});
    return found;
}

bool isAnInput(const std::string& path, const std::set<FileIdentity>& inputs) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && inputs.count({st.st_dev, st.st_ino}) != 0;
}

// Outputs that an earlier input of the batch already claims.
std::map<std::size_t, std::string> collisions(const std::vector<std::string>& inputs,
                                             const std::vector<std::string>& outputs) {
    std::map<std::string, std::size_t> claimed;
    std::map<std::size_t, std::string> clashes;
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        const auto [it, fresh] = claimed.emplace(outputs[i], i);
        if (!fresh) clashes[i] = outputs[i] + " is already the output of " + inputs[it->second];
    }
    return clashes;
}

std::string convertOne(const std::string& input, const std::string& output) {
    Picture picture;
    DecodedPicture pixels;
    OutputFile file;
    std::string error;
    if (!loadPicture(input, picture, error) || !decodeToPixels(picture.info, pixels, error)) return error;
    if (isSameFile(output, picture.file)) return "refusing to overwrite the input with its own output " + output;
    if (!file.create(output, error) || !writePng(file.stream(), pixels.view(), error) || !file.commit(error))
        return error;
    return "";
}

std::optional<std::string> checkOptions(const ParsedArgs& args) {
    if (args.operands.empty()) return "no input files";
    if (args.has("output") && args.has("dir")) return "use either -o or -d, not both";
    if (args.has("output") && args.operands.size() > 1) return "-o takes one input; use -d DIR for several";
    if (args.has("output") && args.value("output").empty()) return "-o needs a file name";
    if (args.has("dir") && args.value("dir").empty()) return "-d needs a folder name";
    if (args.has("jobs") && !parseCount(args.value("jobs"), 1, 1024)) return "-j needs a number from 1 to 1024";
    return std::nullopt;
}

bool checkFolder(const std::string& folder) {
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0) {
        reportError(folder, std::strerror(errno));
        return false;
    }
    if (!S_ISDIR(st.st_mode)) reportError(folder, "not a directory");
    return S_ISDIR(st.st_mode);
}

void printSummary(std::size_t total, std::size_t failed) {
    if (failed == 0) std::fprintf(stderr, "vantrel: converted %zu files\n", total);
    else std::fprintf(stderr, "vantrel: converted %zu of %zu files, %zu failed\n", total - failed, total, failed);
}

}  // namespace

int runConvert(const std::vector<std::string>& args) {
    ParsedArgs parsed;
    const std::vector<OptionDefinition> options{{'o', "output", true}, {'d', "dir", true}, {'j', "jobs", true}};
    if (auto error = parseArgs(args, options, parsed)) return usageError("convert", *error);
    if (auto error = checkOptions(parsed)) return usageError("convert", *error);
    if (parsed.has("dir") && !checkFolder(parsed.value("dir"))) return exitFailure;

    const std::vector<std::string>& inputs = parsed.operands;
    std::vector<std::string> outputs;
    for (const std::string& input : inputs) outputs.push_back(outputPath(input, parsed));
    const auto clashes = collisions(inputs, outputs);
    const auto inputIds = identities(inputs);
    const unsigned jobs = parsed.has("jobs") ? *parseCount(parsed.value("jobs"), 1, 1024) : defaultJobs();

    const std::size_t failed = runBatch(inputs, jobs, [&](std::size_t i) -> std::string {
        if (const auto clash = clashes.find(i); clash != clashes.end()) return clash->second;
        if (isAnInput(outputs[i], inputIds)) return "refusing to overwrite the input file " + outputs[i];
        return convertOne(inputs[i], outputs[i]);
    });
    if (inputs.size() > 1) printSummary(inputs.size(), failed);
    return failed == 0 ? exitSuccess : exitFailure;
}

}  // namespace vantrel::cli
