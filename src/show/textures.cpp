#include "show/textures.h"

#include <GL/gl.h>

#include <cstdint>
#include <vector>

#include "base/exception.h"
#include "scene/kimage.h"

namespace {

// GL converts RGB pixels to the internal format's components (two components: luminance takes
// red, alpha is 1); WebGL takes only pixels already in the texture's format. Converting here, as
// GL would, gives both the same texels. Returns the format to upload them with.
GLenum texelsFor(int internalFormat, const KImage& image, std::vector<uint8_t>& texels) {
    const size_t count = size_t(image.width()) * size_t(image.height());
    const uint8_t* rgb = image.pixels();
    if (internalFormat != 2 && internalFormat != GL_LUMINANCE_ALPHA) {
        texels.assign(rgb, rgb + count * 3);
        return GL_RGB;
    }
    texels.resize(count * 2);
    for (size_t i = 0; i < count; ++i) {
        texels[i * 2] = rgb[i * 3];
        texels[i * 2 + 1] = 255;
    }
    return GL_LUMINANCE_ALPHA;
}

}  // namespace

unsigned makeImageTexture(const char* name, int internalFormat, int requiredSize) {
    KImage image(name, -1, -1);
    if (requiredSize > 0 && (image.width() != requiredSize || image.height() != requiredSize))
        raise(errors::couldntReadFile, name);
    GLuint texture;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    // Rows are unpadded; byte alignment keeps GL inside the pixels whatever the width.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    std::vector<uint8_t> texels;
    const GLenum format = texelsFor(internalFormat, image, texels);
    glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), image.width(), image.height(), 0, format, GL_UNSIGNED_BYTE,
                 texels.data());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    return texture;
}
