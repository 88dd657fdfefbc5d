#include "scene/view.h"

#include "base/exception.h"

void View::addCamera(Frame* camera) {
    if (cameraCount >= cameraCapacity) raise(errors::stackOverflow);
    cameras[cameraCount] = camera;
    currentCamera = cameraCount;
    ++cameraCount;
}

void View::addLight(KLight* light) {
    if (lightCount >= lightCapacity) raise(errors::stackOverflow);
    lights[lightCount++] = light;
}
