#include "scene/kscene.h"

#include <string>

#include "base/debug_server.h"
#include "base/exception.h"
#include "loader3ds/k3ds_container.h"
#include "math/ktable.h"

KScene::KScene(const char* fileName, bool) { construct(fileName, nullptr, 0); }

KScene::KScene(const char* fileName, Clones clones) {
    cloneMode_ = 1;
    cloneCount_ = clones.count < 0 ? 0 : clones.count;
    construct(fileName, nullptr, 0);
}

KScene::KScene(const char* fileName, const uint8_t* data, size_t size) { construct(fileName, data, size); }

KScene::~KScene() = default;

void KScene::construct(const char* fileName, const uint8_t* data, size_t size) {
    DebugServer& log = debugServer();
    lightCount_ = 0;
    log.write("{KScene::KScene()}: Allocating resources...", 0);
    load3dsFile(fileName, data, size);

    view_ = std::make_unique<View>();
    cameras_ = std::make_unique<Frame[]>(kCameraCount);
    cameras_[0].setPosition(Point(0.0f, 0.0f, -20.0f));
    cameras_[0].setTarget(Point(0.0f, 0.0f, 0.0f));
    view_->addCamera(&cameras_[0]);

    ambientLight_.setIntensity(0.4f);
    ambientLight_.setColour(Colour(255.0f, 255.0f, 255.0f));
    view_->addLight(&ambientLight_);
    for (int i = 0; i < lightCount_; ++i) {
        lights_[size_t(i)].setIntensity(0.85f);
        view_->addLight(&lights_[size_t(i)]);
    }
    lightCount_ += 1;

    viewports_ = std::make_unique<Viewport*[]>(kViewportCapacity);
    viewportCount_ = 0;
    log.write("{KScene::KScene()}: Creating main viewport...", 3);
    mainViewport_ = std::make_unique<Viewport>();
    mainViewport_->width = float(KTable::xRes());
    mainViewport_->height = float(KTable::yRes());
    log.write("{KScene::KScene()}: Attaching main viewport to scene...", 3);
    attachViewport(mainViewport_.get());
    log.write("{KScene::KScene()}: Done.", 0);
}

void KScene::load3dsFile(const char* fileName, const uint8_t* data, size_t size) {
    const char* name = fileName ? fileName : "";
    const std::string message = std::string("{KScene::load3dsFile()}: Loading ") + name + "...";
    std::unique_ptr<K3DSContainer> container =
        data ? std::make_unique<K3DSContainer>(name, data, size) : std::make_unique<K3DSContainer>(name);
    if (!container->ok()) {
        debugServer().write((message + "Failed!").c_str(), 10);
        raise(errors::couldntReadFile, name);
    }
    container_ = container.get();
    try {
        assign3dsFile();
    } catch (...) {
        container_ = nullptr;
        throw;
    }
    debugServer().write((message + "Done!").c_str(), 7);
    container_ = nullptr;
}

void KScene::assign3dsFile() {
    DebugServer& log = debugServer();
    const K3DSContainer& container = *container_;
    log.printf(5, "{void KScene::assign3dsFile()}: Number of meshes in scene: %d", container.getMeshCount());
    meshCount_ = cloneMode_ ? cloneCount_ : container.getMeshCount();
    meshes_ = std::make_unique<KMesh[]>(size_t(meshCount_));

    const int lights = container.getLightCount();
    log.printf(5, "{void KScene::assign3dsFile()}: Number of lights in scene: %d", lights);
    lights_ = std::make_unique<KLight[]>(size_t(lights));
    lightCount_ = lights;

    for (int i = 0; i < meshCount_; ++i) {
        log.printf(5, "{void KScene::assign3dsFile()}: Loading mesh(%d)...", i);
        meshes_[size_t(i)].set(container, cloneMode_ ? 0 : i);
    }
    for (int k = 0; k < lights; ++k) {
        log.printf(5, "{void KScene::assign3dsFile()}: Loading light(%d)...", k);
        lights_[size_t(k)].set(container, k);
    }
}

void KScene::attachViewport(Viewport* viewport) {
    if (viewportCount_ >= kViewportCapacity) raise(errors::stackOverflow);
    viewports_[size_t(viewportCount_++)] = viewport;
    view_->modeFlags |= viewport->surfaceMode;
}
