#include "cli/ConvertTool.h"

#include "cli/CheckCommand.h"
#include "cli/GltfCommand.h"
#include "cli/InfoCommand.h"
#include "cli/SmdCommand.h"
#include "cli/OrderedJobs.h"
#include "convert/FormatConverter.h"
#include "convert/OutputCollisions.h"
#include "gltf/GltfConvert.h"
#include "gltf/GltfImport.h"
#include "import/ConsoleLog.h"
#include "system/Console.h"
#include "base/PrintableName.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <thread>

namespace veskar {

namespace {

const char* const kUsage =
    "usage: veskar-convert ref FILE...    convert SMD reference files to mRef (written beside each source)\n"
    "       veskar-convert ani FILE...    convert SMD animation files to mAni (written beside each source)\n"
    "       veskar-convert info FILE...   tell what SMD, mRef, mAni or glTF files hold (counts; no model is built)\n"
    "                                     ref, ani and info also take glTF 2.0 (.glb, .gltf): ref writes one\n"
    "                                     mRef of its skinned mesh, ani NAME_ANIMATION.mAni for each of its\n"
    "                                     animations. --scale S: lengths divided by S (default 1); --fps N:\n"
    "                                     animations sampled at N keys a second (default 30)\n"
    "       veskar-convert gltf REFERENCE [ANIMATION...] [-o OUT.glb] [--fps N] [--scale S]\n"
    "                                     a character to binary glTF 2.0 (.glb): the reference (SMD or mRef)\n"
    "                                     with its skin and textures, one animation per ANIMATION (SMD or\n"
    "                                     mAni, matched to the joints by name); several references and no\n"
    "                                     animation give one .glb beside each. -o NAME.gltf: the text form,\n"
    "                                     NAME.gltf with its buffer in NAME.bin. --fps N: key k plays at k / N\n"
    "                                     seconds (0.001 to 1000, default 30); --scale S: lengths times S\n"
    "                                     (at most 1000000, default 1; 0.0254 for inches to metres)\n"
    "       veskar-convert smd FILE... [-o OUT.smd] [--force] [--fps N] [--scale S]\n"
    "                                     back to SMD for editing: an mRef to an SMD reference, an mAni\n"
    "                                     to an SMD animation, a glTF to a reference and one animation\n"
    "                                     each (OUT_ANIMATION.smd); beside each source, or OUT.smd for\n"
    "                                     one file. Converting them again gives the same bytes. An\n"
    "                                     existing SMD is replaced only with --force\n"
    "       veskar-convert check [--target goldsrc|source|mref] FILE...\n"
    "                                     what the target's model compiler or engine will refuse or\n"
    "                                     silently change in SMD, mRef, mAni or glTF files, one line each as\n"
    "                                     FILE:LINE: what (default target: mref, this system's engine);\n"
    "                                     exit status 1 when anything is over a limit\n"
    "Options: -j N   convert up to N files at once (default: the number of cores)\n"
    "       veskar-convert --help\n"
    "\n"
    "Each file is handled on its own: a file that is refused is reported on standard\n"
    "error as FILE:LINE: what is wrong, and the next file is taken. Progress lines go\n"
    "to standard output. An existing output is replaced only once the new one is\n"
    "complete, and an interrupted run leaves no partial file. Before anything is\n"
    "written, a file whose output would be one of the sources or the output of a\n"
    "file before it is refused: a source file is never written.\n"
    "\n"
    "Exit status: 0 when every file succeeded, 1 when any failed, 2 for a usage error.\n";

// The diagnostic line and the system's own message; a file refused without
// a diagnostic is named as failed.
std::string failureText(const Diagnostic& diagnostic, const std::string& file, const char* message)
{
    return (diagnostic.empty() ? printableName(file) + ": failed" : refusalLines(diagnostic, message)) + "\n";
}

} // namespace

namespace {

// What one file's conversion printed, kept so that files done in parallel
// still show their lines together.
struct FileOutcome {
    bool ok = false;
    std::string console;
    std::string errors;
};

FileOutcome convertOne(const std::string& command, const std::string& path, const std::string& refusal)
{
    FileOutcome outcome;
    if (!refusal.empty()) {
        outcome.errors = Diagnostic{path, 0, refusal}.text() + "\n";
        return outcome;
    }
    RecordingConsole console;
    ThreadConsole threadConsole(&console);
    // Whatever a file needs beyond the memory there is refuses that file,
    // not the run: the next one is taken.
    try {
        FormatConverter converter;
        outcome.ok = command == "ref" ? converter.convertReference(path) : converter.convertAnimation(path);
        outcome.console = std::move(console.text);
        if (outcome.ok) {
            outcome.console += "wrote " + printableName(converter.outputPath) + "\n";
            if (!converter.materialWarning.empty()) outcome.errors = converter.materialWarning + "\n";
        } else {
            outcome.errors = failureText(converter.diagnostic, path, converter.refusalMessage);
        }
    } catch (const std::bad_alloc&) {
        outcome.ok = false;
        outcome.console = std::move(console.text);
        outcome.errors = Diagnostic{path, 0, "not enough memory to convert the file"}.text() + "\n";
    }
    return outcome;
}

FileOutcome convertGltfOne(const std::string& command, const std::string& path, const GltfPlan& plan, const std::vector<std::string>& collisions,
                           const GltfConvertOptions& options)
{
    FileOutcome outcome;
    RecordingConsole console;
    {
        ThreadConsole threadConsole(&console);
        outcome.ok = convertGltf(command, path, options, plan, collisions, outcome.errors);
    }
    outcome.console = std::move(console.text);
    return outcome;
}

// Converts the files on up to `jobs` threads and prints each file's lines, in
// the order the files were given, as soon as that file and those before it
// are done. Returns the number of failures.
int convertAll(const std::string& command, const std::vector<std::string>& files, unsigned jobs, const GltfConvertOptions& gltfOptions)
{
    // Every output is weighed against every source and every other output
    // before the first file is converted. A glTF source may write several
    // (an mAni an animation), and its .bin and image files are sources too.
    std::vector<PlannedOutput> plans;
    std::vector<std::string> otherSources;
    std::vector<std::optional<GltfPlan>> gltf(files.size());
    std::vector<std::size_t> firstPlan;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string& f = files[i];
        firstPlan.push_back(plans.size());
        if (!isGltfFile(f)) {
            plans.push_back({f, outputPathFor(f, command == "ref" ? "mRef" : "mAni")});
            continue;
        }
        gltf[i] = planGltfConversion(f, command == "ani");
        for (const std::string& output : gltf[i]->outputs) plans.push_back({f, output});
        otherSources.insert(otherSources.end(), gltf[i]->sources.begin(), gltf[i]->sources.end());
    }
    firstPlan.push_back(plans.size());
    const std::vector<std::string> refusals = findOutputCollisions(plans, otherSources);
    const auto convert = [&](std::size_t i) {
        const auto first = refusals.begin() + static_cast<std::ptrdiff_t>(firstPlan[i]);
        const auto end = refusals.begin() + static_cast<std::ptrdiff_t>(firstPlan[i + 1]);
        if (gltf[i]) return convertGltfOne(command, files[i], *gltf[i], std::vector<std::string>(first, end), gltfOptions);
        return convertOne(command, files[i], *first);
    };
    int failures = 0;
    runInOrder(
        files.size(), jobs, convert,
        [&](std::size_t, const FileOutcome& o) {
            printFileLines(o.console, o.errors);
            failures += o.ok ? 0 : 1;
        });
    return failures;
}

} // namespace

namespace {

// --scale S and --fps N, for glTF sources, out of the file list; false after
// a usage message.
bool takeGltfOptions(const std::vector<std::string>& rest, std::vector<std::string>& files, GltfConvertOptions& options)
{
    for (std::size_t i = 1; i < rest.size(); ++i) {
        const std::string& a = rest[i];
        if (a != "--scale" && a != "--fps") {
            files.push_back(a);
            continue;
        }
        const std::string value = i + 1 < rest.size() ? rest[++i] : std::string();
        char* end = nullptr;
        const double number = std::strtod(value.c_str(), &end);
        const double limit = a == "--fps" ? 1000.0 : 1e6;
        if (value.empty() || *end || !std::isfinite(number) || number <= 0 || number > limit || !(static_cast<float>(number) > 0)) {
            std::fprintf(stderr, "veskar-convert: %s needs a number above 0 and at most %g\n", a.c_str(), limit);
            return false;
        }
        if (a == "--fps") options.fps = number;
        else options.scale = static_cast<float>(number);
    }
    return true;
}

int runCommand(const std::vector<std::string>& args)
{
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        writeStandardOutput(kUsage);
        return 0;
    }
    unsigned jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "-j" || args[i].rfind("-j", 0) == 0) {
            const std::string value = args[i] == "-j" ? (i + 1 < args.size() ? args[++i] : "") : args[i].substr(2);
            char* end = nullptr;
            const long n = std::strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || n < 1 || n > 1024) {
                std::fprintf(stderr, "veskar-convert: -j needs a number of jobs from 1 to 1024\n");
                return 2;
            }
            jobs = static_cast<unsigned>(n);
            continue;
        }
        rest.push_back(args[i]);
    }
    if (!rest.empty() && rest[0] == "gltf") return runGltfCommand({rest.begin() + 1, rest.end()}, jobs);
    if (!rest.empty() && rest[0] == "smd") return runSmdCommand({rest.begin() + 1, rest.end()}, jobs);
    if (!rest.empty() && rest[0] == "check") return runCheckCommand({rest.begin() + 1, rest.end()}, jobs);
    if (rest.size() < 2 || (rest[0] != "ref" && rest[0] != "ani" && rest[0] != "info")) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& command = rest[0];
    std::vector<std::string> files;
    GltfConvertOptions gltfOptions;
    if (!takeGltfOptions(rest, files, gltfOptions)) return 2;
    if (files.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (command != "info") return convertAll(command, files, jobs, gltfOptions) ? 1 : 0;

    ThreadConsole quiet(nullptr);
    int failures = 0;
    for (const std::string& path : files) {
        Diagnostic diagnostic;
        const char* message = nullptr;
        std::string text, errors;
        bool ok = false;
        try {
            if (isGltfFile(path)) {
                ok = describeGltf(path, gltfOptions, text, errors);
                std::fputs(text.c_str(), stdout);
            } else {
                ok = describeModelFile(path, diagnostic, message);
                if (!ok) errors = failureText(diagnostic, path, message);
            }
        } catch (const std::bad_alloc&) {
            ok = false;
            errors = failureText({path, 0, "not enough memory to read the file"}, path, nullptr);
        }
        printFileLines({}, errors);
        failures += ok ? 0 : 1;
    }
    return failures ? 1 : 0;
}

} // namespace

int runConvertTool(const std::vector<std::string>& args)
{
    const int status = runCommand(args);
    // Lines lost on the way out (a full disk, a closed pipe) are a failure, as
    // for any tool whose output is read.
    std::string reason;
    if (!standardOutputIntact(reason)) {
        std::fprintf(stderr, "veskar-convert: cannot write standard output: %s\n", reason.c_str());
        return status == 2 ? 2 : 1;
    }
    return status;
}

} // namespace veskar
