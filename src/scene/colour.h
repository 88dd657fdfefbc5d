#pragma once
// Colour: red, green and blue on the 0-255 scale. Each channel is rounded to a whole number when
// stored (ties to even) and kept as a float holding that integer shifted left: red by 16 bits,
// green by 8, blue by 0. The getters undo the shift. Three stored floats are the whole value, so
// copying them copies the colour.

class Colour {
public:
    Colour() = default;
    Colour(float red, float green, float blue);

    void setRed(float value);
    void setGreen(float value);
    void setBlue(float value);
    float getRed() const;
    float getGreen() const;
    float getBlue() const;

    // The three stored (shifted) floats, in the order red, green, blue.
    const float* stored() const { return &red_; }
    static Colour fromStored(const float* stored);

    // Each channel := channel x factor, rounded on store; returns the result too.
    Colour scale(float factor);
    // Each channel := min(this + other, 255).
    void addClamp(const Colour& other);
    // this + other per channel without a clamp; neither operand changes.
    Colour add(const Colour& other) const;

private:
    float red_ = 0.0f;
    float green_ = 0.0f;
    float blue_ = 0.0f;
};
