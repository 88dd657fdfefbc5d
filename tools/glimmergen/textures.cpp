#include "textures.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "detmath.h"

namespace textures {
namespace {

std::uint8_t toByte(double v) { return static_cast<std::uint8_t>(std::lrint(std::clamp(v, 0.0, 1.0) * 255.0)); }

double gauss(double x, double width) { return det::exp(-(x * x) / (width * width)); }

double power(double x, double p) { return x <= 0 ? 0.0 : det::exp(p * det::log(x)); }

// ---- a small stroke font -------------------------------------------------------------------

struct Point {
    double x, y;
};

// Glyphs on a 4 x 6 grid, y downward; each is a list of polylines separated by a {-1, -1} mark.
std::vector<Point> glyph(char c) {
    constexpr Point B{-1, -1};
    switch (c) {
        case 'A': return {{0, 6}, {0, 2}, {2, 0}, {4, 2}, {4, 6}, B, {0, 3.6}, {4, 3.6}};
        case 'C': return {{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}};
        case 'D': return {{0, 0}, {0, 6}, {2.6, 6}, {4, 4.6}, {4, 1.4}, {2.6, 0}, {0, 0}};
        case 'E': return {{4, 0}, {0, 0}, {0, 6}, {4, 6}, B, {0, 3}, {3, 3}};
        case 'F': return {{4, 0}, {0, 0}, {0, 6}, B, {0, 3}, {3, 3}};
        case 'G': return {{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 5}, {1, 6}, {3, 6}, {4, 5}, {4, 3.4}, {2.2, 3.4}};
        case 'H': return {{0, 0}, {0, 6}, B, {4, 0}, {4, 6}, B, {0, 3}, {4, 3}};
        case 'I': return {{2, 0}, {2, 6}, B, {1, 0}, {3, 0}, B, {1, 6}, {3, 6}};
        case 'L': return {{0, 0}, {0, 6}, {4, 6}};
        case 'M': return {{0, 6}, {0, 0}, {2, 3.4}, {4, 0}, {4, 6}};
        case 'N': return {{0, 6}, {0, 0}, {4, 6}, {4, 0}};
        case 'O': return {{1, 0}, {3, 0}, {4, 1}, {4, 5}, {3, 6}, {1, 6}, {0, 5}, {0, 1}, {1, 0}};
        case 'R': return {{0, 6}, {0, 0}, {3, 0}, {4, 1}, {4, 2}, {3, 3}, {0, 3}, B, {2, 3}, {4, 6}};
        case 'S':
            return {{4, 1}, {3, 0}, {1, 0}, {0, 1}, {0, 2}, {1, 3}, {3, 3}, {4, 4}, {4, 5}, {3, 6}, {1, 6}, {0, 5}};
        case 'T': return {{0, 0}, {4, 0}, B, {2, 0}, {2, 6}};
        default: return {};
    }
}

struct Segment {
    Point a, b;
};

struct TextStyle {
    double left, top;      // pixel position of the first glyph's grid origin
    double scaleX, scaleY;  // pixels per grid unit
    double advance;         // pixels from one glyph origin to the next
    double halfWidth;       // half the stroke width in pixels
};

std::vector<Segment> layout(std::string_view text, const TextStyle& s) {
    std::vector<Segment> out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        double ox = s.left + s.advance * static_cast<double>(i);
        std::vector<Point> g = glyph(text[i]);
        for (std::size_t k = 0; k + 1 < g.size(); ++k) {
            if (g[k].x < 0 || g[k + 1].x < 0) continue;
            out.push_back({{ox + g[k].x * s.scaleX, s.top + g[k].y * s.scaleY},
                           {ox + g[k + 1].x * s.scaleX, s.top + g[k + 1].y * s.scaleY}});
        }
    }
    return out;
}

double distance(const Point& p, const Segment& s) {
    double dx = s.b.x - s.a.x, dy = s.b.y - s.a.y;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? std::clamp(((p.x - s.a.x) * dx + (p.y - s.a.y) * dy) / len2, 0.0, 1.0) : 0.0;
    double ex = s.a.x + t * dx - p.x, ey = s.a.y + t * dy - p.y;
    return std::sqrt(ex * ex + ey * ey);
}

double nearest(const Point& p, const std::vector<Segment>& segments) {
    double best = 1e9;
    for (const Segment& s : segments) best = std::min(best, distance(p, s));
    return best;
}

std::string_view kTitle = "GLIMMERTIDE";
std::string_view kSubtitle = "LINES OF LIGHT";

TextStyle centred(std::string_view text, double top, double scaleX, double scaleY, double gap, double halfWidth) {
    double glyphWidth = 4 * scaleX, advance = glyphWidth + gap;
    double width = advance * static_cast<double>(text.size()) - gap;
    return {(256.0 - width) / 2.0, top, scaleX, scaleY, advance, halfWidth};
}

}  // namespace

Image lightStreak() {
    Image img{128, 256, {}};
    img.rgb.resize(static_cast<std::size_t>(img.width * img.height * 3));
    static constexpr double streakS[6] = {0.22, 0.33, 0.41, 0.59, 0.68, 0.79};
    static constexpr double streakLevel[6] = {0.35, 0.5, 0.6, 0.6, 0.45, 0.3};
    for (int y = 0; y < img.height; ++y) {
        double t = (y + 0.5) / img.height;
        // Bright along the whole length, brightest in the middle, with a slow shimmer.
        double along = 0.55 + 0.45 * power(det::sin(det::kPi * t), 0.6);
        along *= 1.0 + 0.12 * det::sin(det::kTwoPi * (6.0 * t + 0.15));
        for (int x = 0; x < img.width; ++x) {
            double s = (x + 0.5) / img.width;
            double core = gauss(s - 0.5, 0.07) + 0.4 * gauss(s - 0.5, 0.25);
            double streaks = 0;
            for (int k = 0; k < 6; ++k) {
                double flicker = 0.7 + 0.3 * det::sin(det::kTwoPi * (3.0 + k) * t + k);
                streaks += streakLevel[k] * flicker * gauss(s - streakS[k], 0.012);
            }
            double v = std::min(1.0, (core + streaks) * along);
            std::uint8_t* px = &img.rgb[static_cast<std::size_t>((y * img.width + x) * 3)];
            px[0] = toByte(power(v, 1.25));
            px[1] = toByte(power(v, 1.1) * 0.96);
            px[2] = toByte(power(v, 0.8));
        }
    }
    return img;
}

Image titleCard() {
    Image img{256, 256, {}};
    img.rgb.resize(static_cast<std::size_t>(img.width * img.height * 3));
    TextStyle titleStyle = centred(kTitle, 62, 4.2, 7.0, 5.0, 2.4);
    TextStyle subStyle = centred(kSubtitle, 140, 2.6, 3.6, 4.0, 1.2);
    std::vector<Segment> title = layout(kTitle, titleStyle);
    std::vector<Segment> sub = layout(kSubtitle, subStyle);
    static constexpr Point sparkles[7] = {{28, 40}, {214, 52}, {46, 190}, {226, 176}, {128, 214}, {178, 30}, {90, 118}};
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            Point p{x + 0.5, y + 0.5};
            // A faint blue haze behind the text.
            double haze = 0.05 * gauss((p.y - 105) / 256.0, 0.35) * gauss((p.x - 128) / 256.0, 0.5);
            double dt = nearest(p, title), ds = nearest(p, sub);
            double ink = std::max(std::clamp(titleStyle.halfWidth + 0.5 - dt, 0.0, 1.0),
                                  0.85 * std::clamp(subStyle.halfWidth + 0.5 - ds, 0.0, 1.0));
            double glow = 0.35 * gauss(dt, 5.0) + 0.15 * gauss(ds, 3.0);
            // A thin rule between title and subtitle, fading toward its ends.
            double rule = std::clamp(1.0 - std::fabs(p.y - 124.0), 0.0, 1.0) * gauss((p.x - 128) / 90.0, 1.0) * 0.6;
            double star = 0;
            for (const Point& s : sparkles) {
                double dx = std::fabs(p.x - s.x), dy = std::fabs(p.y - s.y);
                star = std::max(star, gauss(dx, 0.9) * gauss(dy, 6.0) + gauss(dy, 0.9) * gauss(dx, 6.0));
            }
            double v = std::min(1.0, std::max({ink * 0.92, glow, rule, star * 0.7}));
            std::uint8_t* px = &img.rgb[static_cast<std::size_t>((y * img.width + x) * 3)];
            px[0] = toByte(v + haze * 0.4);
            px[1] = toByte(v + haze * 0.7);
            px[2] = toByte(v * 0.97 + haze * 1.6);
        }
    }
    return img;
}

std::vector<std::uint8_t> encodeJpeg(const Image& image, int quality) {
    tjhandle handle = tjInitCompress();
    if (!handle) throw std::runtime_error("tjInitCompress failed");
    unsigned char* jpeg = nullptr;
    unsigned long size = 0;
    int rc = tjCompress2(handle, image.rgb.data(), image.width, image.width * 3, image.height, TJPF_RGB, &jpeg, &size,
                         TJSAMP_444, quality, TJFLAG_ACCURATEDCT);
    std::vector<std::uint8_t> out;
    if (rc == 0) out.assign(jpeg, jpeg + size);
    std::string error = rc == 0 ? "" : tjGetErrorStr2(handle);
    tjFree(jpeg);
    tjDestroy(handle);
    if (rc != 0) throw std::runtime_error("JPEG encoding failed: " + error);
    return out;
}

}  // namespace textures
