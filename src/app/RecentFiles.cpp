#include "app/RecentFiles.h"

#include "app/MenuCommands.h"

#include <algorithm>
#include <charconv>

namespace veskar {

void RecentFiles::add(const OpenedFile& file)
{
    files_.erase(std::remove(files_.begin(), files_.end(), file), files_.end());
    files_.insert(files_.begin(), file);
    if (files_.size() > kLimit) files_.resize(kLimit);
}

std::vector<std::string> RecentFiles::save() const
{
    std::vector<std::string> lines;
    for (const OpenedFile& f : files_) lines.push_back(std::to_string(f.command) + "\t" + f.path);
    return lines;
}

void RecentFiles::load(const std::vector<std::string>& lines)
{
    files_.clear();
    for (const std::string& line : lines) {
        if (files_.size() == kLimit) break;
        const auto tab = line.find('\t');
        if (tab == std::string::npos || tab + 1 == line.size()) continue;
        std::uint32_t command = 0;
        const auto [end, error] = std::from_chars(line.data(), line.data() + tab, command);
        if (error != std::errc() || end != line.data() + tab || !takesFile(command)) continue;
        OpenedFile file{command, line.substr(tab + 1)};
        if (std::find(files_.begin(), files_.end(), file) == files_.end()) files_.push_back(std::move(file));
    }
}

std::string recentCaption(std::size_t index, const OpenedFile& file)
{
    // Appended piece by piece: GCC 12 sees a false overlap in the chained
    // operator+ of a short literal and a string.
    std::string caption(1, '&');
    caption.append(std::to_string(index + 1)).append(1, ' ').append(commandLabel(file.command)).append(": ");
    for (char c : file.path) {
        if (c == '&') caption.push_back('&');
        caption.push_back(c);
    }
    return caption;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return {};
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

} // namespace veskar
