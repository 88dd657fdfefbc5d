// The soundtrack in the archive, decoded as a player would: long enough for the show, 44.1 kHz
// stereo, never near clipping, and louder just after each cue than just before it.
#include <gtest/gtest.h>
#include <mpg123.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "base/debug_server.h"
#include "archive/file_server.h"
#include "music.h"

namespace {

struct Pcm {
    long rate = 0;
    int channels = 0;
    std::vector<std::int16_t> samples;
};

Pcm decodeSoundtrack() {
    DebugServer log(11, 0);
    FileServer files(log, 200);
    Pcm pcm;
    if (files.openArchive((std::string(GLIMMER_BINARY_DIR) + "/Glimmertide.dat").c_str()) != 0) return pcm;
    int32_t size = files.getFileSize("glimmertide1.mp3");
    FileData data = files.getFileData("glimmertide1.mp3");
    if (size <= 0 || !data) return pcm;

    mpg123_handle* h = mpg123_new(nullptr, nullptr);
    mpg123_format_none(h);
    mpg123_format(h, 44100, MPG123_STEREO | MPG123_MONO, MPG123_ENC_SIGNED_16);
    mpg123_open_feed(h);
    mpg123_feed(h, data.get(), static_cast<std::size_t>(size));
    std::vector<unsigned char> buf(1 << 16);
    for (;;) {
        std::size_t got = 0;
        int rc = mpg123_read(h, buf.data(), buf.size(), &got);
        if (rc == MPG123_NEW_FORMAT) {
            int enc = 0;
            mpg123_getformat(h, &pcm.rate, &pcm.channels, &enc);
            continue;
        }
        const auto* s = reinterpret_cast<const std::int16_t*>(buf.data());
        pcm.samples.insert(pcm.samples.end(), s, s + got / 2);
        if (rc != MPG123_OK) break;
    }
    mpg123_delete(h);
    return pcm;
}

const Pcm& soundtrack() {
    static const Pcm pcm = decodeSoundtrack();
    return pcm;
}

TEST(Soundtrack, LastsTheWholeShowAt44100HzStereo) {
    const Pcm& pcm = soundtrack();
    ASSERT_FALSE(pcm.samples.empty());
    EXPECT_EQ(pcm.rate, 44100);
    ASSERT_EQ(pcm.channels, 2);
    double seconds = static_cast<double>(pcm.samples.size() / 2) / 44100.0;
    EXPECT_GE(seconds, 183.4);
    EXPECT_LE(seconds, 190.0);
}

TEST(Soundtrack, PeaksBelowMinusOneDbfsAndIsNotSilent) {
    const Pcm& pcm = soundtrack();
    ASSERT_FALSE(pcm.samples.empty());
    int peak = 0;
    double sum = 0;
    for (std::int16_t s : pcm.samples) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
        sum += double(s) * s;
    }
    double peakDbfs = 20 * std::log10(peak / 32768.0);
    double rmsDbfs = 10 * std::log10(sum / static_cast<double>(pcm.samples.size()) / (32768.0 * 32768.0));
    EXPECT_LT(peakDbfs, -1.0);
    EXPECT_GT(rmsDbfs, -30.0);
}

TEST(Soundtrack, EnergyRisesOnTheCueTicks) {
    const Pcm& pcm = soundtrack();
    ASSERT_FALSE(pcm.samples.empty());
    // Every cue that follows the one before it by more than 12 ticks: a clear rise on nearly
    // all of them and a rise on every one.
    std::vector<int> ticks = music::isolatedCueTicks();
    ASSERT_GT(ticks.size(), 150u);
    int clear = 0;
    for (int tick : ticks) {
        double rise = music::cueRise(pcm.samples, tick);
        EXPECT_GT(rise, 1.1) << "cue at tick " << tick;
        clear += rise >= music::kMinCueRise;
    }
    EXPECT_GE(clear, static_cast<int>(ticks.size()) * 9 / 10);
}

}  // namespace
