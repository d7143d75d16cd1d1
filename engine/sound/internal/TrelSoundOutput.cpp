#include "sound/internal/TrelSoundOutput.h"

#include <allegro.h>

#include <algorithm>

TrelSoundOutput::~TrelSoundOutput() {
    stop();
}

bool TrelSoundOutput::start(int rate, std::string& reason) {
    set_config_int("sound", "sound_freq", rate);
    set_config_int("sound", "sound_bits", 16);
    set_config_int("sound", "sound_stereo", 1);
    set_config_int("sound", "quality", 2);
    // Allegro halves a centred voice by default; at 0 it plays the stream at full level.
    set_volume_per_voice(0);
    if (install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) != 0 || digi_driver == nullptr ||
        digi_driver->id == DIGI_NONE) {
        reason = allegro_error[0] != '\0' ? allegro_error : "no sound driver could be started";
        remove_sound();
        return false;
    }
    stream = play_audio_stream(kBufferFrames, 16, TRUE, rate, 255, 128);
    if (stream == nullptr) {
        reason = "the sound driver could not play a stream";
        remove_sound();
        return false;
    }
    return true;
}

void TrelSoundOutput::feed(const std::int16_t* samples, int frames) {
    if (stream == nullptr)
        return;
    queue.insert(queue.end(), samples, samples + frames * 2);
    const std::size_t most = static_cast<std::size_t>(kMaxQueued) * 2;
    if (queue.size() > most) {
        droppedFrames += static_cast<long long>(queue.size() - most) / 2;
        queue.erase(queue.begin(), queue.end() - static_cast<std::ptrdiff_t>(most));
    }
    // The stream plays silence until the queue holds two buffers, so that it does not run
    // dry at once.
    if (!filling && queue.size() < static_cast<std::size_t>(kBufferFrames) * 4)
        return;
    filling = true;
    while (void* buffer = get_audio_stream_buffer(stream)) {
        // Allegro's samples are unsigned: 0x8000 is silence.
        auto* to = static_cast<unsigned short*>(buffer);
        const std::size_t have =
            std::min(queue.size(), static_cast<std::size_t>(kBufferFrames) * 2);
        for (std::size_t i = 0; i < have; ++i)
            to[i] = static_cast<unsigned short>(queue[i] ^ 0x8000);
        std::fill(to + have, to + kBufferFrames * 2, 0x8000);
        silentFrames += static_cast<long long>(kBufferFrames * 2 - have) / 2;
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(have));
        free_audio_stream_buffer(stream);
    }
}

void TrelSoundOutput::stop() {
    if (stream == nullptr)
        return;
    stop_audio_stream(stream);
    stream = nullptr;
    remove_sound();
}
