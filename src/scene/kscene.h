#pragma once
// KScene: everything needed to draw one 3D Studio file - its meshes, its lights plus an ambient
// light, ten cameras (camera 0 is the one in use), the view record the renderer draws against and
// the viewport list. Built once from a file name; the show then moves cameras, meshes and lights in
// place and hands the scene to the renderer every frame (renderScene, render/render.h).
#include <cstdint>
#include <memory>

#include "scene/frame.h"
#include "scene/klight.h"
#include "scene/kmesh.h"
#include "scene/view.h"

class K3DSContainer;

class KScene {
public:
    static constexpr int kCameraCount = 10;
    static constexpr int kViewportCapacity = 255;

    // Builds the scene from the named .3ds file; every mesh of the file becomes one KMesh. The flag
    // has no effect. Raises errors::couldntReadFile when the file cannot be loaded, and whatever
    // building a mesh raises.
    KScene(const char* fileName, bool flag);
    // Asks for copies of the file's first mesh instead of its meshes.
    struct Clones {
        int count;
    };
    // Clone mode: builds clones.count meshes, each a full copy of the file's first mesh.
    KScene(const char* fileName, Clones clones);
    // Builds the scene from a file image the caller holds (tools and fuzzing); fileName names it
    // in messages.
    KScene(const char* fileName, const uint8_t* data, size_t size);
    ~KScene();
    KScene(const KScene&) = delete;
    KScene& operator=(const KScene&) = delete;

    KMesh& getMesh(int index) { return meshes_[size_t(index)]; }
    int getMeshCount() const { return meshCount_; }
    // File lights plus the ambient light.
    int getLightCount() const { return lightCount_; }
    // File light number index (0 to getLightCount() - 2); the ambient light is separate.
    KLight& getLight(int index) { return lights_[size_t(index)]; }
    KLight& getAmbientLight() { return ambientLight_; }
    Frame& getCamera(int index) { return cameras_[index]; }
    Frame& getCurrentCamera() { return *view_->cameras[view_->currentCamera]; }
    View& getView() { return *view_; }
    Viewport** getViewports() { return viewports_.get(); }
    int getViewportCount() const { return viewportCount_; }
    // Appends to the viewport list and ORs its surfaceMode into the view's modeFlags. Raises
    // errors::stackOverflow when the list is full.
    void attachViewport(Viewport* viewport);

private:
    void construct(const char* fileName, const uint8_t* data, size_t size);
    void load3dsFile(const char* fileName, const uint8_t* data, size_t size);
    void assign3dsFile();

    std::unique_ptr<Viewport*[]> viewports_;
    std::unique_ptr<View> view_;
    const K3DSContainer* container_ = nullptr;
    std::unique_ptr<KMesh[]> meshes_;
    std::unique_ptr<Frame[]> cameras_;
    std::unique_ptr<KLight[]> lights_;
    KLight ambientLight_;
    int32_t meshCount_ = 0;
    int32_t lightCount_ = 0;
    int32_t viewportCount_ = 0;
    uint8_t cloneMode_ = 0;
    int32_t cloneCount_ = 0;
    std::unique_ptr<Viewport> mainViewport_;
};
