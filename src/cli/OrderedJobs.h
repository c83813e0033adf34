#pragma once
// Work on many files at once while their lines still come out in the order
// the files were given, each file's lines together, as soon as that file and
// those before it are done.

#include "system/Console.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veskar {

// One file's lines as its job kept them: progress on standard output, then
// refusals and warnings on standard error, flushed before the next file's.
inline void printFileLines(const std::string& out, const std::string& errors)
{
    writeStandardOutput(out);
    std::fputs(errors.c_str(), stderr);
    std::fflush(stderr);
}

// work(i) runs on up to `jobs` threads; report(i, result) runs on the calling
// thread in the order of i. work must not throw: it runs on threads of its own.
template <typename Work, typename Report>
void runInOrder(std::size_t count, unsigned jobs, Work work, Report report)
{
    using Result = decltype(work(std::size_t{0}));
    if (jobs <= 1 || count <= 1) {
        for (std::size_t i = 0; i < count; ++i) report(i, work(i));
        return;
    }
    std::vector<std::optional<Result>> results(count);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < std::min<std::size_t>(jobs, count); ++t) {
        try {
            workers.emplace_back([&] {
                for (std::size_t i = next++; i < count; i = next++) {
                    Result r = work(i);
                    std::lock_guard<std::mutex> lock(mutex);
                    results[i].emplace(std::move(r));
                    finished.notify_all();
                }
            });
        } catch (const std::exception&) {
            break;  // no thread (or no memory for one) to be had: the ones there are take every file
        }
    }
    if (workers.empty()) {
        for (std::size_t i = 0; i < count; ++i) report(i, work(i));
        return;
    }
    for (std::size_t i = 0; i < count; ++i) {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [&] { return results[i].has_value(); });
        Result r = std::move(*results[i]);
        results[i].reset();
        lock.unlock();
        report(i, std::move(r));
    }
    for (std::thread& w : workers) w.join();
}

} // namespace veskar
