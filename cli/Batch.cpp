#include "cli/Batch.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

namespace vantrel::cli {
namespace {

// Batches at least this large show a progress bar when stderr is a terminal.
constexpr std::size_t progressThreshold = 8;
constexpr int barWidth = 30;

// All stderr output of a batch goes through here, so messages and the bar
// never interleave.
class Reporter {
public:
    Reporter(std::size_t total, bool showBar) : total_(total), showBar_(showBar) {}

    void finished(const std::string* name, const std::string& message) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++done_;
        if (!message.empty()) {
            eraseBar();
            reportError(*name, message);
        }
        drawBar();
    }

    void close() {
        std::lock_guard<std::mutex> lock(mutex_);
        eraseBar();
    }

private:
    void eraseBar() {
        if (showBar_) std::fputs("\r\033[K", stderr);
    }

    void drawBar() {
        if (!showBar_) return;
        const int filled = static_cast<int>(done_ * barWidth / total_);
        std::fprintf(stderr, "\r[%.*s%*s] %zu/%zu", filled, "##############################", barWidth - filled, "",
                     done_, total_);
        std::fflush(stderr);
    }

    std::mutex mutex_;
    std::size_t done_ = 0;
    const std::size_t total_;
    const bool showBar_;
};

std::string runGuarded(const std::function<std::string(std::size_t)>& task, std::size_t index) {
    try {
        return task(index);
    } catch (const std::bad_alloc&) {
        return "out of memory";
    } catch (const std::exception& e) {
        return e.what();
    }
}

}  // namespace

void reportError(const std::string& name, const std::string& message) {
    std::fprintf(stderr, "vantrel: %s: %s\n", name.c_str(), message.c_str());
}

unsigned defaultJobs() {
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

std::size_t runBatch(const std::vector<std::string>& names, unsigned jobs,
                     const std::function<std::string(std::size_t)>& task) {
    Reporter reporter(names.size(), names.size() >= progressThreshold && isatty(STDERR_FILENO) != 0);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> failures{0};
    auto work = [&] {
        for (std::size_t i = next++; i < names.size(); i = next++) {
            const std::string message = runGuarded(task, i);
            if (!message.empty()) ++failures;
            reporter.finished(&names[i], message);
        }
    };
    const std::size_t threads = jobs < names.size() ? jobs : names.size();
    std::vector<std::thread> pool;
    for (std::size_t t = 1; t < threads; ++t) {
        try {
            pool.emplace_back(work);
        } catch (const std::system_error&) {
            break;  // no more threads to be had: the running ones share the rest
        }
    }
    work();  // the calling thread takes its share too
    for (auto& thread : pool) thread.join();
    reporter.close();
    return failures;
}

}  // namespace vantrel::cli
