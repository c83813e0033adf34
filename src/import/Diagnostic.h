#pragma once
// Why a file was refused, for people: "file:line: what", the file's name with
// its control characters escaped.

#include "base/PrintableName.h"

#include <string>

namespace veskar {

struct Diagnostic {
    std::string file;
    long line = 0;   // 0 when the problem is not on one line
    std::string what;

    bool empty() const { return what.empty(); }
    void clear()
    {
        file.clear();
        line = 0;
        what.clear();
    }
    std::string text() const
    {
        if (what.empty()) return {};
        const std::string name = printableName(file);
        return line > 0 ? name + ":" + std::to_string(line) + ": " + what : name + ": " + what;
    }
};

// The message box text for a refusal: the system's own message, then the
// diagnostic line when there is one.
inline std::string refusalText(const char* message, const Diagnostic& d)
{
    return d.empty() ? std::string(message) : std::string(message) + "\n" + d.text();
}

// A refusal as the converter prints it: the diagnostic line, then the
// system's own message as its box would show it, when there is one.
inline std::string refusalLines(const Diagnostic& d, const char* message)
{
    std::string text = d.text();
    if (message) text += std::string("\n  Error: ") + message;
    return text;
}

} // namespace veskar
