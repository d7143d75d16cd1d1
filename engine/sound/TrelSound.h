#ifndef TREL_SOUND_H
#define TREL_SOUND_H

#include <cstdint>
#include <memory>
#include <vector>

#include "base/TrelCString.h"
#include "base/TrelExport.h"

// A sound effect, decoded whole into memory: signed 16-bit samples, one or two channels
// interleaved (left first), at the rate it was made at. Played by TrelMixer on a voice, as
// many copies at once as there are voices. Loaded through TrelAudio::loadSound, which owns
// what it loads, or made from samples in code.
class TREL_API TrelSound {
public:
    // frames × channels samples; channels is 1 or 2 and rate 8000 to 192000, else the sound
    // is empty.
    TrelSound(const std::int16_t* samples, int frames, int channels, int rate);

    // Reads and decodes a WAV, Ogg Vorbis or FLAC file. Null, with error set to one line that
    // names the file and the reason, when it is missing, empty, cut short, damaged, not a
    // sound, named as another format than it holds, or decodes to more than
    // TrelLoadLimits::soundMemory bytes. The caller owns what it is given; a game usually
    // loads through TrelAudio::loadSound instead, which keeps the sound and lends it.
    static std::unique_ptr<TrelSound> load(const char* file, TrelCString& error);

    int getFrames() const { return frames; }
    int getChannels() const { return channels; }
    int getRate() const { return rate; }
    const std::int16_t* getSamples() const { return samples.data(); }

private:
    TrelSound() = default;
    std::vector<std::int16_t> samples;
    int frames = 0;
    int channels = 1;
    int rate = 44100;
};

#endif
