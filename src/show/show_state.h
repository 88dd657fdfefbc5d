#pragma once
// The values several stages of the show read and write within a frame: which scene plays, and the
// shape of the line field that every scene is seen through.

struct ShowState {
    // 0 to 5 select a scene, 6 is the closing pause. Only the scenes' own steps advance it.
    int sceneIndex = 0;
    // Sets how many line-field vertices are drawn: ceil(density / 3). The start-up values are
    // replaced just before the first frame (density 0, depth offset 45).
    int density = 700;
    float depthOffset = 20.0f;
    int boxWidth = 100;
    int boxHeight = 100;
    // The line field's width, in pixels of the 320 x 240 picture.
    float overlayLineWidth = 3.0f;

    // The picture is drawn at pixelScale times 320 x 240: every size measured in pixels is
    // multiplied by it (line widths by the line renderer), every size in world units stays.
    int pixelScale = 1;
};
