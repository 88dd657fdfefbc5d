#include "video/container.h"

#include "video/av_container.h"
#include "video/avi_container.h"
#include "video/video_encoder.h"

namespace {

constexpr ContainerFormat formats[] = {
    {".avi", defaultVideoCodec, "Couldn't open avi file!", "Couldn't create compressed avi stream",
     "Couldn't write to avi stream", "Couldn't write audio to avi stream"},
    {".mp4", "h264", "Couldn't open mp4 file!", "Couldn't create compressed mp4 stream",
     "Couldn't write to mp4 stream", "Couldn't write audio to mp4 stream"},
    {".mkv", "ffv1", "Couldn't open mkv file!", "Couldn't create compressed mkv stream",
     "Couldn't write to mkv stream", "Couldn't write audio to mkv stream"},
    {".webm", "vp9", "Couldn't open webm file!", "Couldn't create compressed webm stream",
     "Couldn't write to webm stream", "Couldn't write audio to webm stream"},
};

// What each container takes besides its default; AVI takes the codecs of its menu.
const std::vector<std::string>& otherCodecs(const ContainerFormat& format) {
    static const std::vector<std::string> mp4 = {"mpeg4", "mjpeg"};
    static const std::vector<std::string> mkv = {"h264", "vp9", "mjpeg", "mpeg4", "huffyuv"};
    static const std::vector<std::string> none;
    const std::string extension = format.extension;
    return extension == ".mp4" ? mp4 : extension == ".mkv" ? mkv : none;
}

std::string lowerCased(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

}  // namespace

bool ContainerFormat::avi() const { return this == &formats[0]; }

std::vector<const ContainerFormat*> containerFormats() {
    std::vector<const ContainerFormat*> all;
    for (const ContainerFormat& f : formats) all.push_back(&f);
    return all;
}

const ContainerFormat* containerFormatFor(const std::string& fileName) {
    const std::string name = lowerCased(fileName);
    for (const ContainerFormat& f : formats) {
        const std::string extension = f.extension;
        if (name.size() > extension.size() && name.compare(name.size() - extension.size(), extension.size(), extension) == 0 &&
            name[name.size() - extension.size() - 1] != '/')
            return &f;
    }
    return nullptr;
}

std::string unknownFormatText(const std::string& fileName) {
    return "unknown file type of '" + fileName + "': recordings are .avi, .mp4, .mkv or .webm";
}

std::vector<std::string> containerCodecs(const ContainerFormat& format) {
    std::vector<std::string> codecs;
    if (format.avi()) {
        // The default first, where the codec box puts its Enter button: never 1.7 GB of raw frames.
        const std::vector<std::string> available = availableVideoCodecs();
        if (videoCodecAvailable(defaultVideoCodec)) codecs.push_back(defaultVideoCodec);
        for (const std::string& c : available)
            if (c != defaultVideoCodec) codecs.push_back(c);
        return codecs;
    }
    if (videoCodecAvailable(format.defaultCodec)) codecs.push_back(format.defaultCodec);
    for (const std::string& c : otherCodecs(format))
        if (videoCodecAvailable(c)) codecs.push_back(c);
    return codecs;
}

std::string listed(const std::vector<std::string>& names) {
    std::string out;
    for (const std::string& n : names) out += (out.empty() ? "" : ", ") + n;
    return out;
}

std::string codecRefusal(const ContainerFormat& format, const std::string& codec) {
    if (format.avi() || codec.empty()) return "";
    const std::vector<std::string> codecs = containerCodecs(format);
    for (const std::string& c : codecs)
        if (c == codec) return "";
    return "codec=" + codec + " does not go into " + format.extension + " files, which take: " + listed(codecs);
}

std::unique_ptr<Container> makeContainer(const ContainerFormat& format, const ContainerSettings& settings,
                                         uint64_t aviRiffLimit, int* error) {
    if (format.avi()) return AviContainer::make(settings, aviRiffLimit, error);
    return AvContainer::make(format, settings, error);
}
