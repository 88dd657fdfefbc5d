#include "textures.h"

#include <turbojpeg.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string_view>

#include "detmath.h"
#include "title_view.h"

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
        case 'M': return {{0, 6}, {0, 0}, {2, 2.8}, {4, 0}, {4, 6}};
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
    double left, top;      // position of the first glyph's grid origin
    double scaleX, scaleY;  // units per grid step
    double advance;         // from one glyph origin to the next
    double halfWidth;       // half the stroke width
    double height() const { return 6 * scaleY; }
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

// A line of text that spans `width` exactly: glyphs `tallness` times as tall as wide, gaps of
// `spacing` glyph widths, strokes `boldness` glyph widths across.
TextStyle spanning(std::string_view text, double left, double width, double spacing, double tallness,
                   double boldness) {
    const double n = static_cast<double>(text.size());
    const double glyphWidth = width / (n + (n - 1) * spacing);
    return {left, 0, glyphWidth / 4, glyphWidth * tallness / 6, glyphWidth * (1 + spacing), glyphWidth * boldness};
}

TextStyle scaled(TextStyle s, double factor, double centreX) {
    s.left = centreX + (s.left - centreX) * factor;
    s.scaleX *= factor;
    s.scaleY *= factor;
    s.advance *= factor;
    s.halfWidth *= factor;
    return s;
}

// Ink and glow of a line of text at p: bold strokes, so that enough of the show's random lines
// cross them, and a halo that lights the lines passing close by.
double textLight(const Point& p, const std::vector<Segment>& text, const TextStyle& s, double ink, double glow) {
    const double d = nearest(p, text);
    return std::max(ink * std::clamp(s.halfWidth + 0.5 - d, 0.0, 1.0), glow * gauss(d, 2.5 * s.halfWidth));
}

// The title picture is drawn in view units: one texel down and 1/aspect texel across, so that text
// keeps its proportions on screen, where a texel looks `aspect` times as wide as tall.
struct TitleLayout {
    title_view::Region shown;
    TextStyle title, subtitle;
    double ruleY, centreX, centreY, width;
};

TitleLayout titleLayout() {
    const title_view::Region shown = title_view::visibleRegion();
    TitleLayout t{};
    t.shown = shown;
    // Everything stays inside the texels shown throughout the card, with a margin, so that the text
    // clears the picture's edges even when the line field is nearest.
    const double left = shown.left * shown.aspect, right = shown.right * shown.aspect;
    const double margin = 0.06 * (right - left);
    const double height = (shown.bottom - shown.top) - 2 * margin;
    t.width = right - left - 2 * margin;
    t.centreX = (left + right) / 2;
    t.centreY = (shown.top + shown.bottom) / 2.0;
    // Title, a rule between, subtitle: as large as the width allows, smaller if the height does not.
    // The subtitle spans the same width in smaller, wider spaced glyphs.
    t.title = spanning(kTitle, left + margin, t.width, 0.32, 1.9, 0.145);
    t.subtitle = spanning(kSubtitle, left + margin, t.width, 0.6, 1.7, 0.16);
    constexpr double kGap = 0.45;  // title heights between each line and the rule
    const double full = t.title.height() * (1 + 2 * kGap) + t.subtitle.height();
    const double factor = std::min(1.0, height / full);
    t.title = scaled(t.title, factor, t.centreX);
    t.subtitle = scaled(t.subtitle, factor, t.centreX);
    const double gap = kGap * t.title.height(), stack = full * factor;
    t.title.top = t.centreY - stack / 2;
    t.ruleY = t.title.top + t.title.height() + gap;
    t.subtitle.top = t.ruleY + gap;
    return t;
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
    const TitleLayout t = titleLayout();
    const double aspect = t.shown.aspect;
    const std::vector<Segment> title = layout(kTitle, t.title), sub = layout(kSubtitle, t.subtitle);
    // Sparkles above and below the text, as fractions of the shown region.
    static constexpr Point sparkles[7] = {{0.08, 0.12}, {0.9, 0.2}, {0.15, 0.85}, {0.93, 0.78},
                                          {0.55, 0.93}, {0.68, 0.08}, {0.32, 0.22}};
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            Point p{(x + 0.5) * aspect, y + 0.5};
            // A faint blue haze behind the text.
            double haze = 0.05 * gauss((p.y - t.centreY) / 256.0, 0.35) * gauss((p.x - t.centreX) / 256.0, 0.5);
            double text = std::max(textLight(p, title, t.title, 0.95, 0.4), textLight(p, sub, t.subtitle, 0.9, 0.3));
            // A rule between title and subtitle, fading toward its ends.
            double rule = std::clamp(1.5 - std::fabs(p.y - t.ruleY), 0.0, 1.0) *
                          gauss((p.x - t.centreX) / (0.45 * t.width), 1.0) * 0.6;
            double star = 0;
            for (const Point& f : sparkles) {
                double dx = std::fabs(p.x - (t.shown.left + f.x * (t.shown.right - t.shown.left)) * aspect);
                double dy = std::fabs(p.y - (t.shown.top + f.y * (t.shown.bottom - t.shown.top)));
                star = std::max(star, gauss(dx, 1.2) * gauss(dy, 7.0) + gauss(dy, 1.2) * gauss(dx, 7.0));
            }
            double v = std::min(1.0, std::max({text, rule, star * 0.7}));
            std::uint8_t* px = &img.rgb[static_cast<std::size_t>((y * img.width + x) * 3)];
            px[0] = toByte(v + haze * 0.4);
            px[1] = toByte(v + haze * 0.7);
            px[2] = toByte(v * 0.97 + haze * 1.6);
        }
    }
    return img;
}

TitleText titleText() {
    const TitleLayout t = titleLayout();
    const double aspect = t.shown.aspect;
    auto inTexels = [&](const TextStyle& s, std::string_view text) {
        return TextLine{s.left / aspect, s.top, s.advance / aspect, 4 * s.scaleX / aspect, s.height(),
                        static_cast<int>(text.size())};
    };
    return {inTexels(t.title, kTitle), inTexels(t.subtitle, kSubtitle)};
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
