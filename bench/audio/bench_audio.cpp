// Decode speed of the soundtrack player (seconds of audio per second), and the offset between the
// demo clock and the audio heard over a live run, run as the program runs it: the stream plays
// first, then the clock starts, and once a frame the clock follows the soundtrack.
//
// The live run uses whatever SDL_AUDIODRIVER names, or the default device; where that cannot be
// opened (no sound card) it runs on SDL's dummy driver and says so in its label. It lasts
// GLIMMER_AUDIO_SECONDS seconds (default 20; 184 covers the whole show).
// GLIMMER_AUDIO_STEERING=0 leaves the clock running on its own, to see what the steering mends.
#include "app/soundtrack.h"
#include "platform/audio.h"
#include "platform/clock.h"
#include "support_mp3/mp3_maker.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>

namespace {

const std::vector<uint8_t>& soundtrack(double seconds) {
    static std::vector<uint8_t> mp3;
    static double made = 0;
    if (made != seconds) {
        mp3 = makeMp3({seconds, 44100, 2, 128, false});
        made = seconds;
    }
    return mp3;
}

void decodeOnly(benchmark::State& state) {
    const double seconds = 60.0;
    const std::vector<uint8_t>& mp3 = soundtrack(seconds);
    size_t bytes = 0;
    for (auto _ : state) {
        auto audio = makeAudio(AudioMode::decodeOnly);
        audio->init();
        audio->createStream(mp3.data(), mp3.size());
        audio->setCapture([&](uint8_t*, size_t n) { bytes += n; });
        audio->start();
        audio->play();
        while (audio->pump()) {
        }
    }
    double audioSeconds = static_cast<double>(bytes) / (Audio::kSampleRate * Audio::kBytesPerFrame);
    state.counters["audio_s_per_s"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
BENCHMARK(decodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// Offset = clock time - time of the audio heard now. What is heard is measured apart from the
// layer's own estimate that the steering uses: the audio handed to the device minus one device
// buffer (1024 frames) still waiting to be heard. Frames last 16 ms; the offset is read mid-frame,
// where the show reads its clock. estimate_lag_ms is how far the layer's estimate runs ahead of
// this measure; over_30ms_percent the share of readings more than 30 ms off.
void liveOffset(benchmark::State& state) {
    const char* env = std::getenv("GLIMMER_AUDIO_SECONDS");
    double seconds = env ? std::atof(env) : 20.0;
    const char* steeringEnv = std::getenv("GLIMMER_AUDIO_STEERING");
    const bool steering = !steeringEnv || std::atoi(steeringEnv) != 0;
    const std::vector<uint8_t>& mp3 = soundtrack(seconds + 2.0);
    for (auto _ : state) {
        std::atomic<uint64_t> handed{0};
        auto audio = makeAudio(AudioMode::live);
        if (!audio->init() && !std::getenv("SDL_AUDIODRIVER")) {
            // No sound card: time the run on SDL's dummy driver rather than give up.
            state.SetLabel(std::string("SDL dummy driver, no sound device (") + audio->error() + ")");
            setenv("SDL_AUDIODRIVER", "dummy", 1);
            audio = makeAudio(AudioMode::live);
            audio->init();
        }
        if (!audio->createStream(mp3.data(), mp3.size()) || !audio->start()) {
            state.SkipWithError(audio->error());
            return;
        }
        audio->setCapture([&](uint8_t*, size_t n) { handed += n / Audio::kBytesPerFrame; });
        audio->play();
        startClock(71);
        double sum = 0, worst = 0, first = NAN, last = 0, lagSum = 0;
        int samples = 0, lagSamples = 0, over30 = 0;
        while (true) {
            followSoundtrack(steering, *audio);
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
            double clock = currentTicks() * 0.014;
            if (clock >= seconds) break;
            double heard = std::max(0.0, static_cast<double>(handed.load()) - 1024.0) / Audio::kSampleRate;
            double estimate = audio->heardSeconds();
            if (estimate >= 0) {
                lagSum += (estimate - heard) * 1000.0;
                ++lagSamples;
            }
            double offset = (clock - heard) * 1000.0;
            if (std::isnan(first)) first = offset;
            last = offset;
            sum += offset;
            worst = std::max(worst, std::fabs(offset));
            over30 += std::fabs(offset) > 30.0;
            ++samples;
            std::this_thread::sleep_for(std::chrono::milliseconds(8));
        }
        stopClock();
        audio->stop();
        state.counters["mean_offset_ms"] = sum / samples;
        state.counters["max_abs_offset_ms"] = worst;
        state.counters["start_offset_ms"] = first;
        state.counters["drift_ms"] = last - first;
        state.counters["over_30ms_percent"] = 100.0 * over30 / samples;
        state.counters["run_s"] = seconds;
        state.counters["steering"] = steering;
        state.counters["estimate_lag_ms"] = lagSamples ? lagSum / lagSamples : NAN;
    }
}
BENCHMARK(liveOffset)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
