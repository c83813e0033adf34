// The POSIX half of reading files: open, fstat, pread and mmap.

#include "system/InputFile.h"

#include "system/FileIdentity.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace veskar {

namespace {

// The windows mapped now, for the SIGBUS handler. A file cut short while a
// window of it is mapped loses the pages past its new end, and reading one
// raises SIGBUS: the handler puts a page of zeros there and marks the file,
// and the reader, finding a zero byte, refuses it.
struct MappedWindow {
    std::atomic<bool> taken{false};
    std::atomic<std::uintptr_t> begin{0};  // 0: not yet or no longer valid
    std::atomic<std::uintptr_t> end{0};
    std::atomic<std::atomic<bool>*> cutShort{nullptr};
};
constexpr int kWindowSlots = 64;
MappedWindow gWindows[kWindowSlots];
std::uintptr_t gPageSize = 4096;
struct sigaction gEarlierBusAction {};

extern "C" void zeroPagesCutShort(int, siginfo_t* info, void*)
{
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (MappedWindow& window : gWindows) {
        const std::uintptr_t begin = window.begin.load();
        if (begin == 0 || address < begin || address >= window.end.load()) continue;
        void* page = reinterpret_cast<void*>(address & ~(gPageSize - 1));
        if (::mmap(page, gPageSize, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) == MAP_FAILED) break;
        if (std::atomic<bool>* flag = window.cutShort.load()) flag->store(true);
        return;
    }
    // Not a window of ours: the fault comes again with what was there before.
    ::sigaction(SIGBUS, &gEarlierBusAction, nullptr);
}

void guardWindows()
{
    static std::once_flag installed;
    std::call_once(installed, [] {
        gPageSize = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
        struct sigaction action {};
        action.sa_sigaction = zeroPagesCutShort;
        action.sa_flags = SA_SIGINFO;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGBUS, &action, &gEarlierBusAction);
    });
}

} // namespace

bool InputFile::open(const std::string& path, std::string& reason)
{
    close();
    // Without O_NONBLOCK, opening a named pipe waits for a writer that may
    // never come; regular files read the same either way.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        reason = std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        reason = std::strerror(errno);
        ::close(fd);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "is a directory" : "is not a regular file";
        ::close(fd);
        return false;
    }
    handle_ = fd;
    size_ = static_cast<std::uint64_t>(st.st_size);
    noteFileUse({static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)});
    return true;
}

const char* InputFile::mapWindow(std::uint64_t offset, std::size_t length) const
{
    if (handle_ == kClosed || length == 0 || offset % kWindowAlignment != 0) return nullptr;
    guardWindows();
    MappedWindow* slot = nullptr;
    for (MappedWindow& window : gWindows) {
        bool expected = false;
        if (window.taken.compare_exchange_strong(expected, true)) {
            slot = &window;
            break;
        }
    }
    if (!slot) return nullptr;
    void* view = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, static_cast<int>(handle_), static_cast<off_t>(offset));
    if (view == MAP_FAILED) {
        slot->taken.store(false);
        return nullptr;
    }
    const auto begin = reinterpret_cast<std::uintptr_t>(view);
    slot->end.store(begin + length);
    slot->cutShort.store(&cutShort_);
    slot->begin.store(begin);
    return static_cast<const char*>(view);
}

void InputFile::unmapWindow(const char* window, std::size_t length)
{
    if (!window) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(window);
    for (MappedWindow& slot : gWindows) {
        if (slot.begin.load() != begin) continue;
        slot.begin.store(0);
        slot.cutShort.store(nullptr);
        slot.taken.store(false);
        break;
    }
    ::munmap(const_cast<char*>(window), length);
}

bool InputFile::cutShort() const
{
    if (cutShort_.load()) return true;
    // A page cut in two keeps its first part and reads as zeros after it.
    struct stat st {};
    return handle_ != kClosed && ::fstat(static_cast<int>(handle_), &st) == 0 && static_cast<std::uint64_t>(st.st_size) < size_;
}

void InputFile::close()
{
    if (handle_ != kClosed) ::close(static_cast<int>(handle_));
    handle_ = kClosed;
    size_ = 0;
}

std::int64_t InputFile::readAt(std::uint64_t offset, char* buffer, std::size_t length, std::string& reason) const
{
    if (handle_ == kClosed) {
        reason = "the file is not open";
        return -1;
    }
    for (;;) {
        const ssize_t n = ::pread(static_cast<int>(handle_), buffer, length, static_cast<off_t>(offset));
        if (n >= 0) return n;
        if (errno == EINTR) continue;
        reason = std::strerror(errno);
        return -1;
    }
}

} // namespace veskar
