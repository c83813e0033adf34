#include "import/LineCursor.h"

#include "import/FileBuffer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace veskar {

LineCursor::LineCursor(std::string_view text) : data_(text.data()), filled_(text.size()), size_(text.size()) {}

LineCursor::~LineCursor() { closeFile(); }

void LineCursor::closeFile()
{
    if (fd_ >= 0 && ownsFile_) ::close(fd_);
    fd_ = -1;
    ownsFile_ = false;
}

bool LineCursor::openFile(const std::string& path, std::string& reason, std::size_t piece)
{
    closeFile();
    std::uint64_t bytes = 0;
    const int fd = openRegularFile(path, bytes, reason);
    if (fd < 0) return false;
    fd_ = fd;
    ownsFile_ = true;
    size_ = bytes;
    // No piece larger than the file; a line longer than the piece grows it.
    capacity_ = static_cast<std::size_t>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(piece ? piece : 1, bytes ? bytes : 1)));
    piece_ = std::make_unique<char[]>(capacity_);
    data_ = piece_.get();
    filled_ = position_ = 0;
    consumed_ = 0;
    lineNumber_ = 0;
    failure_.clear();
    endOfInput_ = false;
    return true;
}

// Keeps the unfinished line at the front of the piece and reads after it.
bool LineCursor::fill()
{
    const std::size_t keep = filled_ - position_;
    if (position_ > 0 && keep > 0) std::memmove(piece_.get(), piece_.get() + position_, keep);
    filled_ = keep;
    position_ = 0;
    if (filled_ == capacity_) {
        auto bigger = std::make_unique<char[]>(capacity_ * 2);
        std::memcpy(bigger.get(), piece_.get(), filled_);
        piece_ = std::move(bigger);
        capacity_ *= 2;
    }
    data_ = piece_.get();
    // Only the bytes the file had when it was opened: a file that grows while
    // it is read cannot keep the reader going.
    const std::uint64_t left = size_ - consumed_;
    std::size_t want = capacity_ - filled_;
    if (left < want) want = static_cast<std::size_t>(left);
    if (want == 0) {
        endOfInput_ = true;
        return false;
    }
    ssize_t n;
    do {
        n = ::pread(fd_, piece_.get() + filled_, want, static_cast<off_t>(consumed_));
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        failure_ = std::strerror(errno);
        endOfInput_ = true;
        return false;
    }
    if (n == 0) {
        endOfInput_ = true;
        return false;
    }
    filled_ += static_cast<std::size_t>(n);
    consumed_ += static_cast<std::uint64_t>(n);
    return true;
}

bool LineCursor::next(std::string_view& line)
{
    std::size_t scanFrom = position_;
    for (;;) {
        if (scanFrom < filled_) {
            const void* newline = std::memchr(data_ + scanFrom, '\n', filled_ - scanFrom);
            if (newline) {
                const char* start = data_ + position_;
                std::size_t length = static_cast<std::size_t>(static_cast<const char*>(newline) - start);
                position_ += length + 1;
                if (length > 0 && start[length - 1] == '\r') --length;
                line = std::string_view(start, length);
                ++lineNumber_;
                return true;
            }
        }
        if (endOfInput_) {
            if (position_ >= filled_) return false;
            const char* start = data_ + position_;
            std::size_t length = filled_ - position_;
            position_ = filled_;
            if (start[length - 1] == '\r') --length;
            line = std::string_view(start, length);
            ++lineNumber_;
            return true;
        }
        const std::size_t searched = filled_ - position_;  // holds no '\n'
        fill();
        scanFrom = searched;
    }
}

bool LineCursor::atEnd()
{
    while (position_ >= filled_ && !endOfInput_) fill();
    return position_ >= filled_;
}

std::size_t LineCursor::remainingLines()
{
    std::size_t newlines = 0;
    char last = '\n';
    const char* end = data_ + filled_;
    for (const char* p = data_ + position_; p < end;) {
        const void* nl = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        if (!nl) break;
        ++newlines;
        p = static_cast<const char*>(nl) + 1;
    }
    if (position_ < filled_) last = data_[filled_ - 1];
    if (fd_ >= 0 && !endOfInput_) {
        // The rest of the file, read aside without moving the cursor.
        char scratch[1 << 16];
        std::uint64_t offset = consumed_;
        while (offset < size_) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof scratch, size_ - offset));
            const ssize_t n = ::pread(fd_, scratch, want, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            for (ssize_t i = 0; i < n; ++i) newlines += scratch[i] == '\n';
            last = scratch[n - 1];
            offset += static_cast<std::uint64_t>(n);
        }
    }
    return newlines + (last != '\n' ? 1 : 0);
}

bool LineCursor::rewind() { return seek(0, 0) && failure_.empty(); }

bool LineCursor::seek(std::uint64_t offset, long lineNumber)
{
    if (offset > size_) return false;
    lineNumber_ = lineNumber;
    if (fd_ < 0) {
        position_ = static_cast<std::size_t>(offset);
        return true;
    }
    filled_ = position_ = 0;
    consumed_ = offset;
    endOfInput_ = !failure_.empty();
    return true;
}

bool LineCursor::startAt(const LineCursor& other, std::uint64_t offset, long lineNumber)
{
    closeFile();
    size_ = other.size_;
    failure_ = other.failure_;
    if (other.fd_ < 0) {
        data_ = other.data_;
        filled_ = other.filled_;
        endOfInput_ = true;
    } else {
        fd_ = other.fd_;
        capacity_ = other.capacity_;
        piece_ = std::make_unique<char[]>(capacity_);
        data_ = piece_.get();
    }
    return seek(offset, lineNumber);
}

} // namespace veskar
