#pragma once
// Before a run writes anything, its outputs are checked against its sources
// and against each other: two sources with one output would leave whichever
// was written last, and an output that is a source would replace it.

#include <string>
#include <vector>

namespace veskar {

struct PlannedOutput {
    std::string source;  // a file the run reads
    std::string output;  // the file the run writes from it
};

// One entry a plan: empty when its output may be written, or why not, naming
// the other file. An output is refused when it is a source of the run (its
// own included, and otherSources: files the run reads besides the plans'
// sources) or the output of an earlier plan. Where a file exists it is
// known by its identity (hard and symbolic links, "..", case-folding file
// systems); a name that does not exist yet is known by its folder and its
// name with ASCII letters in either case, since a file system that ignores
// case makes one file of a.mRef and A.mRef.
std::vector<std::string> findOutputCollisions(const std::vector<PlannedOutput>& plans, const std::vector<std::string>& otherSources = {});

} // namespace veskar
