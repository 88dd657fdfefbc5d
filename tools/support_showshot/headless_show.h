#pragma once
// Runs the show headless exactly as video mode does: a hidden 324 x 265 window (times the pixel
// scale), the clock never started, the show's own start-up and frame, and after every presented
// frame the clock set as video mode sets it.
#include <memory>
#include <optional>

#include "math/projection.h"
#include "render/lines.h"

#include "png_image.h"

class Show;

class HeadlessShow {
public:
    static constexpr int kWidth = projection::kPictureWidth;
    static constexpr int kHeight = projection::kPictureHeight;

    // Opens the archive, the window and every scene at the pixel scale (1 to 8; lowered, with a
    // line on stderr, where the driver cannot draw it), with lines drawn the way asked for or, by
    // default, as the program chooses; errors of the data raise ExceptionType.
    HeadlessShow(const char* archivePath, float framesPerSecond, int pixelScale = 1,
                 std::optional<LineWay> lines = std::nullopt);
    ~HeadlessShow();
    HeadlessShow(const HeadlessShow&) = delete;
    HeadlessShow& operator=(const HeadlessShow&) = delete;

    // Renders and presents the next frame; false once the end cue fired (nothing presented then).
    bool nextFrame();
    // The frame just presented: its index from 0 and the clock it was rendered at.
    int frameIndex() const { return frames_ - 1; }
    float frameTick() const { return frameTick_; }
    // The picture of the frame just presented, top row first: its lower-left scale x 320 x 240.
    RgbImage readBack() const;
    int scale() const { return scale_; }
    LineWay lines() const { return lines_; }
    int width() const { return kWidth * scale_; }
    int height() const { return kHeight * scale_; }

    // The floor of any frame: clear, copy the feedback texture, read back, swap.
    void floorFrame();

    Show& show();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    float framesPerSecond_;
    int scale_;
    LineWay lines_ = LineWay::native;
    int frames_ = 0;
    float clock_ = 0.0f;
    float frameTick_ = 0.0f;
};
