#pragma once
// The files menu commands were given, with the command that took each: the
// order they were opened in (for reloading them all) and the last few,
// newest first, kept between runs (File > Recent).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace veskar {

struct OpenedFile {
    std::uint32_t command = 0;
    std::string path;
    bool operator==(const OpenedFile&) const = default;
};

class RecentFiles {
public:
    static constexpr std::size_t kLimit = 8;

    // To the front; the same file with the same command leaves its old place,
    // and the oldest goes once there are more than kLimit.
    void add(const OpenedFile& file);
    const std::vector<OpenedFile>& files() const { return files_; }

    // One line a file, "COMMAND<TAB>PATH", as the settings keep them.
    std::vector<std::string> save() const;
    // Lines from save(); lines that are malformed or name a command that
    // takes no file are skipped, and no more than kLimit are taken.
    void load(const std::vector<std::string>& lines);

private:
    std::vector<OpenedFile> files_;
};

// The menu caption of the index-th recent file (from 0): a mnemonic digit,
// the command and the path, with '&' in the path doubled so it shows as
// written, e.g. "&1 Open > Kovr1 > mRef: /data/hero.mRef".
std::string recentCaption(std::size_t index, const OpenedFile& file);

// The folder part of a path, without its last separator; empty for a bare
// file name.
std::string folderOf(const std::string& path);

} // namespace veskar
