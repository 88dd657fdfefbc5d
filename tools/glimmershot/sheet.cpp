#include "sheet.h"

#include <algorithm>
#include <string>

namespace {

constexpr int kColumns = 4;
constexpr int kGap = 4;
constexpr int kLabelHeight = 16;
constexpr int kDigitScale = 2;

// 3 x 5 digits, one row per entry, bit 2 leftmost.
constexpr unsigned char kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 1, 1, 1}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

void fill(RgbImage& img, int x0, int y0, int w, int h, uint8_t value) {
    for (int y = std::max(y0, 0); y < std::min(y0 + h, img.height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x0 + w, img.width); ++x) {
            uint8_t* p = img.at(x, y);
            p[0] = p[1] = p[2] = value;
        }
}

void drawNumber(RgbImage& img, int x, int y, int number) {
    for (char c : std::to_string(number)) {
        const unsigned char* glyph = kDigits[c - '0'];
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < 3; ++col)
                if (glyph[row] & (4 >> col))
                    fill(img, x + col * kDigitScale, y + row * kDigitScale, kDigitScale, kDigitScale, 255);
        x += 4 * kDigitScale;
    }
}

}  // namespace

RgbImage contactSheet(const std::vector<Thumbnail>& frames) {
    const int thumbW = 160, thumbH = 120;
    const int count = std::max(int(frames.size()), 1);
    const int columns = std::min(count, kColumns);
    const int rows = (count + kColumns - 1) / kColumns;
    RgbImage sheet(kGap + columns * (thumbW + kGap), kGap + rows * (thumbH + kLabelHeight + kGap));
    fill(sheet, 0, 0, sheet.width, sheet.height, 40);
    for (size_t i = 0; i < frames.size(); ++i) {
        const RgbImage& src = frames[i].image;
        const int x0 = kGap + int(i % kColumns) * (thumbW + kGap);
        const int y0 = kGap + int(i / kColumns) * (thumbH + kLabelHeight + kGap);
        // Box filter of 2 x 2 source pixels per thumbnail pixel.
        for (int y = 0; y < thumbH; ++y)
            for (int x = 0; x < thumbW; ++x)
                for (int c = 0; c < 3; ++c) {
                    int sx = std::min(x * src.width / thumbW, src.width - 2);
                    int sy = std::min(y * src.height / thumbH, src.height - 2);
                    int sum = src.at(sx, sy)[c] + src.at(sx + 1, sy)[c] + src.at(sx, sy + 1)[c] + src.at(sx + 1, sy + 1)[c];
                    sheet.at(x0 + x, y0 + y)[c] = uint8_t(sum / 4);
                }
        drawNumber(sheet, x0 + 2, y0 + thumbH + 3, frames[i].tick);
    }
    return sheet;
}
