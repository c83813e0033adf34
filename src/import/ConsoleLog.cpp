#include "import/ConsoleLog.h"

#include "system/Console.h"

#include <cstdio>
#include <string>

namespace veskar {

namespace {
thread_local ConsoleLog* threadLog = nullptr;

ConsoleLog& processLog()
{
    static ConsoleLog log;
    return log;
}
} // namespace

ConsoleLog& consoleLog() { return threadLog ? *threadLog : processLog(); }

ThreadConsole::ThreadConsole(ConsoleSink* sink) : previous_(threadLog)
{
    own_.handle = sink;
    own_.enabled = sink ? 1 : 0;
    threadLog = &own_;
}

ThreadConsole::~ThreadConsole() { threadLog = previous_; }

void ConsoleLog::startUp(ConsoleSink* sink)
{
    ConsoleLog& log = processLog();
    log.handle = sink;
    log.enabled = sink ? 1 : 0;
}

void ConsoleLog::shutDown()
{
    ConsoleLog& log = processLog();
    log.handle = nullptr;
    log.enabled = 0;
}

int ConsoleLog::print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int r = printv(format, args);
    va_end(args);
    return r;
}

int ConsoleLog::printv(const char* format, va_list args)
{
    if (!enabled || !handle) return 0;
    // Long file names must not be cut, so the text is sized to fit.
    char small[512];
    va_list copy;
    va_copy(copy, args);
    const int length = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (length < 0) return 0;
    if (static_cast<std::size_t>(length) < sizeof small) return handle->write(small, static_cast<std::size_t>(length)) ? 1 : 0;
    std::string big(static_cast<std::size_t>(length) + 1, '\0');
    std::vsnprintf(big.data(), big.size(), format, args);
    return handle->write(big.data(), static_cast<std::size_t>(length)) ? 1 : 0;
}

} // namespace veskar
