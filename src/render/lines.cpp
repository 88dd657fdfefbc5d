#include "render/lines.h"

#include <GL/gl.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "render/line_quads.h"

namespace {

constexpr float kUnlimited = std::numeric_limits<float>::infinity();

// The renderer's state, one per process like GL's own.
struct Lines {
    LineWay way = LineWay::native;
    LineWidthLimits limits{kUnlimited, kUnlimited};
    int scale = 1;
    float width = 1.0f;
    bool smooth = false;
    float sentWidth = 1.0f;  // what native lines last gave glLineWidth

    // The primitive being given (quads): its vertices, and the colour and texture coordinate given
    // last, if any; vertices given before them take GL's current ones.
    unsigned primitive = 0;
    std::vector<linequads::Vertex> vertices;
    float colour[4] = {};
    float texCoord[2] = {};
    bool colourGiven = false, texCoordGiven = false;
    size_t colourFrom = 0, texCoordFrom = 0;  // the first vertex given after them

    // The bound arrays, and whether their colours are used.
    LineArrays arrays;
    bool arraysBound = false;
    bool colourArray = false;

    // Quads waiting to be drawn, all alike in these: colours, texture coordinates, smoothing.
    std::vector<linequads::QuadVertex> quads;
    bool quadColours = false, quadTexCoords = false, quadSmooth = false;
    int batches = 0;  // open batches
    bool viewRead = false;
    linequads::View view;
};

Lines& lines() {
    static Lines state;
    return state;
}

// The width native lines are drawn at: as the driver would clamp it.
float nativeWidth(const Lines& s) {
    return std::min(s.width * float(s.scale), s.smooth ? s.limits.smooth : s.limits.aliased);
}

void sendNativeWidth(Lines& s) {
    s.sentWidth = nativeWidth(s);
    glLineWidth(s.sentWidth);
}

const linequads::View& view(Lines& s) {
    if (!s.viewRead) {
        s.view = linequads::currentView();
        s.viewRead = s.batches > 0;  // outside a batch it is read for every primitive
    }
    return s.view;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void drawQuads(Lines& s) {
    linequads::draw(s.quads, s.quadColours, s.quadTexCoords, s.quadSmooth);
    s.quads.clear();
    if (!s.arraysBound) return;
    // Drawing the quads pointed GL's arrays elsewhere: the caller's come back as bound.
    glEnableClientState(GL_VERTEX_ARRAY);
    const GLsizei stride = GLsizei(s.arrays.stride * sizeof(float));
    glVertexPointer(3, GL_FLOAT, stride, s.arrays.vertices);
    glColorPointer(4, GL_FLOAT, stride, s.arrays.vertices + 3);
    if (s.colourArray) glEnableClientState(GL_COLOR_ARRAY);
}

// Appends the segments of a primitive as quads, drawn at once outside a batch.
void addPrimitive(Lines& s, unsigned primitive, const linequads::Vertex* vertices, int count, bool colours,
                  bool texCoords) {
    if (!s.quads.empty() && (colours != s.quadColours || texCoords != s.quadTexCoords || s.smooth != s.quadSmooth))
        drawQuads(s);
    s.quadColours = colours;
    s.quadTexCoords = texCoords;
    s.quadSmooth = s.smooth;
    linequads::appendPrimitive(primitive, vertices, count, view(s), s.width * float(s.scale), s.smooth, s.quads);
    if (s.batches == 0) drawQuads(s);
}

}  // namespace

std::optional<LineWay> lineWayNamed(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = char(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (lower == "native") return LineWay::native;
    if (lower == "quads") return LineWay::quads;
    return std::nullopt;
}

const char* lineWayName(LineWay way) { return way == LineWay::native ? "native" : "quads"; }

float reportedLineWidth(float rangeEnd, bool queryFailed) {
    // Every driver draws lines 1 pixel wide: anything less, or nothing, says only that.
    return queryFailed || !(rangeEnd >= 1.0f) ? 1.0f : rangeEnd;
}

std::optional<float> lineWidthLimitValue(std::string_view text) {
    // A plain decimal number, as people write widths: strtof alone would also take blanks, a sign,
    // hexadecimal and "inf". (Not from_chars: not every C++ library we build with has it for float.)
    const bool plain = !text.empty() && (isDigit(text[0]) || text[0] == '.') &&
                       text.find_first_not_of("0123456789.eE+-") == std::string_view::npos;
    if (!plain) return std::nullopt;
    const std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const float value = std::strtof(copy.c_str(), &end);
    if (errno == ERANGE || end != copy.c_str() + copy.size() || !std::isfinite(value) || !(value > 0.0f))
        return std::nullopt;
    return value;
}

LineWidthLimits driverLineWidths(const char* program) {
    // Errors left by earlier calls are not the query's.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    GLfloat smooth[2] = {0.0f, 0.0f}, aliased[2] = {0.0f, 0.0f};
    glGetFloatv(GL_LINE_WIDTH_RANGE, smooth);
    const bool smoothFailed = glGetError() != GL_NO_ERROR;
    glGetFloatv(GL_ALIASED_LINE_WIDTH_RANGE, aliased);
    const bool aliasedFailed = glGetError() != GL_NO_ERROR;
    LineWidthLimits limits{reportedLineWidth(smooth[1], smoothFailed), reportedLineWidth(aliased[1], aliasedFailed)};
    if (const char* text = std::getenv("GLIMMERTIDE_LINE_WIDTH_LIMIT")) {
        if (const std::optional<float> width = lineWidthLimitValue(text))
            limits = {*width, *width};
        else
            std::fprintf(stderr, "%s: GLIMMERTIDE_LINE_WIDTH_LIMIT=%s is not a positive number of pixels; ignored\n",
                         program, text);
    }
    return limits;
}

LineWay lineWayFor(float widest, const LineWidthLimits& limits) {
    return widest <= limits.smooth && widest <= limits.aliased ? LineWay::native : LineWay::quads;
}

void useLineWay(LineWay way, const LineWidthLimits& limits) {
    Lines& s = lines();
    s.way = way;
    s.limits = limits;
    if (way == LineWay::quads) {
        linequads::prepare();
        return;
    }
    // GL's line state takes the renderer's.
    s.smooth ? enableLineSmoothing() : disableLineSmoothing();
    sendNativeWidth(s);
}

LineWay lineWay() { return lines().way; }

void setLinePixelScale(int scale) { lines().scale = std::clamp(scale, 1, 8); }

void setLineWidth(float width) {
    Lines& s = lines();
    s.width = width;
    if (s.way == LineWay::native) sendNativeWidth(s);
}

float lineWidth() { return lines().width; }

void enableLineSmoothing() {
    Lines& s = lines();
    s.smooth = true;
    if (s.way != LineWay::native) return;
    glEnable(GL_LINE_SMOOTH);
    glHint(GL_LINE_SMOOTH_HINT, GL_NICEST);
    if (nativeWidth(s) != s.sentWidth) sendNativeWidth(s);  // another limit may apply now
}

void disableLineSmoothing() {
    Lines& s = lines();
    s.smooth = false;
    if (s.way != LineWay::native) return;
    glDisable(GL_LINE_SMOOTH);
    if (nativeWidth(s) != s.sentWidth) sendNativeWidth(s);
}

bool lineSmoothing() { return lines().smooth; }

bool isLinePrimitive(unsigned primitive) {
    return primitive == GL_LINES || primitive == GL_LINE_LOOP || primitive == GL_LINE_STRIP;
}

void beginLines(unsigned primitive) {
    Lines& s = lines();
    if (s.way == LineWay::native) {
        glBegin(primitive);
        return;
    }
    s.primitive = primitive;
    s.vertices.clear();
    s.colourGiven = s.texCoordGiven = false;
}

void lineColour(float red, float green, float blue, float alpha) {
    Lines& s = lines();
    if (s.way == LineWay::native) {
        glColor4f(red, green, blue, alpha);
        return;
    }
    s.colour[0] = red;
    s.colour[1] = green;
    s.colour[2] = blue;
    s.colour[3] = alpha;
    if (!s.colourGiven) s.colourFrom = s.vertices.size();
    s.colourGiven = true;
}

void lineTexCoord(float s0, float t0) {
    Lines& s = lines();
    if (s.way == LineWay::native) {
        glTexCoord2f(s0, t0);
        return;
    }
    s.texCoord[0] = s0;
    s.texCoord[1] = t0;
    if (!s.texCoordGiven) s.texCoordFrom = s.vertices.size();
    s.texCoordGiven = true;
}

void lineVertex(float x, float y, float z) {
    Lines& s = lines();
    if (s.way == LineWay::native) {
        glVertex3f(x, y, z);
        return;
    }
    linequads::Vertex v{{x, y, z}, {}, {}};
    std::copy(s.colour, s.colour + 4, v.colour);
    std::copy(s.texCoord, s.texCoord + 2, v.texCoord);
    s.vertices.push_back(v);
}

void endLines() {
    Lines& s = lines();
    if (s.way == LineWay::native) {
        glEnd();
        return;
    }
    // Vertices given before the first colour or texture coordinate take GL's current ones, which
    // nothing has changed since the primitive began.
    if (s.colourGiven && s.colourFrom > 0) {
        float current[4];
        glGetFloatv(GL_CURRENT_COLOR, current);
        for (size_t i = 0; i < s.colourFrom; ++i) std::copy(current, current + 4, s.vertices[i].colour);
    }
    if (s.texCoordGiven && s.texCoordFrom > 0) {
        float current[4];
        glGetFloatv(GL_CURRENT_TEXTURE_COORDS, current);
        for (size_t i = 0; i < s.texCoordFrom; ++i) std::copy(current, current + 2, s.vertices[i].texCoord);
    }
    addPrimitive(s, s.primitive, s.vertices.data(), int(s.vertices.size()), s.colourGiven, s.texCoordGiven);
    // As in GL, the last colour and texture coordinate given stay current.
    if (s.colourGiven) glColor4f(s.colour[0], s.colour[1], s.colour[2], s.colour[3]);
    if (s.texCoordGiven) glTexCoord2f(s.texCoord[0], s.texCoord[1]);
}

void bindLineArrays(const LineArrays& arrays) {
    Lines& s = lines();
    s.arrays = arrays;
    s.arraysBound = true;
    s.colourArray = false;
    const GLsizei stride = GLsizei(arrays.stride * sizeof(float));
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(3, GL_FLOAT, stride, arrays.vertices);
    glColorPointer(4, GL_FLOAT, stride, arrays.vertices + 3);
}

void lineColourArray(bool on) {
    Lines& s = lines();
    if (on == s.colourArray) return;
    s.colourArray = on;
    on ? glEnableClientState(GL_COLOR_ARRAY) : glDisableClientState(GL_COLOR_ARRAY);
}

void drawLineArrays(unsigned primitive, int first, int count) {
    Lines& s = lines();
    if (s.way == LineWay::native) {
        glDrawArrays(primitive, first, count);
        return;
    }
    // With the colour array off, the quads take the current colour, as the lines would: the same
    // colour to the last bit.
    s.vertices.clear();
    for (int i = first; i < first + count; ++i) {
        const float* a = s.arrays.vertices + size_t(i) * size_t(s.arrays.stride);
        s.vertices.push_back({{a[0], a[1], a[2]}, {a[3], a[4], a[5], a[6]}, {0.0f, 0.0f}});
    }
    addPrimitive(s, primitive, s.vertices.data(), count, s.colourArray, false);
}

void releaseLineArrays() {
    Lines& s = lines();
    s.arraysBound = false;
    s.colourArray = false;
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

LineBatch::LineBatch() {
    Lines& s = lines();
    if (s.batches++ == 0) s.viewRead = false;
}

LineBatch::~LineBatch() {
    flush();
    Lines& s = lines();
    if (--s.batches == 0) s.viewRead = false;
}

void LineBatch::flush() {
    Lines& s = lines();
    if (!s.quads.empty()) drawQuads(s);
}
