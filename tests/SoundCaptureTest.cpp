// Needs an X display (the test command runs it under Xvfb). No sound card is needed: ALSA's
// file plugin, named in an .asoundrc in a HOME of the test's own, takes what Allegro's ALSA
// driver plays and writes it to a file.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "sound/internal/TrelSoundOutput.h"
#include "trel.h"

namespace {

struct Frame {
    int left, right;
};

// Allegro's mixer plays a centred stereo stream with the left channel at 254/255 (its pan
// runs to 255, so 128 is a step right of centre) and rounds each channel by up to one.
bool playedAs(const Frame& captured, const Frame& rendered) {
    return std::abs(captured.left - rendered.left * 254 / 255) <= 1 &&
           std::abs(captured.right - rendered.right) <= 1;
}

// The captured file: unsigned 16-bit stereo, as Allegro's driver opened the device.
std::vector<Frame> readCapture(const std::string& file) {
    const std::string bytes = readFile(file);
    std::vector<Frame> frames;
    auto sample = [&](std::size_t at) {
        const unsigned value =
            static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
        return static_cast<int>(value) - 0x8000;
    };
    for (std::size_t at = 0; at + 4 <= bytes.size(); at += 4)
        frames.push_back({sample(at), sample(at + 2)});
    return frames;
}

// When the thread that fills the stream is held up (a busy machine), Allegro plays a buffer
// of the stream's ring again: a block of frames already played. Its length, when the
// captured frames from at are such a block of the frames before played; 0 otherwise.
std::size_t replayedBlock(const std::vector<Frame>& captured, std::size_t at,
                          const std::vector<Frame>& rendered, std::size_t played) {
    const std::size_t block = TrelSoundOutput::kBufferFrames;
    for (std::size_t start = 0; start + block <= played; ++start) {
        std::size_t same = 0;
        while (same < block && at + same < captured.size() &&
               playedAs(captured[at + same], rendered[start + same]))
            ++same;
        if (same == block || at + same == captured.size())
            return same;
    }
    return 0;
}

class SoundCapture : public InTempDir {
protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr)
            GTEST_SKIP() << "no X display";
        InTempDir::SetUp();
        capture = dir + "/captured.raw";
        FILE* rc = std::fopen((dir + "/.asoundrc").c_str(), "w");
        std::fprintf(
            rc, "pcm.!default { type file; slave.pcm \"null\"; file \"%s\"; format \"raw\" }\n",
            capture.c_str());
        std::fclose(rc);
        setenv("HOME", dir.c_str(), 1);
        // ALSA's null device takes whatever it is given at once, so Allegro's driver, which
        // writes a fragment each time its thread runs (a hundred times a second), would play
        // twice as fast as real time. With fragments of 441 frames it plays at about real time,
        // as a sound card does. The engine leaves these settings of the game's file alone.
        FILE* ini = std::fopen((dir + "/trela4.ini").c_str(), "w");
        std::fprintf(ini, "[sound]\nalsa_numfrags = 2\nalsa_fragsize = 441\n");
        std::fclose(ini);
    }
    std::string capture;
};

} // namespace

// Three seconds of music and effects played in a window: what the sound driver played is
// the engine's own render of the same ticks, frame for frame, from the stream's start to
// the last frame played, apart from silence put in where the queue ran dry and buffers the
// driver played again while the filling thread was held up (both only on a busy machine).
TEST_F(SoundCapture, WhatTheDriverPlaysIsTheEnginesRender) {
    TrelSystem sys;
    ASSERT_TRUE(sys.iface.init());
    ASSERT_TRUE(sys.newZone("capture"));
    // The music never has a silent frame, so silence in the capture can only be put in.
    std::vector<std::int16_t> tune(2 * 30000);
    for (std::size_t i = 0; i < tune.size(); ++i)
        tune[i] =
            static_cast<std::int16_t>((i % 2 ? -1 : 1) * (2000 + static_cast<int>(i * 37 % 9000)));
    TrelWavWriter wav;
    ASSERT_TRUE(wav.start("tune.wav", 44100));
    wav.write(tune.data(), 30000);
    ASSERT_TRUE(wav.finish());
    std::vector<std::int16_t> chirp(4000);
    for (std::size_t i = 0; i < chirp.size(); ++i)
        chirp[i] = static_cast<std::int16_t>((i * i / 50) % 12000 - 6000);
    TrelSound effect(chirp.data(), 4000, 1, 22050);

    ASSERT_TRUE(sys.audio.playMusic("tune.wav"));
    ASSERT_TRUE(sys.audio.isHeard()) << readLog();
    std::vector<Frame> rendered;
    for (int tick = 0; tick < 180; ++tick) {
        if (tick % 20 == 5)
            sys.audio.mixer.play(&effect, 200, tick * 13 % 257, 50000 + tick * 200);
        ASSERT_EQ(sys.runTicks(1), 1);
        const std::int16_t* samples = sys.audio.mixer.getTickSamples();
        for (int f = 0; f < sys.audio.mixer.getTickFrames(); ++f)
            rendered.push_back({samples[2 * f], samples[2 * f + 1]});
    }
    sys.iface.deinit(); // closes the device, which completes the file

    const std::vector<Frame> captured = readCapture(capture);
    std::size_t at = 0;
    while (at < captured.size() && captured[at].left == 0 && captured[at].right == 0)
        ++at;
    std::size_t matched = 0;
    long long putIn = 0;
    long long replayed = 0;
    for (; at < captured.size() && matched < rendered.size();) {
        if (playedAs(captured[at], rendered[matched])) {
            ++matched;
            ++at;
        } else if (captured[at].left == 0 && captured[at].right == 0) {
            ++putIn;
            ++at;
        } else {
            const std::size_t again = replayedBlock(captured, at, rendered, matched);
            ASSERT_GT(again, 0u) << "captured frame " << at << " (" << captured[at].left << ", "
                                 << captured[at].right << ") is not rendered frame " << matched
                                 << " (" << rendered[matched].left << ", "
                                 << rendered[matched].right << "), nor a block played before";
            replayed += static_cast<long long>(again);
            at += again;
        }
    }
    std::printf("Matched %zu of %zu rendered frames; %lld frames of silence put in, %lld played "
                "again.\n",
                matched, rendered.size(), putIn, replayed);
    // What was still queued at the end was never played.
    EXPECT_GT(matched + 16384, rendered.size());
}
