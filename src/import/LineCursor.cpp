#include "import/LineCursor.h"

#include <algorithm>
#include <cstring>

namespace veskar {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";

// Line ends in bytes: "\n", "\r\n" and a lone "\r" end one line each.
// afterReturn says the byte before p was '\r', and is set for the next call.
std::size_t countLineEnds(const char* p, std::size_t n, bool& afterReturn)
{
    if (n == 0) return 0;
    const char* const end = p + n;
    std::size_t ends = 0;
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\n', static_cast<std::size_t>(end - q)))) != nullptr; ++q) ++ends;
    // A '\r' is a line end of its own unless a '\n' (counted) follows it.
    for (const char* q = p; (q = static_cast<const char*>(std::memchr(q, '\r', static_cast<std::size_t>(end - q)))) != nullptr; ++q)
        if (q + 1 == end || q[1] != '\n') ++ends;
    if (afterReturn && p[0] == '\n') --ends;
    afterReturn = end[-1] == '\r';
    return ends;
}

} // namespace

LineCursor::LineCursor(std::string_view text) : data_(text.data()), filled_(text.size()), size_(text.size()) {}

LineCursor::~LineCursor() { releaseWindow(); }

bool LineCursor::openFile(const std::string& path, std::string& reason, std::size_t piece, Access access)
{
    forgetList();
    releaseWindow();
    file_ = nullptr;
    if (!ownFile_.open(path, reason)) return false;
    file_ = &ownFile_;
    size_ = ownFile_.size();
    // No piece larger than the file; a line longer than the piece grows it.
    const auto size = static_cast<std::size_t>(std::max<std::uint64_t>(1, std::min<std::uint64_t>(piece ? piece : 1, size_ ? size_ : 1)));
    mapping_ = access == Access::Mapped;
    windowBytes_ = size;
    piece_.reset();
    capacity_ = 0;
    if (!mapping_) allocatePiece(size);
    filled_ = position_ = 0;
    consumed_ = 0;
    lineNumber_ = 0;
    failure_.clear();
    endOfInput_ = false;
    searched_ = 0;
    return true;
}

// A piece keeps kScanSlack bytes after its room, so the vectorised scans may
// read past any line in it.
void LineCursor::allocatePiece(std::size_t capacity)
{
    piece_ = std::make_unique<char[]>(capacity + kScanSlack);
    capacity_ = capacity;
    data_ = piece_.get();
}

void LineCursor::releaseWindow()
{
    InputFile::unmapWindow(window_, windowLength_);
    window_ = nullptr;
    windowLength_ = 0;
}

// Maps the next window from the start of the unfinished line on. Where no
// window can be had, the file is read in pieces from there.
bool LineCursor::fillWindow()
{
    const std::uint64_t lineStart = consumed_ - (filled_ - position_);
    if (lineStart >= size_) {
        endOfInput_ = true;
        return false;
    }
    // A line as long as the window gets a larger one, up to the longest line.
    if (filled_ - position_ >= windowBytes_ && windowBytes_ < kMaxLineBytes + 2) windowBytes_ = std::min(windowBytes_ * 2, kMaxLineBytes + 2);
    const std::uint64_t start = lineStart - lineStart % InputFile::kWindowAlignment;
    const auto skip = static_cast<std::size_t>(lineStart - start);
    const auto length = static_cast<std::size_t>(std::min<std::uint64_t>(skip + windowBytes_, size_ - start));
    const char* view = file_->mapWindow(start, length);
    if (!view) {
        // The unfinished line is copied from the old window, which stays
        // mapped until then; a piece that cannot be had leaves the cursor as
        // it was (the allocation throws before anything changed).
        const std::size_t keep = filled_ - position_;
        const char* unfinished = data_ + position_;
        allocatePiece(std::max(windowBytes_, keep));
        mapping_ = false;
        if (keep > 0) std::memcpy(piece_.get(), unfinished, keep);
        releaseWindow();
        filled_ = keep;
        position_ = 0;
        return fill();
    }
    releaseWindow();
    window_ = view;
    windowStart_ = start;
    windowLength_ = length;
    data_ = view + skip;
    filled_ = length - skip;
    position_ = 0;
    consumed_ = start + length;
    if (consumed_ >= size_) endOfInput_ = true;
    return true;
}

// Keeps the unfinished line at the front of the piece and reads after it.
bool LineCursor::fill()
{
    if (mapping_) return fillWindow();
    const std::size_t keep = filled_ - position_;
    if (position_ > 0 && keep > 0) std::memmove(piece_.get(), piece_.get() + position_, keep);
    filled_ = keep;
    position_ = 0;
    // Room for the longest line and the two bytes that may end it, no more.
    if (filled_ == capacity_ && capacity_ < kMaxLineBytes + 2) {
        std::unique_ptr<char[]> old = std::move(piece_);
        allocatePiece(std::min(capacity_ * 2, kMaxLineBytes + 2));
        std::memcpy(piece_.get(), old.get(), filled_);
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
    std::string reason;
    const std::int64_t n = file_->readAt(consumed_, piece_.get() + filled_, want, reason);
    if (n <= 0) {
        if (n < 0) failure_ = "cannot read the file: " + reason;
        endOfInput_ = true;
        return false;
    }
    filled_ += static_cast<std::size_t>(n);
    consumed_ += static_cast<std::uint64_t>(n);
    return true;
}

// The line starting at position_ ended neither within window bytes nor in a
// zero byte before it; it is refused without reading further.
bool LineCursor::fail(std::size_t window)
{
    ++lineNumber_;
    if (file_ && file_->cutShort())
        failure_ = "the file became shorter while it was read";
    else if (std::memchr(data_ + position_, '\0', window))
        failure_ = "the line holds a zero byte: this is binary data, not the text of a model file";
    else
        failure_ = "the line is longer than " + std::to_string(kMaxLineBytes) + " bytes; no model file has such lines";
    endOfInput_ = true;
    return false;
}

// Lists the ends of the lines ahead when the next one is plain (not the
// first of a file, which may start with a byte-order mark, nor one already
// searched in part), then takes the first; otherwise one line the careful way.
bool LineCursor::nextUnlisted(std::string_view& line)
{
    if (failure_.empty() && searched_ == 0 && position_ < filled_ && (lineNumber_ != 0 || offset() != 0)) {
        constexpr std::size_t kLookAhead = std::size_t{1} << 24;  // offsets fit 32 bits
        const std::size_t span = std::min(filled_ - position_, kLookAhead);
        listBase_ = position_;
        listed_ = 0;
        listedCount_ = findEnds_(data_ + position_, data_ + position_ + span, lineEnds_, kListedLines, kMaxLineBytes);
        if (listedCount_ > 0) return next(line);
    }
    return nextOne(line);
}

bool LineCursor::nextOne(std::string_view& line)
{
    if (!failure_.empty()) return false;
    for (;;) {
        const std::size_t available = filled_ - position_;
        // The longest line and the byte that ends it.
        const std::size_t window = std::min(available, kMaxLineBytes + 1);
        const char* const start = data_ + position_;
        // One search finds the line's end and a zero byte before it.
        searched_ = static_cast<std::size_t>(findBreak_(start + searched_, start + window) - start);
        std::size_t end = position_ + searched_, after = 0;
        if (searched_ < window) {
            if (data_[end] == '\0') return fail(window);
            if (data_[end] == '\n') after = end + 1;
            else if (end + 1 < filled_) after = end + 1 + (data_[end + 1] == '\n' ? 1 : 0);
            else if (endOfInput_) after = end + 1;
            // else a '\n' may follow in the next piece
        } else if (window > kMaxLineBytes) {
            return fail(window);
        } else if (endOfInput_) {
            if (available == 0) return false;
            after = filled_;
        }
        if (after == 0) {
            if (!fill() && !failure_.empty()) return false;
            continue;
        }
        std::size_t length = end - position_;
        const char* first = start;
        if (lineNumber_ == 0 && offset() == 0 && length >= 3 && std::memcmp(first, kByteOrderMark, 3) == 0) {
            first += 3;
            length -= 3;
        }
        ++lineNumber_;
        position_ = after;
        searched_ = 0;
        line = std::string_view(first, length);
        return true;
    }
}

bool LineCursor::atEnd()
{
    while (position_ >= filled_ && !endOfInput_) fill();
    return position_ >= filled_ || !failure_.empty();
}

std::size_t LineCursor::remainingLines()
{
    bool afterReturn = false;
    std::size_t ends = countLineEnds(data_ + position_, filled_ - position_, afterReturn);
    char last = position_ < filled_ ? data_[filled_ - 1] : '\n';
    if (file_ && !endOfInput_) {
        // The rest of the file, read aside without moving the cursor.
        char scratch[1 << 16];
        std::uint64_t offset = consumed_;
        std::string reason;
        while (offset < size_) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(sizeof scratch, size_ - offset));
            const std::int64_t n = file_->readAt(offset, scratch, want, reason);
            if (n <= 0) break;
            ends += countLineEnds(scratch, static_cast<std::size_t>(n), afterReturn);
            last = scratch[n - 1];
            offset += static_cast<std::uint64_t>(n);
        }
    }
    return ends + (last != '\n' && last != '\r' ? 1 : 0);
}

bool LineCursor::rewind() { return seek(0, 0) && failure_.empty(); }

bool LineCursor::seek(std::uint64_t offset, long lineNumber)
{
    if (offset > size_) return false;
    forgetList();
    lineNumber_ = lineNumber;
    searched_ = 0;
    if (!file_) {
        position_ = static_cast<std::size_t>(offset);
        return true;
    }
    endOfInput_ = !failure_.empty();
    if (window_ && offset >= windowStart_ && offset < windowStart_ + windowLength_) {
        // Within the window mapped now: no new one.
        const auto skip = static_cast<std::size_t>(offset - windowStart_);
        data_ = window_ + skip;
        filled_ = windowLength_ - skip;
        position_ = 0;
        consumed_ = windowStart_ + windowLength_;
        if (consumed_ >= size_) endOfInput_ = true;
        return true;
    }
    filled_ = position_ = 0;
    consumed_ = offset;
    return true;
}

bool LineCursor::startAt(const LineCursor& other, std::uint64_t offset, long lineNumber)
{
    forgetList();
    releaseWindow();
    ownFile_.close();
    file_ = other.file_;
    size_ = other.size_;
    failure_ = other.failure_;
    if (!other.file_) {
        data_ = other.data_;
        filled_ = other.filled_;
        endOfInput_ = true;
    } else {
        mapping_ = other.mapping_;
        windowBytes_ = other.windowBytes_;
        if (!mapping_) allocatePiece(other.capacity_);
    }
    return seek(offset, lineNumber);
}

} // namespace veskar
