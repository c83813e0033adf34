#pragma once
// The console the log lines are written to: standard output in the program,
// a recorder in tests.

#include <cstddef>
#include <string>

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
