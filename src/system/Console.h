#pragma once
// The console the log lines are written to: standard output in the program,
// a recorder in tests.

#include <cstddef>
#include <string>
#include <string_view>

namespace veskar {

class ConsoleSink {
public:
    virtual ~ConsoleSink() = default;
    // Returns false when nothing could be written.
    virtual bool write(const char* bytes, std::size_t length) = 0;
};

class StdoutConsole final : public ConsoleSink {
public:
    bool write(const char* bytes, std::size_t length) override;
};

// Standard output, written and flushed at once. A write that fails (a full
// disk, a closed pipe) is remembered: a program must not end with 0 when its
// output was lost.
bool writeStandardOutput(std::string_view text);
// Flushes standard output; false with the reason when anything written to it
// was lost.
bool standardOutputIntact(std::string& reason);

class RecordingConsole final : public ConsoleSink {
public:
    bool write(const char* bytes, std::size_t length) override
    {
        text.append(bytes, length);
        return true;
    }
    std::string text;
};

} // namespace veskar
