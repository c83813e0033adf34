// The POSIX half of atomic outputs. On Linux the text goes to an unnamed file
// (O_TMPFILE) in the target's folder, linked under the target's name once it
// is complete; a target that already exists is replaced by linking under a
// short temporary name and renaming that over it, a window of two system
// calls. Where unnamed files are not to be had the text goes to a named
// temporary file. Named temporaries, of either kind, are listed where a
// signal handler finds them and removes them before the signal ends the
// process.

#include "system/AtomicFile.h"

#include "system/FileIdentity.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <random>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace veskar {

namespace {

// ---------------------------------------------------------------------------
// Named temporaries a signal must remove. A slot is free (0), being filled
// (1) or armed (2); the handler only reads armed slots, and only calls what a
// signal handler may call.

constexpr int kGuardSlots = 128;
constexpr std::size_t kGuardPathBytes = 4096;

struct GuardSlot {
    std::atomic<int> state{0};
    char path[kGuardPathBytes]{};
};

// Zeros from the start, not set at startup: setting every slot's state would
// touch all of their 128 pages in every run.
constinit GuardSlot guardSlots[kGuardSlots];
std::atomic<int> dying{0};
const int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};

extern "C" void removeTemporariesAndDie(int signal)
{
    dying.store(1);
    for (GuardSlot& slot : guardSlots)
        if (slot.state.load() == 2) ::unlink(slot.path);
    // SA_RESETHAND put the default action back, and the signal is blocked
    // while this runs: raised again, it ends the process once this returns.
    ::raise(signal);
}

// Only signals that would end the process quietly get the handler; one the
// program ignores (nohup) or handles itself stays as it is.
void installSignalCleanup()
{
    static std::once_flag once;
    std::call_once(once, [] {
        for (int signal : kCleanupSignals) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) != 0 || (old.sa_flags & SA_SIGINFO) || old.sa_handler != SIG_DFL) continue;
            struct sigaction action {};
            action.sa_handler = removeTemporariesAndDie;
            sigemptyset(&action.sa_mask);
            for (int other : kCleanupSignals) sigaddset(&action.sa_mask, other);
            action.sa_flags = SA_RESETHAND | SA_RESTART;
            ::sigaction(signal, &action, nullptr);
        }
    });
}

// Waits for a free slot: writers hold one only while they write, so one
// comes free soon even with more writers than slots.
int armGuard(const std::string& path)
{
    if (path.size() >= kGuardPathBytes) return -1;  // no such path can be created anyway
    static std::atomic<unsigned> next{0};
    for (;;) {
        for (int tries = 0; tries < kGuardSlots; ++tries) {
            const int i = static_cast<int>(next++ % kGuardSlots);
            int expected = 0;
            if (!guardSlots[i].state.compare_exchange_strong(expected, 1)) continue;
            std::memcpy(guardSlots[i].path, path.c_str(), path.size() + 1);
            guardSlots[i].state.store(2);
            return i;
        }
        std::this_thread::yield();
    }
}

void disarmGuard(int& slot)
{
    if (slot >= 0) guardSlots[slot].state.store(0);
    slot = -1;
}

// ---------------------------------------------------------------------------

std::string errorText(const char* what, int error) { return std::string(what) + std::strerror(error); }

// The folder part of path with its trailing '/', or "" for the working folder.
std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A short name of its own, so that a target whose name is as long as the
// file system allows still gets a temporary beside it.
std::string temporaryName()
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}() ^ (static_cast<std::uint64_t>(::getpid()) << 32) ^
                                        std::hash<std::thread::id>{}(std::this_thread::get_id())};
    std::string name = ".vsk";
    for (int i = 0; i < 8; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    return name + ".tmp";
}

// VESKAR_NAMED_TEMPORARIES=1 takes the way of systems without unnamed files.
bool unnamedFilesWanted()
{
    static const bool wanted = [] {
        const char* named = std::getenv("VESKAR_NAMED_TEMPORARIES");
        // Linking an unnamed file goes through /proc without privileges.
        return !(named && *named && std::strcmp(named, "0") != 0) && ::access("/proc/self/fd", X_OK) == 0;
    }();
    return wanted;
}

// Links the unnamed file fd under a new temporary name in folder; false with
// errno set when that cannot be done.
bool linkUnderTemporaryName(int fd, const std::string& folder, std::string& temp, int& guard)
{
    const std::string source = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = folder + temporaryName();
        guard = armGuard(temp);
        if (::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, temp.c_str(), AT_SYMLINK_FOLLOW) == 0) return true;
        const int error = errno;
        disarmGuard(guard);
        temp.clear();
        errno = error;
        if (error != EEXIST) return false;
    }
    return false;
}

} // namespace

bool AtomicFile::create(const std::string& path, std::string& reason)
{
    abandon();
    path_ = path;
    error_.clear();
    struct stat st {};
    replacing_ = ::stat(path.c_str(), &st) == 0;
    written_ = 0;
    if (replacing_ && !S_ISREG(st.st_mode)) {
        reason = S_ISDIR(st.st_mode) ? "cannot replace the file: it is a folder" : "cannot replace the file: it is not a regular file";
        return false;
    }
    installSignalCleanup();
    const std::string folder = folderOf(path);
    if (unnamedFilesWanted()) {
        const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
        if (fd >= 0) {
            handle_ = fd;
            return true;
        }
        // Only a file system without unnamed files sends us the other way.
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
            reason = errorText("cannot create a file in that folder: ", errno);
            return false;
        }
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp_ = folder + temporaryName();
        guard_ = armGuard(temp_);
        // The mode is 0666 less the umask, as for any new file.
        const int fd = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            handle_ = fd;
            // A signal taken on another thread while the file was made.
            if (dying.load()) ::unlink(temp_.c_str());
            return true;
        }
        const int error = errno;
        disarmGuard(guard_);
        temp_.clear();
        if (error != EEXIST) {
            reason = errorText("cannot create a file in that folder: ", error);
            return false;
        }
    }
    reason = "cannot create a file in that folder: no free temporary name";
    return false;
}

// Its twin, with HANDLEs and WriteFile, is win32/AtomicFile.cpp.
void AtomicFile::append(std::string_view bytes)
{
    if (handle_ < 0 || !error_.empty()) return;
    const int fd = static_cast<int>(handle_);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error_ = errorText("cannot write: ", errno);
            return;
        }
        done += static_cast<std::size_t>(n);
    }
    // ext4 writes a file that is renamed over another out during the rename,
    // and the rename waits for it (the safeguard that keeps a replaced file
    // from coming back empty after a crash). Started as the text comes, that
    // writing goes on beside the formatting instead.
    if (replacing_) ::sync_file_range(fd, static_cast<off_t>(written_), static_cast<off_t>(bytes.size()), SYNC_FILE_RANGE_WRITE);
    written_ += bytes.size();
}

bool AtomicFile::commit(std::string& reason)
{
    if (handle_ < 0) {
        reason = "no file was created";
        return false;
    }
    const int fd = static_cast<int>(handle_);
    handle_ = -1;
    struct stat target {};
    const bool replacing = ::stat(path_.c_str(), &target) == 0;
    if (error_.empty()) {
        if (replacing && S_ISREG(target.st_mode)) ::fchmod(fd, target.st_mode & 0777);
        struct stat written {};
        if (::fstat(fd, &written) == 0) noteFileUse({static_cast<std::uint64_t>(written.st_dev), static_cast<std::uint64_t>(written.st_ino)});
    }
    if (temp_.empty()) {
        // Unnamed: a new target is linked in one step; an existing one is
        // replaced through a temporary name that lives for two system calls.
        if (error_.empty()) {
            const std::string source = "/proc/self/fd/" + std::to_string(fd);
            bool linked = false;
            if (!replacing) {
                linked = ::linkat(AT_FDCWD, source.c_str(), AT_FDCWD, path_.c_str(), AT_SYMLINK_FOLLOW) == 0;
                if (!linked && errno != EEXIST) error_ = errorText("cannot create the file: ", errno);
            }
            if (!linked && error_.empty()) {
                if (!linkUnderTemporaryName(fd, folderOf(path_), temp_, guard_)) error_ = errorText("cannot create a file in that folder: ", errno);
                else if (::rename(temp_.c_str(), path_.c_str()) != 0) error_ = errorText("cannot replace the file: ", errno);
            }
        }
        ::close(fd);
    } else {
        if (::close(fd) != 0 && error_.empty()) error_ = errorText("cannot write: ", errno);
        if (error_.empty() && ::rename(temp_.c_str(), path_.c_str()) != 0) error_ = errorText("cannot replace the file: ", errno);
    }
    if (!temp_.empty()) {
        if (!error_.empty() || dying.load()) ::unlink(temp_.c_str());
        disarmGuard(guard_);
        temp_.clear();
    }
    if (!error_.empty()) {
        reason = error_;
        return false;
    }
    return true;
}

void AtomicFile::abandon()
{
    if (handle_ >= 0) ::close(static_cast<int>(handle_));
    handle_ = -1;
    if (!temp_.empty()) ::unlink(temp_.c_str());
    disarmGuard(guard_);
    temp_.clear();
}

} // namespace veskar
