#pragma once
// Walks the lines of a model file, either a buffer already in memory or a
// regular file seen through windows mapped into memory (read in pieces where
// the system maps none). The readers make two passes over a file; a reference
// of a few hundred megabytes must not have to fit in memory as text beside
// the model made from it, so a file is read twice instead of held, a window
// at a time.

#include "import/LineScan.h"
#include "system/InputFile.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace veskar {

// A line ends at "\n", "\r\n" or a lone "\r" (old Mac exports), so files
// written on any system read the same; a UTF-8 byte-order mark before the
// first line is passed over. Model files are text of short lines: a line
// longer than kMaxLineBytes, or one holding a zero byte, ends the lines with
// a failure naming that line, found without reading the rest of the line.
class LineCursor {
public:
    static constexpr std::size_t kDefaultPiece = std::size_t{1} << 20;
    static constexpr std::size_t kMaxLineBytes = std::size_t{1} << 20;

    LineCursor() = default;
    explicit LineCursor(std::string_view text);
    ~LineCursor();
    LineCursor(const LineCursor&) = delete;
    LineCursor& operator=(const LineCursor&) = delete;

    enum class Access { Mapped, Read };
    // Opens a regular file to be seen through mapped windows of about piece
    // bytes, or read into pieces of that size. False with a reason ("No such
    // file or directory", "is a directory", ...) otherwise.
    bool openFile(const std::string& path, std::string& reason, std::size_t piece = kDefaultPiece, Access access = Access::Mapped);

    // The line stays valid until the next call (of a buffer: as long as it).
    // Lines ended by '\n' alone come from a list of line ends found ahead,
    // many at a time.
    bool next(std::string_view& line)
    {
        if (listed_ == listedCount_) return nextUnlisted(line);
        const std::size_t end = listBase_ + lineEnds_[listed_++];
        line = std::string_view(data_ + position_, end - position_);
        position_ = end + 1;
        ++lineNumber_;
        return true;
    }
    bool atEnd();
    // 1-based number of the line last returned, or of the line that failed.
    long lineNumber() const { return lineNumber_; }
    // Lines from the current position to the end.
    std::size_t remainingLines();
    // Back to the first line; false when a file cannot be read again.
    bool rewind();
    // Bytes of the buffer, or of the file when it was opened.
    std::uint64_t size() const { return size_; }
    // Where the next line starts, in bytes from the beginning.
    std::uint64_t offset() const { return file_ ? consumed_ - (filled_ - position_) : position_; }
    // Continues at offset (a line start from offset()) as if lineNumber lines
    // had been read; false when offset lies beyond the end.
    bool seek(std::uint64_t offset, long lineNumber);
    // A second cursor over the same text from offset on, for reading one part
    // of a file on another thread; other must outlive it.
    bool startAt(const LineCursor& other, std::uint64_t offset, long lineNumber);
    // Why the lines ended early, as a refusal says it ("cannot read the file:
    // ...", a line too long, a zero byte); empty if they did not.
    const std::string& failure() const { return failure_; }
    // Whether kScanSlack bytes after a line this cursor returned may be read
    // (import/LineScan.h): always for a file's pieces, which keep them; for a
    // buffer, everywhere but near its end.
    bool slackAfter(std::string_view line) const
    {
        return (file_ && !window_) || static_cast<std::size_t>(data_ + filled_ - (line.data() + line.size())) >= kScanSlack;
    }

private:
    static constexpr std::size_t kListedLines = 64;

    bool nextUnlisted(std::string_view& line);
    bool nextOne(std::string_view& line);
    void forgetList() { listed_ = listedCount_ = 0; }
    bool fill();
    bool fillWindow();
    bool fail(std::size_t window);
    void allocatePiece(std::size_t capacity);
    void releaseWindow();

    const char* (*findBreak_)(const char*, const char*) = chosenLineScanner().findLineBreak;
    std::size_t (*findEnds_)(const char*, const char*, std::uint32_t*, std::size_t, std::size_t) = chosenLineScanner().findLineEnds;
    // Ends of the lines from position_ on, as offsets from listBase_ in data_;
    // those before listed_ were returned.
    std::uint32_t lineEnds_[kListedLines];
    std::size_t listBase_ = 0;
    std::size_t listed_ = 0;
    std::size_t listedCount_ = 0;
    const char* data_ = nullptr;
    std::size_t filled_ = 0;    // bytes of data_ that hold text
    std::size_t position_ = 0;  // start of the next line in data_
    bool endOfInput_ = true;    // nothing more will come after filled_
    long lineNumber_ = 0;
    std::uint64_t size_ = 0;
    // Bytes from position_ on known to hold no line break: a line that spans
    // pieces is not searched again from its start.
    std::size_t searched_ = 0;

    // Only when reading a file (at offsets, so cursors can share it).
    InputFile ownFile_;
    const InputFile* file_ = nullptr;
    std::unique_ptr<char[]> piece_;
    std::size_t capacity_ = 0;
    std::uint64_t consumed_ = 0;  // bytes taken from the file so far
    std::string failure_;
    // The mapped window, when the file is seen through one.
    bool mapping_ = false;
    const char* window_ = nullptr;
    std::uint64_t windowStart_ = 0;
    std::size_t windowLength_ = 0;
    std::size_t windowBytes_ = 0;  // how much a window takes after its line start
};

} // namespace veskar
