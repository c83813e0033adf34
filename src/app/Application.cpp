#include "app/Application.h"

#include "app/MenuCommands.h"
#include "app/Overlay.h"
#include "app/SceneBounds.h"
#include "app/Screenshot.h"
#include "render/EngineModel.h"
#include "convert/FormatConverter.h"
#include "import/ConsoleLog.h"
#include "render/SmdModel.h"
#include "system/Clock.h"
#include "gpu/Device.h"
#include "host/Settings.h"
#include "system/Shell.h"
#include "render/CameraMoves.h"
#include "render/EngineModelDrawing.h"
#include "render/Playback.h"
#include "render/SmdModelDrawing.h"

#include <cmath>
#include <cstdio>
#include <new>

namespace veskar {

Application& Application::instance()
{
    static Application application;
    return application;
}

int Application::run(Host& h, int frameLimit)
{
    host = &h;
    HostOptions options;
    options.title = "[Tavimor] Veskar";
    options.clientWidth = clientWidth;
    options.clientHeight = clientHeight;
    options.iconPath = ":/veskar/veskar-icon.png";  // built into the program
    options.menu = mainMenu();
    options.acceptFiles = true;
    std::string error;
    // A program that cannot show anything has failed: one line on standard
    // error says what is missing and how to get it, and the exit status is 1.
    if (!h.create(options, error)) {
        std::fprintf(stderr, "veskar: %s\n", error.c_str());
        return 1;
    }
    // Message boxes belong with the window from now on.
    setShell(&h.messageShell());
    h.setSurfaceLostHandler([this] { releaseDeviceObjects(); });
    h.setExposeHandler([this] {
        if (host && host->device()) renderFrame();
    });
    const Result graphicsResult = graphics.create(h.device(), clientWidth, clientHeight, 20);
    const Result resourcesResult = failed(graphicsResult) ? kFail : createFrameResources();
    if (failed(graphicsResult) || failed(resourcesResult)) {
        if (!graphics.failure.empty()) std::fprintf(stderr, "veskar: %s\n", graphics.failure.c_str());
        releaseFrameResources();
        graphics.release();
        return 1;
    }
    if (!graphics.warning.empty()) std::fprintf(stderr, "veskar: %s\n", graphics.warning.c_str());
    // Everything a frame draws is set up before the window shows: showing it
    // exposes it, and the expose handler draws a frame there and then.
    graphics.setTextColour(0, 1, 1, 1);
    if (!grid) {
        grid = new (std::nothrow) AxisGrid;
        if (!grid) return -1;
        if (grid->build(h.device()) < 0) {
            delete grid;
            grid = nullptr;
            return -1;
        }
    }
    if (!scene) {
        scene = new (std::nothrow) Scene;
        if (!scene) return -1;
        scene->bind(h.device());
    }
    if (settings) {
        recent_.load(settings->list("recentFiles"));
        h.setDialogFolder(settings->text("lastFolder"));
    }
    showRecentFiles();
    h.setMenuCheck(command::kInPlace, inPlace);
    h.fitClient(clientWidth, clientHeight);
    h.show();

    for (auto& [id, path] : startupCommands_) {
        scriptedPaths_.push_back({std::move(path), true});
        h.post(WindowMessage{WM_COMMAND, makeWParam(id, 0), 0, {}});
    }
    startupCommands_.clear();

    WindowMessage message;
    while (!quit_) {
        if (h.peekMessage(message)) {
            if (message.id == WM_QUIT) {
                exitCode = static_cast<std::int32_t>(static_cast<std::intptr_t>(message.wParam));
                break;
            }
            handleMessage(message.id, message.wParam, message.lParam, message.path);
            continue;
        }
        if (active && h.device()) {
            renderFrame();
            if (frameLimit > 0 && framesRendered >= frameLimit) break;
        } else {
            h.waitMessage();
        }
    }
    return exitCode;
}

void Application::releaseDeviceObjects()
{
    if (grid) grid->releaseVertices();
    delete grid;
    grid = nullptr;
    if (smdModel) smdModel->destroy();
    delete smdModel;
    smdModel = nullptr;
    if (converter) converter->destroy();
    delete converter;
    converter = nullptr;
    if (scene) scene->destroyModels();
    delete scene;
    scene = nullptr;
    lastCharacter_ = nullptr;
    releaseFrameResources();
    graphics.release();
}

void Application::shutdown()
{
    releaseDeviceObjects();
    scriptedPaths_.clear();
    host = nullptr;
}

int Application::onResize(int width, int height)
{
    clientWidth = width;
    clientHeight = height;
    if (graphics.device) graphics.resize(width, height);
    return 1;
}

void Application::updateFrameTimer() { frameTimer.update(milliseconds(), fps); }

Result Application::createFrameResources()
{
    if (!graphics.device) return kFail;
    return markers.create(*graphics.device);
}

void Application::releaseFrameResources() { markers.release(); }

void Application::renderFrame()
{
    Device* device = graphics.device;
    if (!device) return;
    // What this frame stands for in time: the keys every playing animation
    // advances, and how far held keys move the camera.
    const double previous = playbackClock.last;
    const bool first = !playbackClock.started;
    const double now = host ? host->now() : 0.0;
    frameSeconds = playbackClock.tick(now);
    if (!first) moveHeldKeys(now, previous);
    frameKeys = paused ? 0.0f : static_cast<float>(frameSeconds) * kKeysPerSecond * speedFactor / 2.0f;

    device->clear(kClearTarget | kClearZBuffer, 0xFF004040, 1.0f, 0);
    if (!failed(device->beginScene())) {
        if (grid) grid->draw();
        device->setRenderState(RenderState::CullMode, kCullNone);
        device->setRenderState(RenderState::ZEnable, 1);
        device->setRenderState(RenderState::Lighting, 0);
        drawSmdModel();
        if (scene) scene->render(frameKeys, inPlace);
        drawRootMarkers();
        if (skeletonShown) drawSkeletons();
        drawHud();
        if (screenshotWanted_) saveScreenshot();
        device->endScene();
    }
    device->present();
    if (host) host->present();
    updateFrameTimer();
    ++framesRendered;
}

void Application::drawSmdModel()
{
    if (!smdModel || !smdModel->hasMesh) return;
    if (smdModel->hasAnimation && smdMode == 1)
        veskar::drawSmdModel(*smdModel, smdFillMode, 0, smdModel->animations[0].frameCount, frameKeys, 0, smdTextured, inPlace);
    else if (smdMode == 0 || !smdModel->hasAnimation)
        veskar::drawSmdModel(*smdModel, smdFillMode, 0, 0, frameKeys, -1, smdTextured);
}

void Application::drawRootMarkers()
{
    if (!scene || !scene->primary || !scene->secondary) return;
    if (!hasRootBone(*scene->primary) || !hasRootBone(*scene->secondary)) return;
    Matrix primaryRoot, secondaryRoot;
    float position[3];
    if (!currentRootKey(*scene->primary, primaryRoot, position) || !currentRootKey(*scene->secondary, secondaryRoot, position)) return;
    Device& device = *graphics.device;
    setUnlitUntexturedStates(device);
    device.setTransform(TransformType::World, primaryRoot);
    markers.drawCube(device);
    device.setTransform(TransformType::World, secondaryRoot);
    markers.drawCube(device);
    device.setTransform(TransformType::World, Matrix{});
    device.setRenderState(RenderState::Lighting, 1);
}

void Application::drawSkeletons()
{
    if (!graphics.device) return;
    skeletonLines_.clear();
    if (smdModel) appendSkeleton(*smdModel, skeletonLines_);
    if (scene && drawsSomething(scene->primary, scene->primaryMode)) appendSkeleton(*scene->primary, scene->primaryWorld, skeletonLines_);
    if (scene && drawsSomething(scene->secondary, scene->secondaryMode))
        appendSkeleton(*scene->secondary, scene->secondaryWorld, skeletonLines_);
    drawLinesOnTop(*graphics.device, skeletonLines_);
}

std::vector<std::string> Application::playbackLines() const
{
    std::vector<std::string> lines;
    auto add = [&](const char* tag, const std::string& name, const SkeletonAnimation& a) {
        lines.push_back(playbackLine(tag, name, a.currentFrame, a.frameCount, paused));
    };
    if (smdModel && smdModel->hasMesh && smdModel->hasAnimation && smdMode == 1) add("SMD", smdAnimationName_, smdModel->animations[0]);
    const auto engine = [&](const char* tag, const EngineModel* model, std::int32_t mode, const std::string& name) {
        if (!model || !model->hasMesh || !model->hasAnimation || mode != static_cast<std::int32_t>(DrawMode::Play)) return;
        if (model->currentAnimation < 0 || model->currentAnimation >= kModelSlots) return;
        add(tag, name, model->animations[static_cast<std::size_t>(model->currentAnimation)]);
    };
    if (scene) {
        engine("Kovr1", scene->primary, scene->primaryMode, primaryAnimationName_);
        engine("Kovr2", scene->secondary, scene->secondaryMode, secondaryAnimationName_);
    }
    return lines;
}

void Application::drawHud()
{
    if (!overlayShown) return;
    // On a scaled display the overlay keeps its physical size, as the window does.
    if (host) graphics.setTextScale(host->contentScale());
    const auto scaled = [this](int pixels) { return static_cast<int>(std::lround(static_cast<float>(pixels) * graphics.textScale)); };
    const auto lines = overlayLines(fps, graphics.camera.position, graphics.light.position);
    int row = 0;
    for (int i = 0; i < kOverlayLines; ++i, ++row)
        graphics.drawText(lines[static_cast<std::size_t>(i)].c_str(), scaled(kOverlayX), scaled(kOverlayFirstY + row * kOverlayLineStep));
    for (const std::string& line : playbackLines()) {
        graphics.drawText(line.c_str(), scaled(kOverlayX), scaled(kOverlayFirstY + row * kOverlayLineStep));
        ++row;
    }
}

Bounds Application::shownBounds() const { return sceneBounds(smdModel, smdMode, scene, inPlace); }

void Application::frameModels()
{
    Bounds bounds;
    try {
        bounds = shownBounds();
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "veskar: not enough memory to work out where the models go; the camera stays\n");
        return;
    }
    if (bounds.empty()) return;
    const float aspect = clientHeight > 0 ? static_cast<float>(clientWidth) / static_cast<float>(clientHeight) : 1.0f;
    orbitCentre = frameCamera(graphics.camera, bounds, kFieldOfView, aspect);
    graphics.updateView();
}

void Application::resetView()
{
    resetCamera(graphics.camera);
    orbitCentre = Vector3{};
    graphics.updateView();
}

void Application::stepAnimations(int keys)
{
    if (smdModel && smdModel->hasAnimation && smdMode == 1) {
        SmdAnimation& a = smdModel->animations[0];
        if (a.frameCount > 0) stepKeys(a, keys, 0, a.frameCount);
    }
    if (!scene) return;
    for (EngineModel* model : {scene->primary, scene->secondary}) {
        if (!model || !model->hasAnimation || model->currentAnimation < 0 || model->currentAnimation >= kModelSlots) continue;
        EngineAnimation& a = model->animations[static_cast<std::size_t>(model->currentAnimation)];
        if (a.frameCount > 0) stepKeys(a, keys, 0, a.frameCount);
    }
}

void Application::saveScreenshot()
{
    screenshotWanted_ = false;
    std::string path, error;
    if (veskar::saveScreenshot(*graphics.device, screenshotFolder, localCalendarTime(), path, error))
        consoleLog().print("[Screenshot] %s\n", path.c_str());
    else
        std::fprintf(stderr, "veskar: no screenshot: %s\n", error.c_str());
}

} // namespace veskar
