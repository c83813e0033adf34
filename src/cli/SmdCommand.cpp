#include "cli/SmdCommand.h"

#include "cli/OrderedJobs.h"
#include "convert/FormatConverter.h"
#include "convert/OutputCollisions.h"
#include "convert/SmdExport.h"
#include "gltf/GltfImport.h"
#include "gltf/GltfSmd.h"
#include "import/ConsoleLog.h"
#include "import/Diagnostic.h"
#include "system/Console.h"
#include "base/PrintableName.h"
#include "base/Utf8Path.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

namespace veskar {

namespace {

struct SmdArguments {
    std::vector<std::string> files;
    std::string output;
    bool force = false;
    GltfConvertOptions gltf;
};

bool parsePositive(const std::string& text, double limit, double& value)
{
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && *end == '\0' && std::isfinite(value) && value > 0 && value <= limit;
}

// False after a usage message on standard error.
bool parseArguments(const std::vector<std::string>& args, SmdArguments& out)
{
    const auto usage = [](const std::string& what) {
        std::fprintf(stderr, "veskar-convert smd: %s\n", what.c_str());
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool takesValue = a == "-o" || a == "--fps" || a == "--scale";
        if (takesValue && (i + 1 >= args.size() || args[i + 1].empty())) return usage(a + " needs a value");
        double value = 0;
        if (a == "-o") {
            if (!out.output.empty()) return usage("-o is given twice");
            out.output = args[++i];
        } else if (a == "--fps") {
            if (!parsePositive(args[++i], 1000.0, out.gltf.fps)) return usage("--fps needs a number above 0 and at most 1000");
        } else if (a == "--scale") {
            if (!parsePositive(args[++i], 1e6, value) || static_cast<float>(value) <= 0.0f) return usage("--scale needs a number above 0 and at most 1000000");
            out.gltf.scale = static_cast<float>(value);
        } else if (a == "--force") {
            out.force = true;
        } else if (a.size() > 1 && a[0] == '-') {
            return usage("unknown option " + a);
        } else {
            out.files.push_back(a);
        }
    }
    if (out.files.empty()) return usage("give an mRef, mAni or glTF file");
    if (!out.output.empty() && out.files.size() > 1) return usage("-o names one file; give it one source");
    return true;
}

bool exists(const std::string& path)
{
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(pathFromUtf8(path), ec));
}

// One source: its outputs (a glTF's reference first, then its animations)
// and what stops each being written, found before anything is.
struct SourcePlan {
    std::string source;
    std::optional<GltfSmdPlan> gltf;
    std::vector<std::string> outputs;
    std::vector<std::string> refusals;
};

std::vector<SourcePlan> planAll(const SmdArguments& parsed)
{
    std::vector<SourcePlan> sources;
    std::vector<PlannedOutput> plans;
    std::vector<std::string> otherSources;
    for (const std::string& f : parsed.files) {
        SourcePlan& s = sources.emplace_back();
        s.source = f;
        if (isGltfFile(f)) {
            s.gltf = planGltfSmd(f, parsed.output);
            s.outputs = s.gltf->outputs;
            otherSources.insert(otherSources.end(), s.gltf->sources.begin(), s.gltf->sources.end());
        } else {
            s.outputs.push_back(parsed.output.empty() ? outputPathFor(f, "smd") : parsed.output);
        }
        for (const std::string& output : s.outputs) plans.push_back({f, output});
    }
    const std::vector<std::string> collisions = findOutputCollisions(plans, otherSources);
    std::size_t at = 0;
    for (SourcePlan& s : sources) {
        for (const std::string& output : s.outputs) {
            std::string refusal = collisions[at++];
            // An SMD already there beside a converted file is most likely the
            // artist's own source: it stays unless asked.
            if (refusal.empty() && !parsed.force && exists(output))
                refusal = printableName(output) + " already exists (perhaps the SMD this file was made from); it is replaced only with --force";
            s.refusals.push_back(std::move(refusal));
        }
    }
    return sources;
}

struct Outcome {
    bool ok = false;
    std::string console;
    std::string errors;
};

Outcome exportOne(const SourcePlan& plan, const GltfConvertOptions& options)
{
    Outcome outcome;
    ThreadConsole quiet(nullptr);
    if (plan.gltf) {
        outcome.ok = exportGltfSmd(plan.source, options, *plan.gltf, plan.refusals, outcome.console, outcome.errors);
        return outcome;
    }
    if (!plan.refusals[0].empty()) {
        outcome.errors = Diagnostic{plan.source, 0, plan.refusals[0]}.text() + "\n";
        return outcome;
    }
    Diagnostic diagnostic;
    const char* message = nullptr;
    outcome.ok = exportSmd(plan.source, plan.outputs[0], diagnostic, message);
    if (outcome.ok) outcome.console = "wrote " + printableName(plan.outputs[0]) + "\n";
    else outcome.errors = (diagnostic.empty() ? printableName(plan.source) + ": failed" : refusalLines(diagnostic, message)) + "\n";
    return outcome;
}

} // namespace

int runSmdCommand(const std::vector<std::string>& args, unsigned jobs)
{
    SmdArguments parsed;
    if (!parseArguments(args, parsed)) return 2;
    const std::vector<SourcePlan> plans = planAll(parsed);
    int failures = 0;
    runInOrder(
        plans.size(), jobs, [&](std::size_t i) { return exportOne(plans[i], parsed.gltf); },
        [&](std::size_t, const Outcome& o) {
            printFileLines(o.console, o.errors);
            failures += o.ok ? 0 : 1;
        });
    return failures ? 1 : 0;
}

} // namespace veskar
