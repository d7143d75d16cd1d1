#ifndef TREL_MIXER_H
#define TREL_MIXER_H

#include <cstdint>
#include <vector>

#include "base/TrelCString.h"
#include "base/TrelExport.h"

class TrelMusic;
class TrelSound;

// The engine's own mixer: sound effects on voices and one music, mixed in integers into
// signed 16-bit stereo, exactly one tick of frames at a time. A tick holds rate ÷ framerate
// frames: 735 at 44,100 frames a second and 60 ticks; where that is no whole number, tick t
// holds floor((t + 1) × rate ÷ framerate) − floor(t × rate ÷ framerate). Whatever starts
// during a tick starts on that tick's first frame, so the same calls on the same ticks give
// the same samples on every machine and in every run, a replay's included.
//
// Levels: volumes run from 0 to kFullVolume (256), which plays a sample unchanged. Pan runs
// from kPanLeft (0: only the left speaker) through kPanCentre (128: both, each at full
// level) to kPanRight (256); a stereo sound's pan is a balance, so at kPanLeft only its left
// channel is heard. Pitch is 16.16 fixed point: kNormalPitch (65536) plays a sound at its
// own speed, twice that an octave up; a sound of another rate than the mix is converted,
// with linear interpolation between frames.
//
// Voices: play() takes a free voice. When every voice is busy it takes the voice that
// started longest ago among those not looping, or, when all loop, the one that started
// longest ago; the sound it played stops. A voice's handle stays unique, so a handle whose
// sound has ended or was displaced is simply ignored.
class TREL_API TrelMixer {
public:
    static const int kFullVolume = 256;
    static const int kPanLeft = 0;
    static const int kPanCentre = 128;
    static const int kPanRight = 256;
    static const int kNormalPitch = 65536;
    static const int kDefaultVoices = 32;
    static const int kMaxVoices = 128; // so that a full mix of them all fits 32 bits
    static const int kDefaultRate = 44100;

    TrelMixer();
    ~TrelMixer(); // deletes the music
    TrelMixer(const TrelMixer&) = delete;
    TrelMixer& operator=(const TrelMixer&) = delete;

    // Frames a second of the mix, 8000 to 192000; only before the first tick is mixed (false
    // after, or out of range).
    bool setRate(int framesPerSecond);
    int getRate() const { return rate; }
    // 1 to kMaxVoices; stops every sound effect.
    void setVoiceCount(int count);
    int getVoiceCount() const { return static_cast<int>(voices.size()); }

    // Plays the sound from its first frame on this tick; returns the voice's handle (above
    // 0), or 0 for a null or empty sound. Volume, pan and pitch are clamped to their ranges
    // (pitch to 1/256 .. 16 times).
    int play(const TrelSound* sound, int volume = kFullVolume, int pan = kPanCentre,
             int pitch = kNormalPitch);
    // The same, played again and again from its start until stopped.
    int playLooped(const TrelSound* sound, int volume = kFullVolume, int pan = kPanCentre,
                   int pitch = kNormalPitch);
    // Changes to a voice that plays; nothing for a handle whose sound has ended.
    void stop(int voice);
    void setPaused(int voice, bool paused);
    void setVolume(int voice, int volume);
    void setPan(int voice, int pan);
    void setPitch(int voice, int pitch);
    // True while the voice's sound plays or is paused.
    bool isPlaying(int voice) const;
    // Stops every voice that plays this sound (do so before deleting a sound).
    void stopSound(const TrelSound* sound);
    void stopAll();
    // Keeps the voice's sound playing when the scene that started it is covered or left (a
    // jingle that plays on over the next scene); nothing for a handle whose sound has ended.
    void setKept(int voice);

    // Silence, as at the first tick: every voice and the music stopped, and the next tick
    // counted as tick 0 of the frames' pattern (see above). Called by recordings and replays
    // when they start, so that what played before can never be heard in them.
    void restart_();

    // Sounds belong to the scene that starts them: every voice started takes the group set
    // here (0, the default, is kept: no scene's). Set by TrelSystem around each scene's tick
    // and build, so that leaving a scene stops its sounds and covering it pauses them.
    void setGroup_(std::uint32_t group) { currentGroup = group; }
    std::uint32_t getGroup_() const { return currentGroup; }
    void stopGroup_(std::uint32_t group);
    // Pauses or resumes the group's voices, apart from the pause of each voice (setPaused).
    void setGroupPaused_(std::uint32_t group, bool paused);

    // Plays the music from its start on this tick, in place of (and deleting) any other;
    // the mixer owns it from now on. Null stops the music.
    void playMusic(TrelMusic* music);
    void stopMusic() { playMusic(nullptr); }
    void setMusicPaused(bool paused) { musicPaused = paused; }
    // The music playing or paused; null once it has ended (a music that does not loop).
    TrelMusic* getMusic() { return music; }

    void setMasterVolume(int volume);
    void setEffectsVolume(int volume);
    void setMusicVolume(int volume);
    int getMasterVolume() const { return masterVolume; }
    int getEffectsVolume() const { return effectsVolume; }
    int getMusicVolume() const { return musicVolume; }

    // Mixes the next tick at this many ticks a second. Called by TrelAudio after each tick.
    void mixTick(int framerate);
    // The last tick's frames: getTickFrames() × 2 samples, left first.
    const std::int16_t* getTickSamples() const { return out.data(); }
    int getTickFrames() const { return static_cast<int>(out.size() / 2); }
    std::int64_t getTicksMixed() const { return ticks; }
    std::int64_t getFramesMixed() const { return frames; }
    // True while a voice or the music plays (paused ones included).
    bool isActive() const;
    // Why the music stopped early, when its file turned out to be damaged; "" otherwise.
    const char* getMusicError() const { return musicError.get(); }
    void clearMusicError_() { musicError.set(""); }

    // A run of frames a voice reads: a sound's, or the music's window of decoded frames.
    struct Source {
        const std::int16_t* samples;
        std::int64_t frames;
        int channels;
        bool looping;
    };
    // Adds count frames of the source to mix (count × 2 values, left first), read from
    // position (16.16 frames) on by step per frame, at the levels given (0 .. 256 each).
    // Returns the frames added: count, or fewer when a source that does not loop ended.
    static int mixSource_(const Source& source, std::int64_t& position, std::int64_t step,
                          int leftLevel, int rightLevel, std::int32_t* mix, int count);

private:
    struct Voice {
        const TrelSound* sound = nullptr;
        int handle = 0; // 0: free
        std::uint64_t order = 0;
        std::int64_t position = 0;
        std::int64_t step = 0;
        int volume = kFullVolume;
        int pan = kPanCentre;
        int pitch = kNormalPitch;
        bool looping = false;
        bool paused = false;
        std::uint32_t group = 0;  // the scene that started it; 0: kept
        bool groupPaused = false; // its scene is covered
    };
    int start(const TrelSound* sound, int volume, int pan, int pitch, bool looping);
    Voice* find(int voice);
    const Voice* find(int voice) const;
    Voice& takeVoice();
    void mixVoices(int count);
    void mixMusic(int count);
    // Makes sure the music's window holds the frames up to index last (fewer at its end).
    bool fillMusic(std::int64_t last);
    void levels(int volume, int group, int pan, int& left, int& right) const;

    std::vector<Voice> voices;
    std::uint32_t currentGroup = 0;
    std::vector<std::int32_t> mix; // the tick being mixed, before clamping
    std::vector<std::int16_t> out; // the last tick, clamped
    bool silent = false;           // out holds nothing but silence
    int rate = kDefaultRate;
    int nextHandle = 1;
    std::uint64_t nextOrder = 1;
    std::int64_t ticks = 0;
    std::int64_t frames = 0;
    std::int64_t phaseTick = 0; // the tick counted as tick 0 of the frames' pattern
    int masterVolume = kFullVolume;
    int effectsVolume = kFullVolume;
    int musicVolume = kFullVolume;

    TrelMusic* music = nullptr; // owned
    bool musicPaused = false;
    std::int64_t musicPosition = 0; // 16.16 frames from the window's start
    std::vector<std::int16_t> musicWindow;
    bool musicEnded = false; // the music gave its last frame
    TrelCString musicError;
};

#endif
