// The menu commands: each asks for one file and hands it to a loader or to
// the converter; the application and its scene keep what they make.

#include "app/Application.h"
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
#include <new>

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

void Application::loadCharacter(EngineModel*& slot, std::int32_t& mode, const std::string& path)
{
    if (slot) slot->destroy();
    delete slot;
    slot = new (std::nothrow) EngineModel(graphics.device);
    if (!slot) return commandFailed({path, 0, "not enough memory for the model"});
    lastCharacter_ = slot;
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

std::string fileNameOf(const std::string& path)
{
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

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
    replaying_ = true;
    for (const OpenedFile& file : files) {
        answerNextDialog(file.path);
        onCommand(file.command);
    }
    replaying_ = false;
}

int Application::onCommand(std::uint32_t id)
{
    using namespace command;
    switch (id) {
    case kClean:
        if (smdModel) smdModel->destroy();
        delete smdModel;
        smdModel = nullptr;
        if (scene) scene->clear();
        lastCharacter_ = nullptr;
        awaitingAnimation_ = 0;
        opened_.clear();
        smdAnimationName_.clear();
        primaryAnimationName_.clear();
        secondaryAnimationName_.clear();
        return 0;
    case kExit:
        if (host) host->postQuit(0);
        else quit_ = true;
        return 0;
    case kFrameModel: frameModels(); return 0;
    case kResetCamera: resetView(); return 0;
    case kInPlace: setInPlace(!inPlace); return 0;
    default: break;
    }
    if (id >= kRecentFirst && id < kRecentFirst + kRecentCount) {
        openRecent(id - kRecentFirst);
        return 0;
    }
    if (!takesFile(id)) return 0;
    // The first model into an empty view is framed, and framed again over
    // its first animation; reloading keeps the view.
    const bool wasEmpty = !anythingShown(smdModel, scene);
    const bool animated = runFileCommand(id);
    if (replaying_) return 0;
    if (wasEmpty && anythingShown(smdModel, scene)) {
        frameModels();
        awaitingAnimation_ = shownSlots(smdModel, scene);
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

bool Application::runFileCommand(std::uint32_t id)
{
    using namespace command;
    std::string path;
    const FileFilter& filter = id == kOpenKovr1Ref || id == kOpenKovr2Ref || id == kOpenWeaponRef ? mRefFilter()
                               : id == kOpenKovr1Ani || id == kOpenKovr2Ani                        ? mAniFilter()
                               : id == kOpenGltf                                                   ? gltfFilter()
                                                                                                   : smdFilter();
    if (!chooseFile(filter, path)) return false;
    rememberFile(id, path);
    // A model opened into a slot is not the one framed there.
    if (id == kOpenSmdRef || id == kOpenGltf || id == kOpenKovr1Ref || id == kOpenKovr2Ref) awaitingAnimation_ &= ~slotOf(id);
    switch (id) {
    case kOpenSmdRef:
        if (smdModel) smdModel->destroy();
        delete smdModel;
        smdModel = new (std::nothrow) SmdModel(graphics.device);
        smdAnimationName_.clear();
        if (!smdModel) commandFailed({path, 0, "not enough memory for the model"});
        else if (!smdModel->loadReference(path)) commandFailed(smdModel->diagnostic);
        else {
            smdMode = 0;
            if (effectMissing(smdModel->effect)) commandFailed(withoutEffect(path));
        }
        return false;
    case kOpenSmdAni:
        if (!smdModel) {
            commandFailed({path, 0, "no SMD reference is open to take this animation"});
        } else if (smdModel->loadAnimation(path)) {
            smdMode = 1;
            // Animation slot 0 is the one that plays: the first one loaded.
            if (smdAnimationName_.empty()) smdAnimationName_ = fileNameOf(path);
            return true;
        } else {
            commandFailed(smdModel->diagnostic);
        }
        return false;
    case kOpenGltf: openGltf(path); return false;
    case kOpenKovr1Ref:
    case kOpenKovr2Ref:
        if (!scene) return false;
        if (id == kOpenKovr1Ref) {
            loadCharacter(scene->primary, scene->primaryMode, path);
            primaryAnimationName_.clear();
        } else {
            loadCharacter(scene->secondary, scene->secondaryMode, path);
            secondaryAnimationName_.clear();
        }
        return false;
    case kOpenKovr1Ani:
    case kOpenKovr2Ani:
        if (!scene) return false;
        if (id == kOpenKovr1Ani) {
            if (!loadCharacterAnimation(scene->primary, scene->primaryMode, path)) return false;
            primaryAnimationName_ = fileNameOf(path);
        } else {
            if (!loadCharacterAnimation(scene->secondary, scene->secondaryMode, path)) return false;
            secondaryAnimationName_ = fileNameOf(path);
        }
        return true;
    case kOpenWeaponRef: {
        if (!scene) return false;
        if (scene->weapon) scene->weapon->destroy();
        delete scene->weapon;
        scene->weapon = new (std::nothrow) EngineModel(graphics.device);
        if (!scene->weapon) {
            commandFailed({path, 0, "not enough memory for the model"});
            return false;
        }
        if (!scene->weapon->loadReference(path)) {
            commandFailed(scene->weapon->diagnostic);
            return false;
        }
        if (effectMissing(scene->weapon->effect)) commandFailed(withoutEffect(path));
        // Bound once, to the primary character loaded at this moment.
        if (scene->primary && hasHandBone(*scene->primary)) {
            const EngineMesh& mesh = scene->primary->meshes[0];
            bindToHand(*scene->weapon, mesh.nodes[static_cast<std::size_t>(mesh.handBone)].worldMatrix);
        }
        return false;
    }
    case kConvertRef:
    case kConvertAni:
        if (converter) converter->destroy();
        delete converter;
        converter = new (std::nothrow) FormatConverter();
        if (!converter) {
            commandFailed({path, 0, "not enough memory for the converter"});
            return false;
        }
        if (!(id == kConvertRef ? converter->convertReference(path) : converter->convertAnimation(path))) {
            if (converter->sourceRefused) showRefusal(converter->refusalMessage, converter->diagnostic);
            commandFailed(converter->diagnostic);
        }
        if (!converter->materialWarning.empty()) std::fprintf(stderr, "%s\n", converter->materialWarning.c_str());
        return false;
    default: return false;
    }
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
        id = lastCharacter_ == scene->primary ? kOpenKovr1Ani : lastCharacter_ == scene->secondary ? kOpenKovr2Ani : 0;
    }
    if (id == 0) {
        showMessageBox(("Veskar opens SMD, mRef, mAni and glTF files; " + path + " is none of them.").c_str(), "Error");
        return;
    }
    answerNextDialog(path);
    onCommand(id);
}

} // namespace veskar
