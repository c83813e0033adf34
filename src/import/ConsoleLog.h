#pragma once
// The process-wide console the readers and converters write progress lines to.

#include <cstdarg>

namespace veskar {

class ConsoleSink;

class ConsoleLog {
public:
    // Start-up: the program picks the sink (standard output, a recorder); a
    // null sink leaves printing disabled, as a console that could not be had.
    static void startUp(ConsoleSink* sink);
    static void shutDown();

    // printf-style; adds no line end. Returns 0 when disabled or when the write
    // failed, nonzero when the text was written.
    int print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    int printv(const char* format, va_list args);

    ConsoleSink* handle = nullptr;
    int enabled = 0;
};

ConsoleLog& consoleLog();

// For the life of the object, this thread's console lines go to the given sink
// (enabled) instead of the process's console.
class ThreadConsole {
public:
    explicit ThreadConsole(ConsoleSink* sink);
    ~ThreadConsole();
    ThreadConsole(const ThreadConsole&) = delete;
    ThreadConsole& operator=(const ThreadConsole&) = delete;

private:
    ConsoleLog* previous_;
    ConsoleLog own_;
};

} // namespace veskar
