// The menu commands: each asks for one file and hands it to a loader or to
// the converter; the application and its scene keep what they make.

#include "app/Application.h"
#include "app/MenuCommands.h"
#include "formats/EngineModel.h"
#include "formats/FormatConverter.h"
#include "import/SmdModel.h"
#include "import/TextScan.h"
#include "platform/Shell.h"
#include "render/EngineModelDrawing.h"

#include <cstdio>
#include <new>

namespace veskar {

bool Application::chooseFile(const FileFilter& filter, std::string& path)
{
    if (!scriptedPaths_.empty()) {
        path = std::move(scriptedPaths_.front());
        scriptedPaths_.pop_front();
        return true;
    }
    return host && host->openFileDialog(filter, path);
}

void Application::loadCharacter(EngineModel*& slot, std::int32_t& mode, const std::string& path)
{
    if (slot) slot->destroy();
    delete slot;
    slot = new (std::nothrow) EngineModel(graphics.device);
    if (!slot) return;
    lastCharacter_ = slot;
    if (slot->loadReference(path)) mode = static_cast<std::int32_t>(DrawMode::Still);
}

void Application::loadCharacterAnimation(EngineModel* slot, std::int32_t& mode, const std::string& path)
{
    if (!slot) return;
    mode = static_cast<std::int32_t>(DrawMode::Still);
    if (slot->loadAnimation(path)) mode = static_cast<std::int32_t>(DrawMode::Play);
}

int Application::onCommand(std::uint32_t id)
{
    using namespace command;
    std::string path;
    switch (id) {
    case kClean:
        if (smdModel) smdModel->destroy();
        delete smdModel;
        smdModel = nullptr;
        if (scene) scene->clear();
        lastCharacter_ = nullptr;
        return 0;
    case kExit:
        if (host) host->postQuit(0);
        else quit_ = true;
        return 0;
    case kOpenSmdRef:
        if (!chooseFile(smdFilter(), path)) return 0;
        if (smdModel) smdModel->destroy();
        delete smdModel;
        smdModel = new (std::nothrow) SmdModel(graphics.device);
        if (smdModel && smdModel->loadReference(path)) smdMode = 0;
        return 0;
    case kOpenSmdAni:
        if (!chooseFile(smdFilter(), path)) return 0;
        if (smdModel && smdModel->loadAnimation(path)) smdMode = 1;
        return 0;
    case kOpenKovr1Ref:
    case kOpenKovr2Ref:
        if (!chooseFile(mRefFilter(), path) || !scene) return 0;
        if (id == kOpenKovr1Ref) loadCharacter(scene->primary, scene->primaryMode, path);
        else loadCharacter(scene->secondary, scene->secondaryMode, path);
        return 0;
    case kOpenKovr1Ani:
    case kOpenKovr2Ani:
        if (!chooseFile(mAniFilter(), path) || !scene) return 0;
        if (id == kOpenKovr1Ani) loadCharacterAnimation(scene->primary, scene->primaryMode, path);
        else loadCharacterAnimation(scene->secondary, scene->secondaryMode, path);
        return 0;
    case kOpenWeaponRef: {
        if (!chooseFile(mRefFilter(), path) || !scene) return 0;
        if (scene->weapon) scene->weapon->destroy();
        delete scene->weapon;
        scene->weapon = new (std::nothrow) EngineModel(graphics.device);
        if (!scene->weapon || !scene->weapon->loadReference(path)) return 0;
        // Bound once, to the primary character loaded at this moment.
        if (scene->primary && hasHandBone(*scene->primary)) {
            const EngineMesh& mesh = scene->primary->meshes[0];
            bindToHand(*scene->weapon, mesh.nodes[static_cast<std::size_t>(mesh.handBone)].worldMatrix);
        }
        return 0;
    }
    case kConvertRef:
    case kConvertAni:
        if (!chooseFile(smdFilter(), path)) return 0;
        if (converter) converter->destroy();
        delete converter;
        converter = new (std::nothrow) FormatConverter(graphics.device);
        if (!converter) return 0;
        if (id == kConvertRef) converter->convertReference(path);
        else converter->convertAnimation(path);
        if (!converter->materialWarning.empty()) std::fprintf(stderr, "%s\n", converter->materialWarning.c_str());
        return 0;
    default: return 0;
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
// SMD model is shown; an mRef goes to the first free character slot (the
// secondary is replaced when both are taken); an mAni goes onto the character
// loaded last.
void Application::onDrop(const std::string& path)
{
    using namespace command;
    const std::string extension = extensionOf(path);
    std::uint32_t id = 0;
    if (equalsIgnoringCase(extension, "smd")) {
        id = smdModel && smdModel->hasMesh ? kOpenSmdAni : kOpenSmdRef;
    } else if (equalsIgnoringCase(extension, "mref")) {
        id = scene && !scene->primary ? kOpenKovr1Ref : kOpenKovr2Ref;
    } else if (equalsIgnoringCase(extension, "mani")) {
        if (!scene || !lastCharacter_) return;
        id = lastCharacter_ == scene->primary ? kOpenKovr1Ani : lastCharacter_ == scene->secondary ? kOpenKovr2Ani : 0;
    }
    if (id == 0) {
        showMessageBox(("Veskar opens SMD, mRef and mAni files; " + path + " is none of them.").c_str(), "Error");
        return;
    }
    answerNextDialog(path);
    onCommand(id);
}

} // namespace veskar
