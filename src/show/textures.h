#pragma once
// Textures the show makes from the archive's JPEG images.

// Loads the image at its own size and makes a texture of it (level 0, linear filters): internal
// format 2 gives luminance and alpha as GL makes them from RGB, any other RGB. With a required
// size, an image of any other size raises "couldn't read file" instead of letting GL read past its
// pixels. Returns the texture name.
unsigned makeImageTexture(const char* name, int internalFormat, int requiredSize = 0);
