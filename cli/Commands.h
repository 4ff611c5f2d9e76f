// The vantrel commands. Each takes the words after its name and returns the
// exit status: 0 success, 1 when any input failed, 2 for a usage error.
#pragma once

#include <string>
#include <vector>

namespace vantrel::cli {

constexpr int exitSuccess = 0;
constexpr int exitFailure = 1;
constexpr int exitUsage = 2;

int runInfo(const std::vector<std::string>& args);
int runConvert(const std::vector<std::string>& args);
int runThumbnail(const std::vector<std::string>& args);

extern const char* const infoHelp;
extern const char* const convertHelp;
extern const char* const thumbnailHelp;

// Prints "vantrel COMMAND: MESSAGE" and a hint to stderr; returns exitUsage.
int usageError(const std::string& command, const std::string& message);

}  // namespace vantrel::cli
