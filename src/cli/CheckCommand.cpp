#include "cli/CheckCommand.h"

#include "cli/OrderedJobs.h"
#include "convert/EngineLimits.h"
#include "gltf/GltfImport.h"
#include "gltf/GltfLimits.h"
#include "import/ConsoleLog.h"
#include "system/Console.h"
#include "base/PrintableName.h"

#include <cstdio>

namespace veskar {

namespace {

struct CheckArguments {
    std::vector<std::string> files;
    EngineTarget target = EngineTarget::MRef;
};

// False after a usage message on standard error.
bool parseArguments(const std::vector<std::string>& args, CheckArguments& out)
{
    const auto usage = [](const std::string& what) {
        std::fprintf(stderr, "veskar-convert check: %s\n", what.c_str());
        return false;
    };
    bool targetGiven = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--target") {
            if (targetGiven) return usage("--target is given twice");
            if (i + 1 >= args.size() || !engineTargetFromName(args[i + 1], out.target)) return usage("--target needs goldsrc, source or mref");
            targetGiven = true;
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            out.files.push_back(a);
        }
    }
    if (out.files.empty()) return usage("give an SMD, mRef, mAni or glTF file");
    return true;
}

struct Outcome {
    bool clean = false;
    std::string lines;
    std::string errors;
};

Outcome checkOne(const std::string& path, EngineTarget target)
{
    ThreadConsole quiet(nullptr);
    const LimitCheck check = isGltfFile(path) ? checkGltfLimits(path, target, GltfConvertOptions{}) : checkEngineLimits(path, target);
    Outcome outcome;
    if (!check.read) {
        outcome.errors = (check.refusal.empty() ? printableName(path) + ": refused" : refusalLines(check.refusal, check.message)) + "\n";
        return outcome;
    }
    for (const std::string& finding : check.findings) outcome.lines += finding + "\n";
    outcome.clean = check.findings.empty();
    return outcome;
}

} // namespace

int runCheckCommand(const std::vector<std::string>& args, unsigned jobs)
{
    CheckArguments parsed;
    if (!parseArguments(args, parsed)) return 2;
    int failures = 0;
    runInOrder(
        parsed.files.size(), jobs, [&](std::size_t i) { return checkOne(parsed.files[i], parsed.target); },
        [&](std::size_t, const Outcome& o) {
            printFileLines(o.lines, o.errors);
            failures += o.clean ? 0 : 1;
        });
    return failures ? 1 : 0;
}

} // namespace veskar
