#include <gtest/gtest.h>
#include <sndfile.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <sys/stat.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "TestSupport.h"
#include "base/TrelLoadLimits.h"
#include "sound/TrelMixer.h"
#include "sound/TrelMusic.h"
#include "sound/TrelSound.h"
#include "sound/TrelWavWriter.h"

namespace {

const int kTick = 735; // frames a tick at 44,100 a second and 60 ticks

// Mixes ticks and returns their samples, left first.
std::vector<std::int16_t> render(TrelMixer& mixer, int ticks, int framerate = 60) {
    std::vector<std::int16_t> out;
    for (int t = 0; t < ticks; ++t) {
        mixer.mixTick(framerate);
        out.insert(out.end(), mixer.getTickSamples(),
                   mixer.getTickSamples() + 2 * mixer.getTickFrames());
    }
    return out;
}

// A sound of distinct, never-zero samples: 1000 + 7i, folded below 30000.
std::vector<std::int16_t> ramp(int frames, int channels) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(frames * channels));
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] =
            static_cast<std::int16_t>(1000 + (7 * i) % 29000) * (i % 2 && channels == 2 ? -1 : 1);
    return s;
}

std::string writeWav(const std::string& path, const std::vector<std::int16_t>& stereo) {
    TrelWavWriter wav;
    EXPECT_TRUE(wav.start(path.c_str(), 44100));
    wav.write(stereo.data(), static_cast<int>(stereo.size() / 2));
    EXPECT_TRUE(wav.finish());
    return path;
}

// Writes a sound file through libsndfile, as another tool would.
std::string writeSndfile(const std::string& path, int format, int channels, int rate, int frames) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* out = sf_open(path.c_str(), SFM_WRITE, &info);
    std::vector<std::int16_t> samples = ramp(frames * channels, 1);
    sf_writef_short(out, samples.data(), frames);
    sf_close(out);
    return path;
}

// The WAV file with another rate in its format chunk (and the byte rate to match).
std::string withRate(std::string wav, std::uint32_t rate) {
    const std::size_t fmt = wav.find("fmt ");
    for (int i = 0; i < 4; ++i) {
        wav[fmt + 12 + i] = static_cast<char>(rate >> (8 * i));
        wav[fmt + 16 + i] = static_cast<char>((rate * 2) >> (8 * i));
    }
    return wav;
}

// The FLAC file with its total of frames 0, as a stream that did not know its length writes.
std::string withoutLength(std::string flac) {
    flac[21] = static_cast<char>(flac[21] & 0xF0);
    for (int i = 22; i < 26; ++i)
        flac[i] = 0;
    return flac;
}

// The CRC of an Ogg page, as libogg computes it.
std::uint32_t oggCrc(const std::string& page) {
    std::uint32_t crc = 0;
    for (unsigned char byte : page) {
        crc ^= static_cast<std::uint32_t>(byte) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// The Ogg file with the granule position of its last page replaced (the page's CRC made anew).
std::string withLastGranule(std::string ogg, std::uint64_t granule) {
    const std::size_t page = ogg.rfind("OggS");
    for (int i = 0; i < 8; ++i)
        ogg[page + 6 + i] = static_cast<char>(granule >> (8 * i));
    for (int i = 0; i < 4; ++i)
        ogg[page + 22 + i] = 0;
    const std::uint32_t crc = oggCrc(ogg.substr(page));
    for (int i = 0; i < 4; ++i)
        ogg[page + 22 + i] = static_cast<char>(crc >> (8 * i));
    return ogg;
}

class SoundFiles : public InTempDir {};

} // namespace

// A sound played during tick N begins at frame N × 735 of the mix, sample for sample, and
// ends with its last frame; at 22,050 a second the ticks hold 367 and 368 frames in turn.
TEST(Mixer, SoundStartsOnTheFirstFrameOfItsTick) {
    const std::vector<std::int16_t> samples = ramp(1000, 1);
    TrelSound sound(samples.data(), 1000, 1, 44100);
    for (int startTick : {0, 7}) {
        TrelMixer mixer;
        render(mixer, startTick);
        mixer.play(&sound);
        std::vector<std::int16_t> out = render(mixer, 3);
        std::vector<std::int16_t> heard(out.size() + 2 * startTick * kTick, 0);
        std::copy(out.begin(), out.end(), heard.begin() + 2 * startTick * kTick);
        for (std::size_t f = 0; f < heard.size() / 2; ++f) {
            const long i = static_cast<long>(f) - startTick * kTick;
            const int expected = i >= 0 && i < 1000 ? samples[static_cast<std::size_t>(i)] : 0;
            ASSERT_EQ(heard[2 * f], expected) << "frame " << f << ", started on tick " << startTick;
            ASSERT_EQ(heard[2 * f + 1], expected) << "frame " << f;
        }
    }
    TrelMixer slow;
    ASSERT_TRUE(slow.setRate(22050));
    std::vector<int> counts;
    for (int t = 0; t < 60; ++t) {
        if (t == 3)
            slow.play(&sound);
        slow.mixTick(60);
        counts.push_back(slow.getTickFrames());
        if (t == 3) {
            EXPECT_EQ(slow.getFramesMixed() - slow.getTickFrames(), 1102); // floor(3 × 367.5)
        }
    }
    EXPECT_EQ(slow.getFramesMixed(), 22050);
    EXPECT_EQ(counts[0] + counts[1], 735);
    EXPECT_FALSE(slow.setRate(44100)) << "the rate is fixed once mixing began";
}

// Pan 0 is the left speaker only, 256 the right only, 128 both at full level; a stereo
// sound's pan is a balance. Volumes multiply: effects at 128 and a voice at 128 give a quarter.
TEST(Mixer, PanAndVolumes) {
    const std::vector<std::int16_t> mono = ramp(kTick, 1);
    const std::vector<std::int16_t> stereo = ramp(kTick, 2);
    TrelSound monoSound(mono.data(), kTick, 1, 44100);
    TrelSound stereoSound(stereo.data(), kTick, 2, 44100);
    struct Case {
        const TrelSound* sound;
        int pan;
        bool left, right;
    } cases[] = {{&monoSound, 0, true, false},    {&monoSound, 128, true, true},
                 {&monoSound, 256, false, true},  {&stereoSound, 0, true, false},
                 {&stereoSound, 128, true, true}, {&stereoSound, 256, false, true}};
    for (const Case& c : cases) {
        TrelMixer mixer;
        mixer.play(c.sound, TrelMixer::kFullVolume, c.pan);
        std::vector<std::int16_t> out = render(mixer, 1);
        const std::int16_t* in = c.sound->getSamples();
        const int channels = c.sound->getChannels();
        for (int f = 0; f < kTick; ++f) {
            ASSERT_EQ(out[2 * f], c.left ? in[f * channels] : 0)
                << "pan " << c.pan << " frame " << f;
            ASSERT_EQ(out[2 * f + 1], c.right ? in[f * channels + channels - 1] : 0)
                << "pan " << c.pan << " frame " << f;
        }
    }
    TrelMixer quiet;
    quiet.setEffectsVolume(128);
    quiet.play(&monoSound, 128);
    std::vector<std::int16_t> out = render(quiet, 1);
    for (int f = 0; f < kTick; ++f)
        ASSERT_EQ(out[2 * f], mono[static_cast<std::size_t>(f)] >> 2) << f;
}

// 33 plays on 32 voices: the 33rd takes the voice of the first. Looping voices are taken
// only when every voice loops. Stale handles change nothing.
TEST(Mixer, AllVoicesBusyTakesTheOldest) {
    const std::vector<std::int16_t> samples = ramp(100000, 1);
    TrelSound sound(samples.data(), 100000, 1, 44100);
    TrelMixer mixer;
    ASSERT_EQ(mixer.getVoiceCount(), 32);
    std::vector<int> handles;
    for (int i = 0; i < 33; ++i)
        handles.push_back(mixer.play(&sound));
    EXPECT_FALSE(mixer.isPlaying(handles[0]));
    for (int i = 1; i < 33; ++i)
        EXPECT_TRUE(mixer.isPlaying(handles[static_cast<std::size_t>(i)])) << i;
    mixer.setVolume(handles[0], 0); // the stale handle must not reach the 33rd play
    std::vector<std::int16_t> out = render(mixer, 1);
    EXPECT_EQ(out[0], 32 * samples[0]);

    mixer.stopAll();
    std::vector<int> looped;
    for (int i = 0; i < 31; ++i)
        looped.push_back(mixer.playLooped(&sound));
    const int once = mixer.play(&sound);
    const int next = mixer.play(&sound);
    EXPECT_FALSE(mixer.isPlaying(once)) << "the one voice that does not loop goes first";
    EXPECT_TRUE(mixer.isPlaying(looped[0]));
    mixer.stop(next);
    mixer.playLooped(&sound); // the free voice
    mixer.playLooped(&sound); // all 32 loop: the oldest of them goes
    EXPECT_FALSE(mixer.isPlaying(looped[0]));
    EXPECT_TRUE(mixer.isPlaying(looped[1]));
}

// Pitch 2 plays every other frame; a 22,050 Hz sound on a 44,100 Hz mix gets the frames in
// between interpolated.
TEST(Mixer, PitchAndRateConversion) {
    const std::vector<std::int16_t> samples = ramp(2000, 1);
    TrelSound sound(samples.data(), 2000, 1, 44100);
    TrelSound half(samples.data(), 2000, 1, 22050);
    TrelMixer mixer;
    mixer.play(&sound, TrelMixer::kFullVolume, TrelMixer::kPanLeft, 2 * TrelMixer::kNormalPitch);
    std::vector<std::int16_t> out = render(mixer, 2);
    for (int f = 0; f < 1000; ++f)
        ASSERT_EQ(out[2 * f], samples[static_cast<std::size_t>(2 * f)]) << f;
    EXPECT_EQ(out[2 * 1000], 0) << "it ends after its last frame";
    TrelMixer slow;
    slow.play(&half, TrelMixer::kFullVolume, TrelMixer::kPanLeft);
    out = render(slow, 2);
    for (int j = 0; j < 700; ++j) {
        const int a = samples[static_cast<std::size_t>(j)];
        const int b = samples[static_cast<std::size_t>(j + 1)];
        ASSERT_EQ(out[4 * j], a) << j;
        ASSERT_EQ(out[4 * j + 2], a + ((b - a) >> 1)) << j;
    }
}

// A looped music plays its start once, then its loop again and again: the frame after the
// loop's last is the loop's first, exactly, for a loop set in code and for one an Ogg Vorbis
// file names in its LOOPSTART and LOOPLENGTH comments. Without the loop it plays to its very
// last frame.
TEST_F(SoundFiles, MusicLoopsJoinWithoutAGap) {
    const std::vector<std::int16_t> stereo = ramp(6000, 2);
    const std::string wav = writeWav(dir + "/music.wav", stereo);
    TrelCString error;
    TrelMusic* music = TrelMusic::open(wav.c_str(), error).release();
    ASSERT_NE(music, nullptr) << error.get();
    ASSERT_TRUE(music->setLoop(1000, 5000));
    EXPECT_FALSE(music->setLoop(1000, 5001));
    TrelMixer mixer;
    mixer.playMusic(music);
    std::vector<std::int16_t> out = render(mixer, 20);
    for (std::size_t f = 0; f < out.size() / 2; ++f) {
        const std::size_t from = f < 6000 ? f : 1000 + (f - 6000) % 5000;
        ASSERT_EQ(out[2 * f], stereo[2 * from]) << f;
        ASSERT_EQ(out[2 * f + 1], stereo[2 * from + 1]) << f;
    }

    const std::string ogg = std::string(TREL_HOPPER_DATA) + "/music.ogg";
    std::unique_ptr<TrelSound> whole = TrelSound::load(ogg.c_str(), error);
    ASSERT_NE(whole, nullptr) << error.get();
    music = TrelMusic::open(ogg.c_str(), error).release();
    ASSERT_NE(music, nullptr) << error.get();
    const std::int64_t start = music->getLoopStart();
    const std::int64_t end = music->getLoopEnd();
    EXPECT_EQ(start, 70560);
    EXPECT_EQ(end, 70560 + 282240);
    mixer.playMusic(music);
    // From 20 ticks before the seam to 20 after it.
    const int seamTick = static_cast<int>(end / kTick);
    render(mixer, seamTick - 20);
    out = render(mixer, 40);
    const std::int16_t* decoded = whole->getSamples();
    for (std::int64_t f = 0; f < 40 * kTick; ++f) {
        const std::int64_t at = static_cast<std::int64_t>(seamTick - 20) * kTick + f;
        const std::int64_t from = at < end ? at : start + (at - end);
        ASSERT_EQ(out[2 * f], decoded[2 * from]) << "frame " << at;
        ASSERT_EQ(out[2 * f + 1], decoded[2 * from + 1]) << "frame " << at;
    }

    music = TrelMusic::open(wav.c_str(), error).release();
    music->setLooping(false);
    mixer.playMusic(music);
    out = render(mixer, 10);
    for (std::size_t f = 0; f < 6000; ++f)
        ASSERT_EQ(out[2 * f], stereo[2 * f]) << f;
    EXPECT_EQ(out[2 * 6000], 0);
    EXPECT_EQ(mixer.getMusic(), nullptr);

    // A loop of one frame (played from memory: it used to seek for every frame); turned off,
    // the music goes on from the frame after it.
    music = TrelMusic::open(wav.c_str(), error).release();
    ASSERT_TRUE(music->setLoop(3000, 1));
    mixer.playMusic(music);
    out = render(mixer, 10);
    for (std::size_t f = 0; f < out.size() / 2; ++f)
        ASSERT_EQ(out[2 * f], stereo[2 * std::min<std::size_t>(f, 3000)]) << f;
    music->setLooping(false);
    out = render(mixer, 2); // what the mixer had taken, then the frames after the loop
    std::size_t f = 0;
    while (f + 1 < out.size() / 2 && out[2 * f] == stereo[2 * 3000])
        ++f;
    ASSERT_LT(f + 1, out.size() / 2);
    EXPECT_EQ(out[2 * f], stereo[2 * 3001]);
    EXPECT_EQ(out[2 * f + 2], stereo[2 * 3002]);
}

// Fixed fault: TrelSound::load handed its sound over with the very return type by which
// TrelAudio::loadSound lends one it keeps; the types now say who deletes.
static_assert(std::is_same<decltype(TrelSound::load("", std::declval<TrelCString&>())),
                           std::unique_ptr<TrelSound>>::value &&
                  std::is_same<decltype(TrelMusic::open("", std::declval<TrelCString&>())),
                               std::unique_ptr<TrelMusic>>::value,
              "what is handed over is owned by the caller");

// Ten minutes of a game's sound, music and effects started at random ticks with random
// volume, pan and pitch, mixed twice: the same samples, to the last bit. One pan changed
// changes the hash.
TEST_F(SoundFiles, TenMinutesMixedTwiceAreTheSame) {
    const std::string wav = writeWav(dir + "/music.wav", ramp(44100, 2));
    const std::vector<std::int16_t> samples = ramp(20000, 1);
    TrelSound sound(samples.data(), 20000, 1, 32000);
    auto mixTenMinutes = [&](int changedPan) {
        TrelCString error;
        TrelMixer mixer;
        mixer.playMusic(TrelMusic::open(wav.c_str(), error).release());
        mixer.setMusicVolume(100);
        std::uint32_t random = 20261209;
        std::uint64_t hash = 0;
        for (int tick = 0; tick < 60 * 600; ++tick) {
            random = random * 1664525u + 1013904223u;
            if (random >> 28 == 0) {
                mixer.play(&sound, static_cast<int>(random >> 16 & 255),
                           static_cast<int>(random >> 8 & 255),
                           32768 + static_cast<int>(random & 0xffff));
            }
            if (tick == 30000)
                mixer.play(&sound, 200, changedPan);
            mixer.mixTick(60);
            hash = XXH3_64bits_withSeed(mixer.getTickSamples(), 4 * kTick, hash);
        }
        return hash;
    };
    const std::uint64_t first = mixTenMinutes(0);
    EXPECT_EQ(first, mixTenMinutes(0));
    EXPECT_NE(first, mixTenMinutes(256));
}

// Every kind of bad sound file is refused by both loaders in one line naming the file and
// the reason, before anything is played.
TEST_F(SoundFiles, BadFilesAreRefusedInOneLine) {
    const int wav16 = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    const std::string wav = readFile(writeSndfile(dir + "/good.wav", wav16, 1, 44100, 20000));
    const std::string flac = readFile(
        writeSndfile(dir + "/good.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 1, 44100, 20000));
    const std::string ogg = readFile(std::string(TREL_HOPPER_DATA) + "/music.ogg");
    ASSERT_EQ(mkdir((dir + "/folder.wav").c_str(), 0755), 0);
    struct Case {
        std::string file, reason;
    } cases[] = {
        {"none.wav", "was not found"},
        {"folder.wav", "is a folder, not a file"},
        {writeFile("empty.wav", ""), "is empty"},
        {writeFile("text.ogg", "hello\n"), "is not a WAV, Ogg Vorbis or FLAC file"},
        {writeFile("flac.wav", flac), "is a FLAC file named as WAV"},
        {writeFile("wav.ogg", wav), "is a WAV file named as Ogg Vorbis"},
        {writeFile("cut.wav", wav.substr(0, wav.size() / 2)),
         "is cut short: its sound data ends at byte " + std::to_string(wav.size() / 2)},
        {writeFile("nodata.wav", wav.substr(0, 36)), "is damaged: "},
        {writeFile("cut.flac", flac.substr(0, flac.size() / 2)), "is cut short"},
        {writeFile("cut.ogg", ogg.substr(0, ogg.size() / 2)), "is cut short"},
        {writeSndfile("three.wav", wav16, 3, 44100, 100), "has 3 channels; a sound has 1 or 2"},
        {writeSndfile("slow.wav", wav16, 1, 4000, 100),
         "is at 4000 frames a second, outside 8000 to 192000"},
        {writeSndfile("silent.wav", wav16, 1, 44100, 0), "holds no sound"},
        // Fault: rates libsndfile refuses got its "Internal error : SF_INFO struct incomplete";
        // a FLAC file that does not give its length, "is cut short"; an Ogg Vorbis file whose
        // last page gives no end, a loop "outside its 0 frames".
        {writeFile("still.wav", withRate(wav, 0)), "is at 0 frames a second, outside 8000"},
        {writeFile("shrill.wav", withRate(wav, 0xFFFFFFFFu)),
         "is at 4294967295 frames a second, outside 8000"},
        {writeFile("stream.flac", withoutLength(flac)), "does not give its length"},
        {writeFile("endless.ogg", withLastGranule(ogg, 0)), "holds no sound"},
        {writeFile("before.ogg", withLastGranule(ogg, ~std::uint64_t(0))), "holds no sound"},
    };
    for (const Case& c : cases) {
        const std::string path = c.file[0] == '/' ? c.file : dir + "/" + c.file;
        TrelCString soundError, musicError;
        EXPECT_EQ(TrelSound::load(path.c_str(), soundError), nullptr) << c.file;
        EXPECT_EQ(TrelMusic::open(path.c_str(), musicError), nullptr) << c.file;
        for (const std::string& error :
             {std::string(soundError.get()), std::string(musicError.get())}) {
            EXPECT_NE(error.find("\"" + path + "\" " + c.reason), std::string::npos) << error;
            EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        }
    }
    TrelLoadLimits limits;
    limits.soundMemory = 39999;
    TrelLoadLimits::set(limits);
    TrelCString error;
    EXPECT_EQ(TrelSound::load((dir + "/good.wav").c_str(), error), nullptr);
    EXPECT_NE(std::string(error.get())
                  .find("decodes to 40000 bytes, beyond the limit of 39999 "
                        "bytes (TrelLoadLimits::soundMemory)"),
              std::string::npos)
        << error.get();
    TrelLoadLimits::set(TrelLoadLimits());
}
