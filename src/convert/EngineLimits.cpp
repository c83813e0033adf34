#include "convert/EngineLimits.h"

#include "convert/FormatConverter.h"
#include "convert/LimitChecker.h"
#include "convert/ModelFileKind.h"
#include "convert/ModelLineScan.h"
#include "mref/EngineRecords.h"
#include "import/LineCursor.h"
#include "import/TextScan.h"

#include <memory>

namespace veskar {

namespace {

void refuse(LimitCheck& check, const Diagnostic& diagnostic, const char* message)
{
    check.refusal = diagnostic;
    check.message = message;
}

void checkSmdReference(const std::string& path, LineCursor& cursor, const EngineLimitTable& limits, LimitCheck& check)
{
    FormatConverter converter;
    converter.smdModel = std::make_unique<SmdModelRecords>();
    if (converter.readWelded(path) != kSmdRead) return refuse(check, converter.diagnostic, converter.refusalMessage);
    LimitChecker checker(limits, path, converter.smdModel->meshes[0].nodes, &converter.welder);
    scanSmdReference(cursor, converter.triangles, checker);
    check.findings = checker.finish();
    check.read = true;
}

void checkSmdAnimation(const std::string& path, LineCursor& cursor, const EngineLimitTable& limits, LimitCheck& check)
{
    SmdModelRecords model;
    AnimationKeys keys;
    if (const SmdReadResult r = model.readAnimationKeysFile(path, keys); r != kSmdRead) return refuse(check, model.diagnostic, smdRefusalMessage(r, false));
    std::vector<SkeletonNode> nodes(keys.names.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        nodes[i].name = keys.names[i];
        nodes[i].parent = keys.parents[i];
    }
    LimitChecker checker(limits, path, nodes, nullptr);
    scanSmdAnimation(cursor, checker);
    check.findings = checker.finish();
    check.read = true;
}

void checkMRef(const std::string& path, LineCursor& cursor, const EngineLimitTable& limits, LimitCheck& check)
{
    EngineModelRecords model;
    model.prepareForDrawing = false;
    if (const EngineReadResult r = model.readReferenceFile(path); r != kEngineRead) return refuse(check, model.diagnostic, engineRefusalMessage(r, true));
    const EngineMesh& mesh = model.meshes[0];
    LimitChecker checker(limits, path, mesh.nodes, nullptr);
    scanMRef(cursor, mesh, model.textureName, checker);
    check.findings = checker.finish();
    check.read = true;
}

void checkMAni(const std::string& path, LineCursor& cursor, const EngineLimitTable& limits, LimitCheck& check)
{
    // The node count is on the third line; the file is read onto a model of that many.
    std::string_view line;
    for (int i = 0; i < 3 && cursor.next(line); ++i) {
    }
    FieldScanner scan(line);
    std::string_view word;
    EngineModelRecords model;
    if (!scan.readWord(word) || scan.readInt(model.nodeCount) != ScanStatus::Ok) model.nodeCount = 0;
    if (const EngineReadResult r = model.readAnimationFile(path); r != kEngineRead) return refuse(check, model.diagnostic, engineRefusalMessage(r, false));
    const EngineAnimation& animation = model.animations[0];
    LimitChecker checker(limits, path, animation.frame(0), nullptr);
    scanMAni(cursor, animation.nodeCount, checker);
    check.findings = checker.finish();
    check.read = true;
}

} // namespace

bool engineTargetFromName(std::string_view name, EngineTarget& target)
{
    if (name == "goldsrc") target = EngineTarget::GoldSrc;
    else if (name == "source") target = EngineTarget::Source;
    else if (name == "mref") target = EngineTarget::MRef;
    else return false;
    return true;
}

LimitCheck checkEngineLimits(const std::string& path, EngineTarget target)
{
    LimitCheck check;
    LineCursor cursor;
    std::string reason;
    if (!cursor.openFile(path, reason)) {
        refuse(check, {path, 0, "cannot open: " + reason}, nullptr);
        return check;
    }
    const ModelFileKind kind = guessModelFileKind(cursor);
    if (!cursor.failure().empty() || !cursor.rewind()) {
        refuse(check, {path, cursor.lineNumber(), cursor.failure()}, nullptr);
        return check;
    }
    const EngineLimitTable& limits = engineLimitTable(target);
    switch (kind) {
    case ModelFileKind::SmdReference: checkSmdReference(path, cursor, limits, check); break;
    case ModelFileKind::SmdAnimation: checkSmdAnimation(path, cursor, limits, check); break;
    case ModelFileKind::MRef: checkMRef(path, cursor, limits, check); break;
    case ModelFileKind::MAni: checkMAni(path, cursor, limits, check); break;
    case ModelFileKind::Unknown: refuse(check, {path, 1, "not an SMD, mRef or mAni file (the first line is not \"version 1\")"}, nullptr); break;
    }
    return check;
}

} // namespace veskar
