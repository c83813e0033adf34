#include "cli/ConvertTool.h"

#include "cli/GltfCommand.h"
#include "cli/OrderedJobs.h"
#include "mref/EngineRecords.h"
#include "convert/FormatConverter.h"
#include "convert/ModelFileKind.h"
#include "convert/OutputCollisions.h"
#include "import/ConsoleLog.h"
#include "import/SmdSections.h"
#include "system/Console.h"
#include "base/PrintableName.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

namespace veskar {

namespace {

const char* const kUsage =
    "usage: veskar-convert ref FILE...    convert SMD reference files to mRef (written beside each source)\n"
    "       veskar-convert ani FILE...    convert SMD animation files to mAni (written beside each source)\n"
    "       veskar-convert info FILE...   tell what SMD, mRef or mAni files hold\n"
    "       veskar-convert gltf REFERENCE [ANIMATION...] [-o OUT.glb] [--fps N] [--scale S]\n"
    "                                     a character to binary glTF 2.0 (.glb): the reference (SMD or mRef)\n"
    "                                     with its skin and textures, one animation per ANIMATION (SMD or\n"
    "                                     mAni, matched to the joints by name); several references and no\n"
    "                                     animation give one .glb beside each. -o NAME.gltf: the text form,\n"
    "                                     NAME.gltf with its buffer in NAME.bin. --fps N: key k plays at k / N\n"
    "                                     seconds (default 30); --scale S: lengths times S (default 1;\n"
    "                                     0.0254 for inches to metres)\n"
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

// Files are looked into through their lines, never held whole: a file of
// one endless line is refused as the readers refuse it.
bool infoOne(const std::string& path, Diagnostic& diagnostic, const char*& message)
{
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(path, reason)) {
        diagnostic = {path, 0, "cannot open: " + reason};
        return false;
    }
    const ModelFileKind kind = guessModelFileKind(cursor);
    if (!cursor.failure().empty()) {
        diagnostic = {path, cursor.lineNumber(), cursor.failure()};
        return false;
    }
    const std::string name = printableName(path);
    switch (kind) {
    case ModelFileKind::Unknown:
        diagnostic = {path, 1, "not an SMD, mRef or mAni file (the first line is not \"version 1\")"};
        return false;
    case ModelFileKind::SmdReference: {
        FormatConverter converter;
        converter.smdModel = std::make_unique<SmdModelRecords>();
        SmdModelRecords& model = *converter.smdModel;
        if (const SmdReadResult r = model.readReferenceFile(path); r != kSmdRead) {
            diagnostic = model.diagnostic;
            message = smdRefusalMessage(r, true);
            return false;
        }
        converter.weldVertices();
        std::printf("%s: SMD reference\n  nodes %d, frames %d, triangles %d, materials %d\n", name.c_str(), model.nodeCount, model.frameCount,
                    model.triangleCount, model.materialCount);
        for (const std::string& material : model.materialNames) std::printf("    material %s\n", printableName(material).c_str());
        std::printf("  vertices %d before welding, %d after\n", model.triangleCount * 3, converter.weldedCount);
        return true;
    }
    case ModelFileKind::SmdAnimation: {
        SmdModelRecords model;
        if (const SmdReadResult r = model.readAnimationFile(path); r != kSmdRead) {
            diagnostic = model.diagnostic;
            message = smdRefusalMessage(r, false);
            return false;
        }
        std::printf("%s: SMD animation\n  nodes %d, frames %d\n", name.c_str(), model.nodeCount, model.frameCount);
        return true;
    }
    case ModelFileKind::MRef: {
        EngineModelRecords model;
        if (const EngineReadResult r = model.readReferenceFile(path); r != kEngineRead) {
            diagnostic = model.diagnostic;
            message = engineRefusalMessage(r, true);
            return false;
        }
        const EngineMesh& mesh = model.meshes[0];
        std::printf("%s: mRef\n  nodes %d, vertices %d, triangles %d, texture %s\n", name.c_str(), model.nodeCount, model.vertexCount,
                    model.triangleCount, printableName(model.textureName).c_str());
        std::printf("  root bone %s, hand bone %s\n",
                    mesh.rootBone >= 0 ? printableName(mesh.nodes[static_cast<std::size_t>(mesh.rootBone)].name).c_str() : "(none)",
                    mesh.handBone >= 0 ? printableName(mesh.nodes[static_cast<std::size_t>(mesh.handBone)].name).c_str() : "(none)");
        return true;
    }
    case ModelFileKind::MAni: {
        // An mAni is read onto a model with its node count; take it from the file.
        std::string_view line;
        cursor.rewind();
        cursor.next(line);
        cursor.next(line);
        cursor.next(line);
        FieldScanner scan(line);
        std::string_view word;
        std::int32_t nodes = 0;
        scan.readWord(word);
        scan.readInt(nodes);
        EngineModelRecords model;
        model.nodeCount = nodes;
        if (const EngineReadResult r = model.readAnimationFile(path); r != kEngineRead) {
            diagnostic = model.diagnostic;
            message = engineRefusalMessage(r, false);
            return false;
        }
        std::printf("%s: mAni\n  nodes %d, frames %d\n", name.c_str(), model.animations[0].nodeCount, model.animations[0].frameCount);
        return true;
    }
    }
    return false;
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
    FormatConverter converter;
    outcome.ok = command == "ref" ? converter.convertReference(path) : converter.convertAnimation(path);
    outcome.console = std::move(console.text);
    if (outcome.ok) {
        outcome.console += "wrote " + printableName(converter.outputPath) + "\n";
        if (!converter.materialWarning.empty()) outcome.errors = converter.materialWarning + "\n";
    } else {
        outcome.errors = failureText(converter.diagnostic, path, converter.refusalMessage);
    }
    return outcome;
}

void printOutcome(const FileOutcome& outcome)
{
    writeStandardOutput(outcome.console);
    std::fputs(outcome.errors.c_str(), stderr);
    std::fflush(stderr);
}

// Converts the files on up to `jobs` threads and prints each file's lines, in
// the order the files were given, as soon as that file and those before it
// are done. Returns the number of failures.
int convertAll(const std::string& command, const std::vector<std::string>& files, unsigned jobs)
{
    // Every output is weighed against every source and every other output
    // before the first file is converted.
    std::vector<PlannedOutput> plans;
    for (const std::string& f : files) plans.push_back({f, outputPathFor(f, command == "ref" ? "mRef" : "mAni")});
    const std::vector<std::string> refusals = findOutputCollisions(plans);
    int failures = 0;
    runInOrder(
        files.size(), jobs, [&](std::size_t i) { return convertOne(command, files[i], refusals[i]); },
        [&](std::size_t, const FileOutcome& o) {
            printOutcome(o);
            failures += o.ok ? 0 : 1;
        });
    return failures;
}

} // namespace

namespace {

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
    if (rest.size() < 2 || (rest[0] != "ref" && rest[0] != "ani" && rest[0] != "info")) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const std::string& command = rest[0];
    const std::vector<std::string> files(rest.begin() + 1, rest.end());
    if (command != "info") return convertAll(command, files, jobs) ? 1 : 0;

    ThreadConsole quiet(nullptr);
    int failures = 0;
    for (const std::string& path : files) {
        Diagnostic diagnostic;
        const char* message = nullptr;
        const bool ok = infoOne(path, diagnostic, message);
        writeStandardOutput({});
        if (!ok) {
            ++failures;
            std::fputs(failureText(diagnostic, path, message).c_str(), stderr);
            std::fflush(stderr);
        }
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
