// The menu commands: each asks for one file and hands it to a loader or to
// the converter; the application and its scene keep what they make.

#include "app/Application.h"
#include "app/MadeOrNull.h"
#include "app/MenuCommands.h"
#include "render/EngineModel.h"
#include "convert/FormatConverter.h"
#include "render/ModelEffect.h"
#include "render/SmdModel.h"
#include "import/ReaderFrame.h"
#include "import/TextScan.h"
#include "host/Settings.h"
#include "system/Shell.h"
#include "render/EngineModelDrawing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace veskar {

bool Application::chooseFile(const FileFilter& filter, std::string& path)
{
    fromCommandLine_ = false;
    if (!scriptedPaths_.empty()) {
        path = std::move(scriptedPaths_.front().path);
        fromCommandLine_ = scriptedPaths_.front().fromCommandLine;
        scriptedPaths_.pop_front();
        return true;
    }
    return host && host->openFileDialog(filter, path);
}

// A command given on the command line that did not do what it says is
// reported with its file, a file that cannot be opened included, and
// counted; commands chosen from the menu keep to their message boxes.
void Application::commandFailed(const Diagnostic& why)
{
    if (!fromCommandLine_) return;
    ++failedCommandLineCommands;
    std::fprintf(stderr, "veskar: %s\n", why.text().c_str());
    std::fflush(stderr);
}

namespace {

Diagnostic withoutEffect(const std::string& path) { return {path, 0, std::string("opened without the effect ") + kEffectFile + ", so it is not drawn"}; }

} // namespace

void Application::loadCharacter(std::unique_ptr<EngineModel>& slot, std::int32_t& mode, const std::string& path)
{
    if (slot) slot->destroy();
    slot = madeOrNull<EngineModel>(graphics.device);
    if (!slot) return commandFailed({path, 0, "not enough memory for the model"});
    lastCharacter_ = slot.get();
    if (!slot->loadReference(path)) return commandFailed(slot->diagnostic);
    mode = static_cast<std::int32_t>(DrawMode::Still);
    if (effectMissing(slot->effect)) commandFailed(withoutEffect(path));
}

bool Application::loadCharacterAnimation(EngineModel* slot, std::int32_t& mode, const std::string& path)
{
    if (!slot) {
        commandFailed({path, 0, "no character is loaded to take this animation"});
        return false;
    }
    mode = static_cast<std::int32_t>(DrawMode::Still);
    if (!slot->loadAnimation(path)) {
        commandFailed(slot->diagnostic);
        return false;
    }
    mode = static_cast<std::int32_t>(DrawMode::Play);
    return true;
}

namespace {

bool anythingShown(const SmdModel* smdModel, const Scene* scene)
{
    if (smdModel && smdModel->hasMesh) return true;
    return scene && (drawsSomething(scene->primary, scene->primaryMode) || drawsSomething(scene->secondary, scene->secondaryMode) ||
                     weaponCarried(*scene));
}

// The model slots an animation can play in, as bits.
constexpr std::uint32_t kSmdSlot = 1, kPrimarySlot = 2, kSecondarySlot = 4;

std::uint32_t slotOf(std::uint32_t id)
{
    using namespace command;
    if (id == kOpenSmdRef || id == kOpenSmdAni || id == kOpenGltf) return kSmdSlot;
    if (id == kOpenKovr1Ref || id == kOpenKovr1Ani) return kPrimarySlot;
    if (id == kOpenKovr2Ref || id == kOpenKovr2Ani) return kSecondarySlot;
    return 0;
}

std::uint32_t shownSlots(const SmdModel* smdModel, const Scene* scene)
{
    std::uint32_t slots = smdModel && smdModel->hasMesh ? kSmdSlot : 0;
    if (scene && drawsSomething(scene->primary, scene->primaryMode)) slots |= kPrimarySlot;
    if (scene && drawsSomething(scene->secondary, scene->secondaryMode)) slots |= kSecondarySlot;
    return slots;
}

// Whether the camera is where framing left it: drawing only makes its axes
// orthonormal again, which moves them by rounding.
bool sameCamera(const ViewCamera& a, const ViewCamera& b)
{
    const auto near = [](const Vector3& p, const Vector3& q, float tolerance) {
        return std::fabs(p.x - q.x) <= tolerance && std::fabs(p.y - q.y) <= tolerance && std::fabs(p.z - q.z) <= tolerance;
    };
    const float scale = std::max({1.0f, std::fabs(a.position.x), std::fabs(a.position.y), std::fabs(a.position.z)});
    return near(a.position, b.position, scale * 1e-5f) && near(a.look, b.look, 1e-5f) && near(a.up, b.up, 1e-5f) && a.mode == b.mode;
}

} // namespace

void Application::rememberFile(std::uint32_t id, const std::string& path)
{
    if (replaying_) return;
    opened_.push_back({id, path});
    recent_.add({id, path});
    showRecentFiles();
    const std::string folder = folderOf(path);
    if (host && !folder.empty()) host->setDialogFolder(folder);
    if (!settings) return;
    settings->setList("recentFiles", recent_.save());
    if (!folder.empty()) settings->setText("lastFolder", folder);
}

void Application::showRecentFiles()
{
    if (!host) return;
    const auto& files = recent_.files();
    for (std::size_t i = 0; i < command::kRecentCount; ++i) {
        std::string caption = i < files.size() ? recentCaption(i, files[i]) : std::string();
        // An empty menu would open as a sliver; say why it is empty.
        if (i == 0 && files.empty()) caption = "(no files yet)";
        host->setMenuCaption(command::kRecentFirst + static_cast<std::uint32_t>(i), caption);
    }
}

void Application::openRecent(std::size_t index)
{
    if (index >= recent_.files().size()) return;
    const OpenedFile file = recent_.files()[index];
    answerNextDialog(file.path);
    onCommand(file.command);
}

void Application::showLayerChecks()
{
    if (!host) return;
    using namespace command;
    const std::pair<std::uint32_t, bool> checks[] = {{kSkeleton, skeletonShown}, {kBoneNames, namesShown}, {kNormals, normalsShown},
                                                     {kWeights, weightsShown},   {kWireOverSolid, wireShown}, {kGrid, gridShown},
                                                     {kOverlay, overlayShown},   {kOrthographic, graphics.orthographic}};
    for (const auto& [id, on] : checks) host->setMenuCheck(id, on);
}

void Application::setInPlace(bool on)
{
    inPlace = on;
    if (host) host->setMenuCheck(command::kInPlace, inPlace);
}

void Application::reloadFiles()
{
    // The same commands on the same files, as if chosen again; the list
    // stays as it is and the camera where it is.
    const std::vector<OpenedFile> files = opened_;
    std::array<int, kAnimatedModels> picks{};
    for (Animated which : kEveryAnimated) picks[indexOf(which)] = pickedAnimation(which);
    replaying_ = true;
    for (const OpenedFile& file : files) {
        answerNextDialog(file.path);
        onCommand(file.command);
    }
    replaying_ = false;
    // Each model goes on playing the animation it played.
    for (Animated which : kEveryAnimated) pickAnimation(which, picks[indexOf(which)]);
}

int Application::onCommand(std::uint32_t id)
{
    using namespace command;
    switch (id) {
    case kClean:
        if (smdModel) smdModel->destroy();
        smdModel.reset();
        if (scene) scene->clear();
        lastCharacter_ = nullptr;
        awaitingAnimation_ = 0;
        opened_.clear();
        for (Animated which : kEveryAnimated) forgetAnimations(which);
        timelineListsChanged_ = true;
        return 0;
    case kExit:
        if (host) host->postQuit(0);
        else quit_ = true;
        return 0;
    case kFrameModel: frameModels(); return 0;
    case kResetCamera: resetView(); return 0;
    case kInPlace: setInPlace(!inPlace); return 0;
    case kPlayPause: paused = !paused; return 0;
    case kKeyBack:
    case kKeyForward:
        if (paused) stepAnimations(id == kKeyBack ? -1 : 1);
        return 0;
    case kNormalSpeed: setPlaybackSpeed(1.0f); return 0;
    case kQuarterSpeed: setPlaybackSpeed(0.25f); return 0;
    case kSkeleton: skeletonShown = !skeletonShown; break;
    case kBoneNames: namesShown = !namesShown; break;
    case kNormals: normalsShown = !normalsShown; break;
    case kWeights: toggleWeights(); break;
    case kWireOverSolid: wireShown = !wireShown; break;
    case kGrid: gridShown = !gridShown; break;
    case kOverlay: overlayShown = !overlayShown; break;
    case kViewFront: frameModels(ViewSide::Front); return 0;
    case kViewBack: frameModels(ViewSide::Back); return 0;
    case kViewLeft: frameModels(ViewSide::Left); return 0;
    case kViewRight: frameModels(ViewSide::Right); return 0;
    case kViewTop: frameModels(ViewSide::Top); return 0;
    case kViewBottom: frameModels(ViewSide::Bottom); return 0;
    case kOrthographic: setOrthographic(!graphics.orthographic); return 0;
    default: break;
    }
    if (id >= kSkeleton && id <= kOverlay) {
        showLayerChecks();
        return 0;
    }
    if (isAnimationCommand(id)) {
        const std::uint32_t n = id - kAnimationFirst;
        pickAnimation(kEveryAnimated[n / kAnimationsPerModel], static_cast<int>(n % kAnimationsPerModel));
        return 0;
    }
    if (id >= kRecentFirst && id < kRecentFirst + kRecentCount) {
        openRecent(id - kRecentFirst);
        return 0;
    }
    if (!takesFile(id)) return 0;
    // The first model into an empty view is framed, and framed again over
    // its first animation; reloading keeps the view.
    const bool wasEmpty = !anythingShown(smdModel.get(), scene.get());
    const bool animated = runFileCommand(id);
    timelineListsChanged_ = true;   // the bones listed may be another model's now
    if (replaying_) return 0;
    if (wasEmpty && anythingShown(smdModel.get(), scene.get())) {
        frameModels();
        awaitingAnimation_ = shownSlots(smdModel.get(), scene.get());
        framedCamera_ = graphics.camera;
    } else if (animated) {
        frameAgainForAnimation(id);
    }
    return 0;
}

// An animation can carry a model far from the pose it was framed in (a
// first-person weapon's idle holds it before the camera, away from where it
// was modelled): the first one onto a model framed on opening frames the view
// again, unless the camera has been moved since.
void Application::frameAgainForAnimation(std::uint32_t id)
{
    const std::uint32_t slot = slotOf(id);
    if (!(awaitingAnimation_ & slot)) return;
    awaitingAnimation_ &= ~slot;
    if (!sameCamera(graphics.camera, framedCamera_)) return;
    frameModels();
    framedCamera_ = graphics.camera;
}

namespace {

const FileFilter& filterFor(std::uint32_t id)
{
    using namespace command;
    if (id == kOpenKovr1Ref || id == kOpenKovr2Ref || id == kOpenWeaponRef) return mRefFilter();
    if (id == kOpenKovr1Ani || id == kOpenKovr2Ani) return mAniFilter();
    if (id == kOpenGltf) return gltfFilter();
    return smdFilter();
}

} // namespace

bool Application::runFileCommand(std::uint32_t id)
{
    using namespace command;
    std::string path;
    if (!chooseFile(filterFor(id), path)) return false;
    rememberFile(id, path);
    // A model opened into a slot is not the one framed there.
    if (id == kOpenSmdRef || id == kOpenGltf || id == kOpenKovr1Ref || id == kOpenKovr2Ref) awaitingAnimation_ &= ~slotOf(id);
    switch (id) {
    case kOpenSmdRef: openSmdReference(path); return false;
    case kOpenSmdAni: return openSmdAnimation(path);
    case kOpenGltf: openGltf(path); return false;
    case kOpenKovr1Ref:
    case kOpenKovr2Ref: openCharacter(id, path); return false;
    case kOpenKovr1Ani:
    case kOpenKovr2Ani: return openCharacterAnimation(id, path);
    case kOpenWeaponRef: openWeapon(path); return false;
    case kConvertRef:
    case kConvertAni: convertFile(id, path); return false;
    default: return false;
    }
}

void Application::openSmdReference(const std::string& path)
{
    if (smdModel) smdModel->destroy();
    smdModel = madeOrNull<SmdModel>(graphics.device);
    forgetAnimations(Animated::Smd);
    if (!smdModel) return commandFailed({path, 0, "not enough memory for the model"});
    if (!smdModel->loadReference(path)) return commandFailed(smdModel->diagnostic);
    smdMode = 0;
    if (effectMissing(smdModel->effect)) commandFailed(withoutEffect(path));
}

bool Application::openSmdAnimation(const std::string& path)
{
    if (!smdModel) {
        commandFailed({path, 0, "no SMD reference is open to take this animation"});
        return false;
    }
    if (!smdModel->loadAnimation(path)) {
        commandFailed(smdModel->diagnostic);
        return false;
    }
    smdMode = 1;
    animationOpened(Animated::Smd, path);
    return true;
}

void Application::openCharacter(std::uint32_t id, const std::string& path)
{
    if (!scene) return;
    const bool primary = id == command::kOpenKovr1Ref;
    if (primary) loadCharacter(scene->primary, scene->primaryMode, path);
    else loadCharacter(scene->secondary, scene->secondaryMode, path);
    forgetAnimations(primary ? Animated::Primary : Animated::Secondary);
}

bool Application::openCharacterAnimation(std::uint32_t id, const std::string& path)
{
    if (!scene) return false;
    const bool primary = id == command::kOpenKovr1Ani;
    EngineModel* slot = primary ? scene->primary.get() : scene->secondary.get();
    if (!loadCharacterAnimation(slot, primary ? scene->primaryMode : scene->secondaryMode, path)) return false;
    animationOpened(primary ? Animated::Primary : Animated::Secondary, path);
    return true;
}

void Application::openWeapon(const std::string& path)
{
    if (!scene) return;
    if (scene->weapon) scene->weapon->destroy();
    scene->weapon = madeOrNull<EngineModel>(graphics.device);
    if (!scene->weapon) return commandFailed({path, 0, "not enough memory for the model"});
    if (!scene->weapon->loadReference(path)) return commandFailed(scene->weapon->diagnostic);
    if (effectMissing(scene->weapon->effect)) commandFailed(withoutEffect(path));
    // Bound once, to the primary character loaded at this moment.
    if (scene->primary && hasHandBone(*scene->primary)) {
        const EngineMesh& mesh = scene->primary->meshes[0];
        bindToHand(*scene->weapon, mesh.nodes[static_cast<std::size_t>(mesh.handBone)].worldMatrix);
    }
}

void Application::convertFile(std::uint32_t id, const std::string& path)
{
    if (converter) converter->destroy();
    converter = madeOrNull<FormatConverter>();
    if (!converter) return commandFailed({path, 0, "not enough memory for the converter"});
    if (!(id == command::kConvertRef ? converter->convertReference(path) : converter->convertAnimation(path))) {
        if (converter->sourceRefused) showRefusal(converter->refusalMessage, converter->diagnostic);
        commandFailed(converter->diagnostic);
    }
    if (!converter->materialWarning.empty()) std::fprintf(stderr, "%s\n", converter->materialWarning.c_str());
}

namespace {

std::string extensionOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return path.substr(dot + 1);
}

} // namespace

// A dropped SMD file opens as the SMD reference, or as its animation when an
// SMD model is shown; a glTF file as the SMD model with its animations; an mRef goes to the first free character slot (the
// secondary is replaced when both are taken); an mAni goes onto the character
// loaded last.
void Application::onDrop(const std::string& path)
{
    using namespace command;
    const std::string extension = extensionOf(path);
    std::uint32_t id = 0;
    if (equalsIgnoringCase(extension, "smd")) {
        id = smdModel && smdModel->hasMesh ? kOpenSmdAni : kOpenSmdRef;
    } else if (equalsIgnoringCase(extension, "glb") || equalsIgnoringCase(extension, "gltf")) {
        id = kOpenGltf;
    } else if (equalsIgnoringCase(extension, "mref")) {
        id = scene && !scene->primary ? kOpenKovr1Ref : kOpenKovr2Ref;
    } else if (equalsIgnoringCase(extension, "mani")) {
        if (!scene || !lastCharacter_) return;
        id = lastCharacter_ == scene->primary.get() ? kOpenKovr1Ani : lastCharacter_ == scene->secondary.get() ? kOpenKovr2Ani : 0;
    }
    if (id == 0) {
        showMessageBox(("Veskar opens SMD, mRef, mAni and glTF files; " + path + " is none of them.").c_str(), "Error");
        return;
    }
    answerNextDialog(path);
    onCommand(id);
}

} // namespace veskar
