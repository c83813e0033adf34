#include "system/FileIdentity.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace veskar {

namespace {

std::atomic<bool> recording{false};
std::mutex usedMutex;
std::vector<FileIdentity> used;

} // namespace

void recordFileUse() { recording = true; }

void noteFileUse(const FileIdentity& identity)
{
    if (!recording) return;
    std::lock_guard<std::mutex> lock(usedMutex);
    if (std::find(used.begin(), used.end(), identity) == used.end()) used.push_back(identity);
}

bool wasFileUsed(const std::string& path)
{
    FileIdentity identity;
    if (!recording || !identifyFile(path, identity)) return false;
    std::lock_guard<std::mutex> lock(usedMutex);
    return std::find(used.begin(), used.end(), identity) != used.end();
}

} // namespace veskar
