#pragma once
// The renderer's module-level switches, shared by all scenes (set through render.h).
struct RenderSwitches {
    float brightness = 1.0f;
    bool hiddenLines = false;
    bool stretch = false;
    float stretchX = 1.0f, stretchY = 1.0f, stretchZ = 1.0f;
};

RenderSwitches& renderSwitches();
