#pragma once
// A contact sheet: the chosen frames at half size in rows of four, each with its tick below.
#include <vector>

#include "png_image.h"

struct Thumbnail {
    RgbImage image;
    int tick;
};

RgbImage contactSheet(const std::vector<Thumbnail>& frames);
