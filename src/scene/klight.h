#pragma once
// KLight: an omni light with a colour (0-255 per channel), an intensity kept within 0-1 and a
// world position.
#include <string>

#include "math/vector.h"
#include "scene/colour.h"

class K3DSContainer;

class KLight {
public:
    KLight() = default;

    // Fills the light from the container's light record number index (counted along the chain).
    void set(const K3DSContainer& container, int index);

    // Clamped to 0-1.
    void setIntensity(float value);
    float getIntensity() const { return intensity_; }
    void setColour(const Colour& c) { colour_ = c; }
    const Colour& getColour() const { return colour_; }
    Point& getPosition() { return position_; }
    const Point& getPosition() const { return position_; }
    const char* getName() const { return name_.c_str(); }

private:
    std::string name_;
    Colour colour_{255.0f, 255.0f, 255.0f};
    float intensity_ = 0.9f;
    Point position_{0.0f, 0.0f, 0.0f};
};
