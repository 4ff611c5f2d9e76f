// vantrel: shows, converts and thumbnails Amiga IFF pictures.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/OutputFile.h"

namespace vantrel::cli {
namespace {

const char* const programHelp = R"(Usage: vantrel COMMAND [OPTIONS] FILE...

Shows, converts and thumbnails Amiga IFF pictures ("ILBM", "PBM ", "ACBM").

Commands:
  info FILE...                  describe pictures and list their chunks
  convert FILE... [-o OUT.png | -d DIR]
                                write each picture as PNG
  thumbnail [-s SIZE] IN OUT    write a PNG thumbnail (freedesktop thumbnailer)

Options:
  -h, --help                    show this help (or a command's, after its name)
      --version                 show the version

Exit status: 0 success, 1 if any file failed, 2 for a usage error.
)";

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>&);
    const char* const* help;
};

const Command commands[] = {
    {"info", runInfo, &infoHelp},
    {"convert", runConvert, &convertHelp},
    {"thumbnail", runThumbnail, &thumbnailHelp},
};

const Command* findCommand(const std::string& name) {
    for (const Command& command : commands)
        if (name == command.name) return &command;
    return nullptr;
}

bool asksForHelp(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
        if (arg == "--") return false;
        if (arg == "-h" || arg == "--help") return true;
    }
    return false;
}

int run(const std::vector<std::string>& words) {
    if (words.empty()) {
        std::fputs(programHelp, stderr);
        return exitUsage;
    }
    const std::string& first = words[0];
    if (first == "-h" || first == "--help" || first == "help") {
        const Command* topic = words.size() > 1 ? findCommand(words[1]) : nullptr;
        std::fputs(topic != nullptr ? *topic->help : programHelp, stdout);
        return exitSuccess;
    }
    if (first == "--version") {
        std::puts("vantrel " VANTREL_VERSION);
        return exitSuccess;
    }
    const Command* command = findCommand(first);
    if (command == nullptr) {
        std::fprintf(stderr, "vantrel: unknown command '%s'\nTry 'vantrel --help'.\n", first.c_str());
        return exitUsage;
    }
    const std::vector<std::string> args(words.begin() + 1, words.end());
    if (asksForHelp(args)) {
        std::fputs(*command->help, stdout);
        return exitSuccess;
    }
    return command->run(args);
}

}  // namespace

int usageError(const std::string& command, const std::string& message) {
    std::fprintf(stderr, "vantrel %s: %s\nTry 'vantrel %s --help'.\n", command.c_str(), message.c_str(),
                 command.c_str());
    return exitUsage;
}

}  // namespace vantrel::cli

int main(int argc, char** argv) {
    vantrel::cli::prepareOutputFiles();
    const int status = vantrel::cli::run(std::vector<std::string>(argv + 1, argv + argc));
    if (std::fflush(stdout) != 0) {
        std::fprintf(stderr, "vantrel: cannot write output: %s\n", std::strerror(errno));
        return vantrel::cli::exitFailure;
    }
    return status;
}
