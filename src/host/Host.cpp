#include "host/Host.h"

#include "system/Clock.h"

#include <cctype>

namespace veskar {

namespace {

char fold(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// Greedy wildcard match that backs up to the last '*' on a mismatch, so a
// long name costs at most name x pattern steps.
bool wildcardMatch(std::string_view name, std::string_view pattern)
{
    // Windows takes "*.*" for every file, dotted or not.
    if (pattern == "*.*") return true;
    std::size_t n = 0, p = 0;
    std::size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || fold(pattern[p]) == fold(name[n]))) {
            ++n;
            ++p;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

} // namespace

bool matchesFilter(std::string_view fileName, std::string_view patterns)
{
    while (true) {
        const std::size_t semicolon = patterns.find(';');
        const std::string_view one = trim(patterns.substr(0, semicolon));
        if (!one.empty() && wildcardMatch(fileName, one)) return true;
        if (semicolon == std::string_view::npos) return false;
        patterns.remove_prefix(semicolon + 1);
    }
}

double Host::now() const { return steadySeconds(); }

void Host::setMenuCaption(std::uint32_t, const std::string&) {}

void Host::setMenuCheck(std::uint32_t, bool) {}

} // namespace veskar
