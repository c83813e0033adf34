#include "import/ModelEffect.h"

#include "platform/Device.h"
#include "platform/Shell.h"

#include <string>

namespace veskar {

int loadEffect(Device* device, Effect*& effect, EffectHandle& technique)
{
    if (!device) return 0;
    std::string errors;
    const Result r = device->createEffectFromFile(kEffectPath, &effect, &errors);
    if (failed(r) || !effect) {
        effect = nullptr;
        if (errors.empty()) errors = std::string(kEffectPath) + ": the effect could not be created";
        showMessageBox(errors.c_str(), "ERROR");
        return 0;
    }
    technique = effect->getTechniqueByName(kTechniqueName);
    return 0;
}

} // namespace veskar
