#include "show/textures.h"

#include <GL/gl.h>

#include "base/exception.h"
#include "scene/kimage.h"

unsigned makeImageTexture(const char* name, int internalFormat, int requiredSize) {
    KImage image(name, -1, -1);
    if (requiredSize > 0 && (image.width() != requiredSize || image.height() != requiredSize))
        raise(errors::couldntReadFile, name);
    GLuint texture;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    // Rows are unpadded; byte alignment keeps GL inside the pixels whatever the width.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glTexImage2D(GL_TEXTURE_2D, 0, internalFormat, image.width(), image.height(), 0, GL_RGB,
                 GL_UNSIGNED_BYTE, image.pixels());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return texture;
}
