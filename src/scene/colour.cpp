#include "scene/colour.h"

#include <cmath>

namespace {

// Channels stay far inside this range in any real scene; clamping keeps damaged input (NaN or huge
// material colours) from overflowing the integer conversion or the shifted storage.
constexpr float kChannelLimit = 32767.0f;

float store(float value, float shift) {
    if (!(value == value)) value = 0.0f;  // NaN
    if (value > kChannelLimit) value = kChannelLimit;
    if (value < -kChannelLimit) value = -kChannelLimit;
    // nearbyint rounds half to even in the default rounding mode; the shift is exact in a float.
    return std::nearbyint(value) * shift;
}

float load(float stored, float shift) { return static_cast<float>(static_cast<int>(stored) / static_cast<int>(shift)); }

constexpr float kRedShift = 65536.0f;
constexpr float kGreenShift = 256.0f;
constexpr float kBlueShift = 1.0f;

}  // namespace

Colour::Colour(float red, float green, float blue) {
    setRed(red);
    setGreen(green);
    setBlue(blue);
}

void Colour::setRed(float value) { red_ = store(value, kRedShift); }
void Colour::setGreen(float value) { green_ = store(value, kGreenShift); }
void Colour::setBlue(float value) { blue_ = store(value, kBlueShift); }
float Colour::getRed() const { return load(red_, kRedShift); }
float Colour::getGreen() const { return load(green_, kGreenShift); }
float Colour::getBlue() const { return load(blue_, kBlueShift); }

Colour Colour::fromStored(const float* stored) {
    Colour c;
    c.red_ = stored[0];
    c.green_ = stored[1];
    c.blue_ = stored[2];
    return c;
}

Colour Colour::scale(float factor) {
    setRed(getRed() * factor);
    setGreen(getGreen() * factor);
    setBlue(getBlue() * factor);
    return *this;
}

void Colour::addClamp(const Colour& other) {
    setRed(std::fmin(getRed() + other.getRed(), 255.0f));
    setGreen(std::fmin(getGreen() + other.getGreen(), 255.0f));
    setBlue(std::fmin(getBlue() + other.getBlue(), 255.0f));
}

Colour Colour::add(const Colour& other) const {
    return Colour(getRed() + other.getRed(), getGreen() + other.getGreen(), getBlue() + other.getBlue());
}
