#include "generate.h"

#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "mp3.h"
#include "music.h"
#include "scene_file.h"
#include "scenes.h"
#include "textures.h"
#include "title_view.h"

namespace {

std::string format(const char* fmt, double a, double b = 0, double c = 0) {
    char line[256];
    std::snprintf(line, sizeof line, fmt, a, b, c);
    return line;
}

}  // namespace

Content generateContent(const std::function<void(const std::string&)>& note) {
    Content content;
    for (const scenes::Scene& scene : scenes::all()) {
        std::vector<std::uint8_t> bytes = scenes::sceneFile(scene);
        std::string problem = scenes::selfCheck(scene, bytes);
        if (!problem.empty()) throw std::runtime_error("self-check failed: " + problem);
        note(scene.path + format(": meshes %.0f, vertices %.0f, polygons %.0f; read back intact",
                                 static_cast<double>(scene.meshes.size()), scenes::vertexCount(scene),
                                 scenes::polygonCount(scene)));
        content.files.push_back({scene.path, std::move(bytes)});
    }
    content.files.push_back({"data/x26.jpg", textures::encodeJpeg(textures::lightStreak(), 92)});
    content.files.push_back({"data/glimmertide.jpg", textures::encodeJpeg(textures::titleCard(), 92)});
    const title_view::Region shown = title_view::visibleRegion();
    note(format("data/glimmertide.jpg: text within columns %.0f to %.0f", shown.left, shown.right - 1) +
         format(" and rows %.0f to %.0f, shown throughout the card's approach", shown.top, shown.bottom - 1) +
         format(" (a texel looks %.2f times as wide as tall)", shown.aspect));

    auto started = std::chrono::steady_clock::now();
    music::Soundtrack track = music::compose();
    double composed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    if (track.peakDbfs > -1.0) throw std::runtime_error(format("soundtrack peaks at %.2f dBFS", track.peakDbfs));
    std::vector<std::uint8_t> mp3 = mp3::encode(track.pcm);
    double encoded = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count() - composed;
    note(format("soundtrack: %.1f s, peak %.2f dBFS, limited %.2f%% of the time, ",
                static_cast<double>(track.pcm.size() / 2) / music::kRate, track.peakDbfs, track.limitedPercent) +
         format("%.0f of %.0f isolated cues rise clearly; composed in %.1f s, ",
                track.cuesChecked - static_cast<double>(track.quietCues.size()), track.cuesChecked, composed) +
         format("encoded in %.1f s", encoded));
    content.files.push_back({"data/glimmertide1.mp3", std::move(mp3)});
    return content;
}
