#include "sound/TrelMixer.h"

#include <algorithm>
#include <climits>

#include "sound/TrelMusic.h"
#include "sound/TrelSound.h"

namespace {

const std::int64_t kOne = 65536; // a whole frame, in 16.16
const int kMinPitch = 256;       // 1/256
const int kMaxPitch = 16 << 16;
const long kMusicChunk = 2048; // frames read from a music file at a time

int clampTo(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

// Adds whole frames, from index on, at the levels given: no interpolation is needed.
void addRun(const std::int16_t* samples, int channels, std::int64_t index, int run, int left,
            int right, std::int32_t* mix) {
    const std::int16_t* from = samples + index * channels;
    for (int k = 0; k < run; ++k) {
        const int l = from[k * channels];
        const int r = from[k * channels + channels - 1];
        mix[2 * k] += l * left;
        mix[2 * k + 1] += r * right;
    }
}

} // namespace

TrelMixer::TrelMixer() : voices(kDefaultVoices) {
}

TrelMixer::~TrelMixer() {
    delete music;
}

bool TrelMixer::setRate(int framesPerSecond) {
    if (ticks != 0 || framesPerSecond < 8000 || framesPerSecond > 192000)
        return false;
    rate = framesPerSecond;
    return true;
}

void TrelMixer::setVoiceCount(int count) {
    voices.assign(static_cast<std::size_t>(clampTo(count, 1, kMaxVoices)), Voice());
}

int TrelMixer::play(const TrelSound* sound, int volume, int pan, int pitch) {
    return start(sound, volume, pan, pitch, false);
}

int TrelMixer::playLooped(const TrelSound* sound, int volume, int pan, int pitch) {
    return start(sound, volume, pan, pitch, true);
}

int TrelMixer::start(const TrelSound* sound, int volume, int pan, int pitch, bool looping) {
    if (sound == nullptr || sound->getFrames() == 0)
        return 0;
    Voice& voice = takeVoice();
    voice = Voice();
    voice.sound = sound;
    voice.handle = nextHandle;
    nextHandle = nextHandle == INT_MAX ? 1 : nextHandle + 1;
    voice.order = nextOrder++;
    voice.looping = looping;
    voice.group = currentGroup;
    setVolume(voice.handle, volume);
    setPan(voice.handle, pan);
    setPitch(voice.handle, pitch);
    return voice.handle;
}

TrelMixer::Voice& TrelMixer::takeVoice() {
    Voice* oldest = nullptr;
    Voice* oldestLooping = nullptr;
    for (Voice& voice : voices) {
        if (voice.handle == 0)
            return voice;
        Voice*& pick = voice.looping ? oldestLooping : oldest;
        if (pick == nullptr || voice.order < pick->order)
            pick = &voice;
    }
    return oldest != nullptr ? *oldest : *oldestLooping;
}

TrelMixer::Voice* TrelMixer::find(int voice) {
    if (voice <= 0)
        return nullptr;
    for (Voice& v : voices)
        if (v.handle == voice)
            return &v;
    return nullptr;
}

const TrelMixer::Voice* TrelMixer::find(int voice) const {
    return const_cast<TrelMixer*>(this)->find(voice);
}

void TrelMixer::stop(int voice) {
    if (Voice* v = find(voice))
        *v = Voice();
}

void TrelMixer::setPaused(int voice, bool paused) {
    if (Voice* v = find(voice))
        v->paused = paused;
}

void TrelMixer::setVolume(int voice, int volume) {
    if (Voice* v = find(voice))
        v->volume = clampTo(volume, 0, kFullVolume);
}

void TrelMixer::setPan(int voice, int pan) {
    if (Voice* v = find(voice))
        v->pan = clampTo(pan, kPanLeft, kPanRight);
}

void TrelMixer::setPitch(int voice, int pitch) {
    if (Voice* v = find(voice)) {
        v->pitch = clampTo(pitch, kMinPitch, kMaxPitch);
        v->step = static_cast<std::int64_t>(v->pitch) * v->sound->getRate() / rate;
    }
}

bool TrelMixer::isPlaying(int voice) const {
    return find(voice) != nullptr;
}

void TrelMixer::stopSound(const TrelSound* sound) {
    for (Voice& voice : voices)
        if (voice.sound == sound)
            voice = Voice();
}

void TrelMixer::stopAll() {
    for (Voice& voice : voices)
        voice = Voice();
}

void TrelMixer::restart_() {
    stopAll();
    stopMusic();
    musicPaused = false;
    phaseTick = ticks;
}

void TrelMixer::setKept(int voice) {
    if (Voice* v = find(voice)) {
        v->group = 0;
        v->groupPaused = false;
    }
}

void TrelMixer::stopGroup_(std::uint32_t group) {
    for (Voice& voice : voices)
        if (voice.handle != 0 && voice.group == group)
            voice = Voice();
}

void TrelMixer::setGroupPaused_(std::uint32_t group, bool paused) {
    for (Voice& voice : voices)
        if (voice.handle != 0 && voice.group == group)
            voice.groupPaused = paused;
}

void TrelMixer::playMusic(TrelMusic* newMusic) {
    if (newMusic != music)
        delete music;
    music = newMusic;
    musicPaused = false;
    musicPosition = 0;
    musicWindow.clear();
    musicEnded = false;
}

void TrelMixer::setMasterVolume(int volume) {
    masterVolume = clampTo(volume, 0, kFullVolume);
}

void TrelMixer::setEffectsVolume(int volume) {
    effectsVolume = clampTo(volume, 0, kFullVolume);
}

void TrelMixer::setMusicVolume(int volume) {
    musicVolume = clampTo(volume, 0, kFullVolume);
}

bool TrelMixer::isActive() const {
    if (music != nullptr)
        return true;
    for (const Voice& voice : voices)
        if (voice.handle != 0)
            return true;
    return false;
}

void TrelMixer::levels(int volume, int group, int pan, int& left, int& right) const {
    const int level = volume * group * masterVolume >> 16; // 0 .. 256
    left = level * std::min(128, kPanRight - pan) >> 7;
    right = level * std::min(128, pan) >> 7;
}

int TrelMixer::mixSource_(const Source& source, std::int64_t& position, std::int64_t step, int left,
                          int right, std::int32_t* mixed, int count) {
    const std::int64_t end = source.frames * kOne;
    const int channels = source.channels;
    for (int i = 0; i < count;) {
        if (position >= end) {
            if (!source.looping)
                return i;
            position %= end;
        }
        const std::int64_t index = position >> 16;
        if (step == kOne && (position & 0xffff) == 0) {
            const int run =
                static_cast<int>(std::min<std::int64_t>(count - i, source.frames - index));
            addRun(source.samples, channels, index, run, left, right, mixed + 2 * i);
            position += run * kOne;
            i += run;
            continue;
        }
        const int fraction = static_cast<int>(position & 0xffff);
        const std::int64_t next = index + 1 < source.frames ? index + 1
                                  : source.looping          ? 0
                                                            : index;
        const std::int16_t* a = source.samples + index * channels;
        const std::int16_t* b = source.samples + next * channels;
        const int l = a[0] + static_cast<int>((std::int64_t(b[0] - a[0]) * fraction) >> 16);
        const int r =
            a[channels - 1] +
            static_cast<int>((std::int64_t(b[channels - 1] - a[channels - 1]) * fraction) >> 16);
        mixed[2 * i] += l * left;
        mixed[2 * i + 1] += r * right;
        position += step;
        ++i;
    }
    return count;
}

void TrelMixer::mixVoices(int count) {
    for (Voice& voice : voices) {
        if (voice.handle == 0 || voice.paused || voice.groupPaused)
            continue;
        int left = 0;
        int right = 0;
        levels(voice.volume, effectsVolume, voice.pan, left, right);
        const TrelSound* sound = voice.sound;
        const Source source{sound->getSamples(), sound->getFrames(), sound->getChannels(),
                            voice.looping};
        if (mixSource_(source, voice.position, voice.step, left, right, mix.data(), count) < count)
            voice = Voice();
    }
}

bool TrelMixer::fillMusic(std::int64_t last) {
    const int channels = music->getChannels();
    while (!musicEnded && static_cast<std::int64_t>(musicWindow.size()) / channels <= last) {
        const std::size_t had = musicWindow.size();
        musicWindow.resize(had + static_cast<std::size_t>(kMusicChunk * channels));
        long got = music->read_(musicWindow.data() + had, kMusicChunk);
        if (got < 0)
            return false;
        musicWindow.resize(had + static_cast<std::size_t>(got * channels));
        musicEnded = got < kMusicChunk;
    }
    return true;
}

void TrelMixer::mixMusic(int count) {
    if (music == nullptr || musicPaused)
        return;
    const std::int64_t step = (static_cast<std::int64_t>(music->getRate()) << 16) / rate;
    // Interpolation reads one frame past the last one a tick starts in.
    if (!fillMusic(((musicPosition + step * (count - 1)) >> 16) + 1)) {
        musicError.set(music->getError());
        playMusic(nullptr);
        return;
    }
    const int channels = music->getChannels();
    const Source source{musicWindow.data(),
                        static_cast<std::int64_t>(musicWindow.size()) / channels, channels, false};
    int left = 0;
    int right = 0;
    levels(kFullVolume, musicVolume, kPanCentre, left, right);
    if (mixSource_(source, musicPosition, step, left, right, mix.data(), count) < count) {
        playMusic(nullptr); // it played to its end
        return;
    }
    // Frames the music has moved past are dropped from the window.
    const std::int64_t passed = std::min<std::int64_t>(musicPosition >> 16, source.frames);
    musicWindow.erase(musicWindow.begin(), musicWindow.begin() + passed * channels);
    musicPosition -= passed * kOne;
}

void TrelMixer::mixTick(int framerate) {
    framerate = std::max(framerate, 1);
    const std::int64_t first = (ticks - phaseTick) * rate / framerate;
    const int count = static_cast<int>((ticks - phaseTick + 1) * rate / framerate - first);
    const std::size_t samples = static_cast<std::size_t>(count) * 2;
    if (!isActive()) {
        // Silence: kept from the last tick when it was silence of the same length too.
        if (!silent || out.size() != samples)
            out.assign(samples, 0);
        silent = true;
    } else {
        mix.assign(samples, 0);
        mixVoices(count);
        mixMusic(count);
        out.resize(samples);
        for (std::size_t i = 0; i < samples; ++i)
            out[i] = static_cast<std::int16_t>(clampTo(mix[i] >> 8, -32768, 32767));
        silent = false;
    }
    ++ticks;
    frames += count;
}
