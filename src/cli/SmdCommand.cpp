#include "cli/SmdCommand.h"

#include "cli/OrderedJobs.h"
#include "convert/FormatConverter.h"
#include "convert/OutputCollisions.h"
#include "convert/SmdExport.h"
#include "import/ConsoleLog.h"
#include "import/Diagnostic.h"
#include "system/Console.h"
#include "base/PrintableName.h"
#include "base/Utf8Path.h"

#include <cstdio>
#include <filesystem>

namespace veskar {

namespace {

struct SmdArguments {
    std::vector<std::string> files;
    std::string output;
    bool force = false;
};

// False after a usage message on standard error.
bool parseArguments(const std::vector<std::string>& args, SmdArguments& out)
{
    const auto usage = [](const std::string& what) {
        std::fprintf(stderr, "veskar-convert smd: %s\n", what.c_str());
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return usage("-o needs a file name");
            if (!out.output.empty()) return usage("-o is given twice");
            out.output = args[++i];
        } else if (a == "--force") {
            out.force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            out.files.push_back(a);
        }
    }
    if (out.files.empty()) return usage("give an mRef or mAni file");
    if (!out.output.empty() && out.files.size() > 1) return usage("-o names one file; give it one source");
    return true;
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(pathFromUtf8(path), ec));
}

struct Outcome {
    bool ok = false;
    std::string console;
    std::string errors;
};

Outcome exportOne(const PlannedOutput& plan, const std::string& refusal)
{
    Outcome outcome;
    if (!refusal.empty()) {
        outcome.errors = Diagnostic{plan.source, 0, refusal}.text() + "\n";
        return outcome;
    }
    ThreadConsole quiet(nullptr);
    Diagnostic diagnostic;
    const char* message = nullptr;
    outcome.ok = exportSmd(plan.source, plan.output, diagnostic, message);
    if (outcome.ok) outcome.console = "wrote " + printableName(plan.output) + "\n";
    else outcome.errors = (diagnostic.empty() ? printableName(plan.source) + ": failed" : refusalLines(diagnostic, message)) + "\n";
    return outcome;
}

} // namespace

int runSmdCommand(const std::vector<std::string>& args, unsigned jobs)
{
    SmdArguments parsed;
    if (!parseArguments(args, parsed)) return 2;

    std::vector<PlannedOutput> plans;
    for (const std::string& f : parsed.files) plans.push_back({f, parsed.output.empty() ? outputPathFor(f, "smd") : parsed.output});
    // Before anything is written: an SMD already there beside a converted
    // file is most likely the artist's own source, so it stays unless asked.
    std::vector<std::string> refusals = findOutputCollisions(plans);
    for (std::size_t i = 0; i < plans.size(); ++i)
        if (refusals[i].empty() && !parsed.force && exists(plans[i].output))
            refusals[i] = printableName(plans[i].output) + " already exists (perhaps the SMD this file was made from); it is replaced only with --force";

    int failures = 0;
    runInOrder(
        plans.size(), jobs, [&](std::size_t i) { return exportOne(plans[i], refusals[i]); },
        [&](std::size_t, const Outcome& o) {
            writeStandardOutput(o.console);
            std::fputs(o.errors.c_str(), stderr);
            std::fflush(stderr);
            failures += o.ok ? 0 : 1;
        });
    return failures ? 1 : 0;
}

} // namespace veskar
