#ifndef TREL_SOUND_FUZZ_INPUT_H
#define TREL_SOUND_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

// One input of the sound files' fuzz target: the first byte picks the file's name (its value
// modulo 4: sound.wav, sound.ogg, sound.flac or sound.snd), the rest is the file, written
// into folder (ending in '/'). It is loaded as a sound effect and opened as music, and the
// music is mixed for up to 20 ticks, looped. Returns an empty string when both ended as they
// must (a sound of 1 or 2 channels and some frames, within the limits, or a one-line reason),
// else what went wrong.
std::string loadSoundFuzzInput(const std::string& folder, const std::uint8_t* data,
                               std::size_t size);

#endif
