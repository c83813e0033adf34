// The view the command line asks for once its files are open.

#include "app/Application.h"

#include <cstdio>

namespace veskar {

void Application::showLayers(const ShownLayers& layers)
{
    gridShown = layers.grid;
    overlayShown = layers.overlay;
    skeletonShown = layers.skeleton;
    namesShown = layers.names;
    normalsShown = layers.normals;
    wireShown = layers.wireframe;
    showLayerChecks();
}

void Application::optionFailed(const std::string& what)
{
    ++failedCommandLineCommands;
    std::fprintf(stderr, "veskar: %s\n", what.c_str());
    std::fflush(stderr);
}

void Application::applyStartupView()
{
    const StartupView& s = startupView;
    if (s.play > 0) {
        bool picked = false;
        for (Animated which : kEveryAnimated) picked = pickAnimation(which, s.play - 1) || picked;
        if (!picked) optionFailed("--play " + std::to_string(s.play) + ": no model has that many animations");
    }
    if (!s.weights.empty()) {
        setWeightBone(s.weights);
        bool found = false;
        for (Animated which : kEveryAnimated) found = paintsWeights(which) || found;
        if (!found) optionFailed("--weights " + s.weights + ": no model has a bone of that name");
    }
    if (s.key >= 0) standOnKey(s.key);
    if (s.side) frameModels(*s.side);
    if (s.orthographic) setOrthographic(true);
}

} // namespace veskar
