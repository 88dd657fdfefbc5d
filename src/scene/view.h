#pragma once
// The view record a scene's meshes are drawn against, and the viewport.
#include <cstdint>

class Frame;
class KLight;

// A rectangle of the window in pixels. renderMode and surfaceMode mean what a mesh's do; only
// surfaceMode is read, OR-ed into the view's modeFlags (the shading gate).
struct Viewport {
    float x = 0.0f, y = 0.0f, width = 0.0f, height = 0.0f;
    int32_t texture = -1;  // -1: none
    int32_t renderMode = 0;
    // Lighting on: every lit mesh is shaded in the pass its own surfaceMode selects.
    int32_t surfaceMode = 1;
};

class View {
public:
    static constexpr int kCameraCapacity = 256;
    static constexpr int kLightCapacity = 1024;

    // Appends; the camera becomes current. Raises errors::stackOverflow when full.
    void addCamera(Frame* camera);
    // Appends; entry 0 is the ambient light. Raises errors::stackOverflow when full.
    void addLight(KLight* light);

    Frame* cameras[kCameraCapacity] = {};
    KLight* lights[kLightCapacity] = {};
    Viewport** viewports = nullptr;
    int32_t cameraCount = 0;
    int32_t lightCount = 0;
    int32_t cameraCapacity = kCameraCapacity;
    int32_t lightCapacity = kLightCapacity;
    // Draw-list sizes of the mesh being drawn.
    int32_t frontCount = 0;
    int32_t backCount = 0;
    int32_t drawCount = 0;
    int32_t currentCamera = -1;
    int32_t viewportCount = 0;
    // 1: polygons wholly outside the screen are rejected (set per mesh per frame).
    uint8_t clipping = 1;
    // OR of the surfaceMode words of the attached viewports.
    int32_t modeFlags = 0;
};
