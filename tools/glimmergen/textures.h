#pragma once
// The show's two JPEG textures: the light-bar streak and the title card.
#include <cstdint>
#include <vector>

namespace textures {

struct Image {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // top row first, no padding
};

// A vertical light streak, 128 x 256: a white-blue core around s = 0.5 with fine side streaks,
// bright along its whole length (the light bars sample s 0.15 to 0.85 and t 0 to 1).
Image lightStreak();
// The title card, 256 x 256: "GLIMMERTIDE" and "LINES OF LIGHT" in bold glowing strokes on black,
// as large as fits in the part of the picture the show lets a viewer see (title_view.h). The show
// shows only the red channel, so everything that matters lives there.
Image titleCard();

// Where titleCard() writes a line of text, in texels: glyph i's strokes are centred in the cell
// from left + i * advance, glyphWidth wide and height tall, from top down.
struct TextLine {
    double left, top, advance, glyphWidth, height;
    int glyphs;
    double right() const { return left + (glyphs - 1) * advance + glyphWidth; }
};
struct TitleText {
    TextLine title, subtitle;
};
TitleText titleText();

// Baseline JPEG through TurboJPEG (4:4:4, accurate DCT). Throws std::runtime_error on failure.
std::vector<std::uint8_t> encodeJpeg(const Image& image, int quality);

}  // namespace textures
