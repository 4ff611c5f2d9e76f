// Many files at once: the work spread over a pool of threads, each failure
// reported as it happens, and a progress bar on a terminal.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace vantrel::cli {

// "vantrel: NAME: MESSAGE" on stderr.
void reportError(const std::string& name, const std::string& message);

// One thread per core, at least one.
unsigned defaultJobs();

// Runs task(i) for every index of names on up to jobs threads. task returns
// an empty string on success, else what went wrong; a failure never stops
// the others. Returns the number of failures.
std::size_t runBatch(const std::vector<std::string>& names, unsigned jobs,
                     const std::function<std::string(std::size_t)>& task);

}  // namespace vantrel::cli
