#include "convert/OutputCollisions.h"

#include "system/FileIdentity.h"
#include "base/PrintableName.h"

#include <filesystem>
#include <map>
#include <system_error>
#include <utility>

namespace veskar {

namespace {

namespace fs = std::filesystem;

// Where a path leads: the identity of the file there, or, when there is
// none, its folder (by identity when the folder exists) and its name folded.
struct Place {
    bool exists = false;
    FileIdentity identity;
    std::pair<std::string, std::string> name;
};

Place placeOf(const std::string& path)
{
    Place place;
    place.exists = identifyFile(path, place.identity);
    if (place.exists) return place;
    const fs::path p(path);
    fs::path folder = p.parent_path();
    if (folder.empty()) folder = ".";
    FileIdentity folderIdentity;
    if (identifyFile(folder.string(), folderIdentity)) {
        place.name.first = std::to_string(folderIdentity.volume) + ":" + std::to_string(folderIdentity.file);
    } else {
        std::error_code ec;
        place.name.first = fs::absolute(folder, ec).lexically_normal().string();
    }
    std::string file = p.filename().string();
    for (char& c : file)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    place.name.second = std::move(file);
    return place;
}

struct IdentityOrder {
    bool operator()(const FileIdentity& a, const FileIdentity& b) const
    {
        return a.volume != b.volume ? a.volume < b.volume : a.file < b.file;
    }
};

// The first of the places added that is the same file as a place.
class PlaceIndex {
public:
    void add(const Place& place, std::size_t index)
    {
        if (place.exists) byIdentity_.emplace(place.identity, index);
        else byName_.emplace(place.name, index);
    }
    // A file that exists is never the same as a name that does not.
    const std::size_t* find(const Place& place) const
    {
        if (place.exists) {
            const auto found = byIdentity_.find(place.identity);
            return found == byIdentity_.end() ? nullptr : &found->second;
        }
        const auto found = byName_.find(place.name);
        return found == byName_.end() ? nullptr : &found->second;
    }

private:
    std::map<FileIdentity, std::size_t, IdentityOrder> byIdentity_;
    std::map<std::pair<std::string, std::string>, std::size_t> byName_;
};

} // namespace

std::vector<std::string> findOutputCollisions(const std::vector<PlannedOutput>& plans, const std::vector<std::string>& otherSources)
{
    std::vector<std::string> refusals(plans.size());
    // Sources are numbered plans first, then the others.
    const auto sourceName = [&](std::size_t i) { return i < plans.size() ? plans[i].source : otherSources[i - plans.size()]; };
    PlaceIndex sources, outputs;
    for (std::size_t i = 0; i < plans.size(); ++i) sources.add(placeOf(plans[i].source), i);
    for (std::size_t i = 0; i < otherSources.size(); ++i) sources.add(placeOf(otherSources[i]), plans.size() + i);
    for (std::size_t i = 0; i < plans.size(); ++i) {
        const Place output = placeOf(plans[i].output);
        const std::string name = printableName(plans[i].output);
        // The source itself first: a file given twice is still its own source.
        if (const Place own = placeOf(plans[i].source); (own.exists && output.exists && own.identity == output.identity) ||
                                                       (!own.exists && !output.exists && own.name == output.name)) {
            refusals[i] = "the output " + name + " would overwrite the source file";
        } else if (const std::size_t* source = sources.find(output)) {
            refusals[i] = "the output " + name + " would overwrite " + printableName(sourceName(*source)) + ", a source of this run";
        } else if (const std::size_t* earlier = outputs.find(output)) {
            refusals[i] = "the output " + name + " is also the output of " + printableName(plans[*earlier].source) + ", given before";
        }
        // A refused output is still the name the user meant: later ones that
        // meet it are refused too rather than taking it.
        if (!outputs.find(output)) outputs.add(output, i);
    }
    return refusals;
}

} // namespace veskar
