#include "scene/klight.h"

#include "base/debug_server.h"
#include "loader3ds/k3ds_container.h"

void KLight::set(const K3DSContainer& container, int index) {
    const K3DSContainer::InnerLight* record = container.getFirstLight();
    for (int i = 0; i < index && record->next; ++i) record = record->next.get();
    name_ = record->getName() ? record->getName() : "";
    debugServer().printf(5, "{KLight::set}: Name of light: \"%s\"", name_.c_str());
    position_.set(record->position.x, record->position.y, record->position.z);
    // The file stores colours from 0 to 1.
    colour_ = Colour(record->colour.red * 255.0f, record->colour.green * 255.0f, record->colour.blue * 255.0f);
}

void KLight::setIntensity(float value) {
    if (value > 1.0f) value = 1.0f;
    if (value < 0.0f) value = 0.0f;
    intensity_ = value;
}
