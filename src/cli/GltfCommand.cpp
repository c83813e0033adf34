#include "cli/GltfCommand.h"

#include "cli/OrderedJobs.h"
#include "gltf/GltfExport.h"
#include "gltf/GltfTextForm.h"
#include "gltf/GltfTextureFiles.h"
#include "convert/ModelFileKind.h"
#include "convert/OutputCollisions.h"
#include "import/ConsoleLog.h"
#include "import/Diagnostic.h"
#include "import/LineCursor.h"
#include "system/Console.h"
#include "base/PrintableName.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace veskar {

namespace {

struct GltfArguments {
    std::vector<std::string> files;
    std::string output;
    GltfExportOptions options;
};

constexpr double kLeastFps = 0.001;

bool parsePositive(const std::string& text, double limit, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value) && value > 0 && value <= limit;
}

// False after a usage message on standard error.
bool parseArguments(const std::vector<std::string>& args, GltfArguments& out)
{
    const auto usage = [](const std::string& what) {
        std::fprintf(stderr, "veskar-convert gltf: %s\n", what.c_str());
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "-o" || a == "--fps" || a == "--scale";
        if (takesValue && i + 1 >= args.size()) return usage(a + " needs a value");
        if (a == "-o") {
            if (!out.output.empty()) return usage("-o is given twice");
            out.output = args[++i];
            if (out.output.empty()) return usage("-o needs a file name");
        } else if (a == "--fps") {
            // Key k plays at k / fps seconds: from a thousandth of a key a
            // second, the last key of any file is still a finite float.
            if (!parsePositive(args[++i], 1000.0, out.options.fps) || out.options.fps < kLeastFps)
                return usage("--fps needs a number from 0.001 to 1000");
        } else if (a == "--scale") {
            double scale = 0;
            if (!parsePositive(args[++i], 1e6, scale) || !std::isfinite(static_cast<float>(scale)) || static_cast<float>(scale) <= 0.0f)
                return usage("--scale needs a number above 0 and at most 1000000");
            out.options.scale = static_cast<float>(scale);
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            out.files.push_back(a);
        }
    }
    if (out.files.empty()) return usage("give a reference file");
    return true;
}

// Several references and no animation make one job each; otherwise the
// first file is the reference and the others its animations. A file after
// the first that is no whole reference (one cut short, one with nodes and no
// frames, one that cannot be read) is an animation that will be refused as
// itself, not a second reference.
bool onlyReferences(const std::vector<std::string>& files)
{
    for (std::size_t i = 1; i < files.size(); ++i) {
        LineCursor cursor;
        std::string reason;
        try {
            if (!cursor.openFile(files[i], reason) || !isWholeReference(cursor)) return false;
        } catch (const std::bad_alloc&) {
            return false;  // read again as an animation, and refused as one when memory is still short
        }
    }
    return files.size() > 1;
}

struct JobResult {
    GltfExportOutcome outcome;
    std::string console;
};

JobResult runJob(const GltfExportJob& job)
{
    JobResult result;
    RecordingConsole console;
    {
        ThreadConsole threadConsole(&console);
        // The export refuses each file that runs out of memory itself; what
        // is left (its own tables) refuses the reference, not the run.
        try {
            result.outcome = exportGltf(job);
        } catch (const std::bad_alloc&) {
            result.outcome = {};
            result.outcome.refusals.push_back(Diagnostic{job.reference, 0, "not enough memory to export the file"}.text());
        }
    }
    result.console = std::move(console.text);
    if (result.outcome.written) {
        // In the order they were put in place: the .bin before the .gltf that names it.
        if (!result.outcome.bufferPath.empty()) result.console += "wrote " + printableName(result.outcome.bufferPath) + "\n";
        result.console += "wrote " + printableName(result.outcome.outputPath) + "\n";
    }
    return result;
}

bool report(const JobResult& result)
{
    writeStandardOutput(result.console);
    for (const std::string& note : result.outcome.notes) std::fprintf(stderr, "%s\n", note.c_str());
    for (const std::string& refusal : result.outcome.refusals) std::fprintf(stderr, "%s\n", refusal.c_str());
    std::fflush(stderr);
    return result.outcome.written && result.outcome.refusals.empty();
}


} // namespace

int runGltfCommand(const std::vector<std::string>& args, unsigned jobs)
{
    GltfArguments parsed;
    if (!parseArguments(args, parsed)) return 2;

    std::vector<GltfExportJob> exports;
    if (onlyReferences(parsed.files)) {
        if (!parsed.output.empty()) {
            std::fprintf(stderr, "veskar-convert gltf: -o names one file; give it one reference (with its animations)\n");
            return 2;
        }
        for (const std::string& f : parsed.files) exports.push_back({f, {}, {}, parsed.options});
    } else {
        exports.push_back({parsed.files[0], {parsed.files.begin() + 1, parsed.files.end()}, parsed.output, parsed.options});
    }

    // Before anything is written, every output is weighed against every file
    // the run reads (references, animations, the textures the references
    // name) and every other output: two references of one name (hero.smd,
    // hero.mRef) would write one file twice, and the first keeps it. A .gltf
    // output writes its .bin too: two outputs of the same job.
    std::vector<PlannedOutput> plans;
    std::vector<std::size_t> jobOfPlan;
    std::vector<std::string> otherSources;
    // A reference whose materials cannot be read for want of memory would be
    // read for want of it again: it is refused, and its output never planned.
    std::vector<bool> noMemory(exports.size(), false);
    for (std::size_t i = 0; i < exports.size(); ++i) {
        const GltfExportJob& e = exports[i];
        const std::string output = e.output.empty() ? defaultGltfOutput(e.reference) : e.output;
        plans.push_back({e.reference, output});
        jobOfPlan.push_back(i);
        if (isGltfTextOutput(output)) {
            plans.push_back({e.reference, gltfBufferPath(output)});
            jobOfPlan.push_back(i);
        }
        otherSources.insert(otherSources.end(), e.animations.begin(), e.animations.end());
        try {
            const std::vector<std::string> textures = gltfTextureFiles(e.reference);
            otherSources.insert(otherSources.end(), textures.begin(), textures.end());
        } catch (const std::bad_alloc&) {
            noMemory[i] = true;
        }
    }
    const std::vector<std::string> planCollisions = findOutputCollisions(plans, otherSources);
    std::vector<std::string> collisions(exports.size());
    for (std::size_t p = 0; p < plans.size(); ++p)
        if (collisions[jobOfPlan[p]].empty()) collisions[jobOfPlan[p]] = planCollisions[p];
    for (std::size_t i = 0; i < exports.size(); ++i)
        if (noMemory[i]) collisions[i] = "not enough memory to read the file";

    int failures = 0;
    runInOrder(
        exports.size(), jobs,
        [&](std::size_t i) {
            if (collisions[i].empty()) return runJob(exports[i]);
            JobResult r;
            r.outcome.refusals.push_back(Diagnostic{exports[i].reference, 0, collisions[i]}.text());
            return r;
        },
        [&](std::size_t, const JobResult& r) { failures += report(r) ? 0 : 1; });
    return failures ? 1 : 0;
}

} // namespace veskar
