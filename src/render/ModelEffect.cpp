#include "render/ModelEffect.h"

#include "system/DataFiles.h"
#include "gpu/Device.h"
#include "system/Shell.h"

#include <string>
#include <vector>

namespace veskar {

int loadEffect(Device* device, Effect*& effect, EffectHandle& technique)
{
    if (!device) return 0;
    const std::vector<std::string> places = dataFileLocations(kEffectFile);
    const std::string path = firstExisting(places);
    if (path.empty()) {
        std::string text = std::string("cannot find the effect file ") + kEffectFile + "; looked for:";
        for (const std::string& place : places) text += "\n  " + place;
        showMessageBox(text.c_str(), "ERROR");
        return 0;
    }
    std::string errors;
    const Result r = device->createEffectFromFile(path.c_str(), &effect, &errors);
    if (failed(r) || !effect) {
        effect = nullptr;
        if (errors.empty()) errors = path + ": the effect could not be created";
        showMessageBox(errors.c_str(), "ERROR");
        return 0;
    }
    technique = effect->getTechniqueByName(kTechniqueName);
    return 0;
}

} // namespace veskar
