#pragma once
// Reading the files a user names: only regular files are opened (a named pipe
// is never waited on), and they are read at offsets or through windows mapped
// into memory, so several readers on several threads can share one open file.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace veskar {

class InputFile {
public:
    InputFile() = default;
    ~InputFile() { close(); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    // False with a reason ("No such file or directory", "is a directory",
    // "is not a regular file", ...) when the path is no readable regular file.
    bool open(const std::string& path, std::string& reason);
    void close();
    // Bytes the file had when it was opened.
    std::uint64_t size() const { return size_; }
    // Reads up to length bytes at offset into buffer: the count read (0 at the
    // end of the file), or -1 with a reason. Safe to call from several threads.
    std::int64_t readAt(std::uint64_t offset, char* buffer, std::size_t length, std::string& reason) const;

    // A window of length bytes at offset (a multiple of kWindowAlignment)
    // mapped read-only, which spares copying the text; null where the system
    // gives none (the file is then read with readAt). Several may be mapped
    // at once, on several threads. A file cut short while a window of it is
    // mapped reads as zero bytes past its new end, and cutShort() (the file
    // is shorter than when it was opened) then says why: the reader refuses
    // the file instead of the program being killed.
    const char* mapWindow(std::uint64_t offset, std::size_t length) const;
    static void unmapWindow(const char* window, std::size_t length);
    static constexpr std::size_t kWindowAlignment = std::size_t{1} << 16;
    bool cutShort() const;

private:
    static constexpr std::intptr_t kClosed = -1;
    std::intptr_t handle_ = kClosed;
    std::uint64_t size_ = 0;
    mutable std::atomic<bool> cutShort_{false};  // set from a signal handler
};

// The whole file in memory; false with a reason when it cannot be read as a
// regular file.
bool readWholeFile(const std::string& path, std::string& contents, std::string& reason);

} // namespace veskar
