#pragma once
// A stand-in for the audio layer that writes down every call and fails the ones it is told to.
#include <string>
#include <vector>

#include "platform/audio.h"

class RecordingAudio final : public Audio {
public:
    std::vector<std::string> calls;
    std::string failing;  // the name of the call that reports failure, if any
    const uint8_t* streamBytes = nullptr;
    size_t streamSize = 0;
    AudioCapture capture;
    bool active = false;
    double heard = -1.0;  // what heardSeconds reports

    bool init() override { return record("init"); }
    bool createStream(const uint8_t* mp3, size_t size) override {
        streamBytes = mp3;
        streamSize = size;
        return record("createStream");
    }
    bool start() override { return record("start"); }
    bool play() override { return (active = record("play")); }
    bool stop() override {
        active = false;
        return record("stop");
    }
    void setCapture(AudioCapture c) override {
        capture = std::move(c);
        record("setCapture");
    }
    bool isActive() const override {
        const_cast<RecordingAudio*>(this)->calls.push_back("isActive");
        return active;
    }
    bool pump() override { return record("pump") && active; }
    double heardSeconds() const override {
        const_cast<RecordingAudio*>(this)->calls.push_back("heardSeconds");
        return heard;
    }
    const char* error() const override { return "told to fail"; }

private:
    bool record(const char* name) {
        calls.push_back(name);
        return failing != name;
    }
};
