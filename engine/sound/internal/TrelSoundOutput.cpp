#include "sound/internal/TrelSoundOutput.h"

#include <allegro.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

// Builds with AddressSanitizer check for leaks at exit (the sanitizer build and the fuzz
// targets): what Allegro's ALSA driver allocates while it starts is its own, kept until the
// process ends or lost by the driver, and is not reported.
#if defined(__SANITIZE_ADDRESS__)
#define TREL_CHECKS_LEAKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TREL_CHECKS_LEAKS 1
#endif
#endif
#ifdef TREL_CHECKS_LEAKS
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const std::chrono::milliseconds kFillInterval(4);

} // namespace

TrelSoundOutput::~TrelSoundOutput() {
    stop();
}

bool TrelSoundOutput::start(int rate, std::string& reason) {
    // Allegro mixes at the stream's rate, so that it plays the stream's frames unchanged.
    // An override, unlike set_config_int, is never written back to the game's config file,
    // and the file's other sound settings (a chosen driver, say) still apply.
    char settings[160];
    std::snprintf(settings, sizeof settings,
                  "[sound]\nsound_freq = %d\nsound_bits = 16\nsound_stereo = 1\nquality = 2\n",
                  rate);
    override_config_data(settings, static_cast<int>(std::char_traits<char>::length(settings)));
    // Allegro halves a centred voice by default; at 0 it plays the stream at full level.
    set_volume_per_voice(0);
    bool installed = false;
    {
#ifdef TREL_CHECKS_LEAKS
        __lsan::ScopedDisabler driversOwnMemory;
#endif
        installed = install_sound(DIGI_AUTODETECT, MIDI_NONE, nullptr) == 0 &&
                    digi_driver != nullptr && digi_driver->id != DIGI_NONE;
    }
    override_config_data(nullptr, 0);
    if (!installed) {
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
    stopping = false;
    filler = std::thread(&TrelSoundOutput::fill, this);
    return true;
}

void TrelSoundOutput::feed(const std::int16_t* samples, int frames) {
    if (stream == nullptr)
        return;
    std::lock_guard<std::mutex> hold(lock);
    queue.insert(queue.end(), samples, samples + frames * 2);
    const std::size_t most = static_cast<std::size_t>(kMaxQueued) * 2;
    if (queue.size() > most) {
        droppedFrames += static_cast<long long>(queue.size() - most) / 2;
        queue.erase(queue.begin(), queue.end() - static_cast<std::ptrdiff_t>(most));
    }
}

void TrelSoundOutput::fill() {
    const std::size_t bufferSamples = static_cast<std::size_t>(kBufferFrames) * 2;
    while (!stopping) {
        std::this_thread::sleep_for(kFillInterval);
        std::lock_guard<std::mutex> hold(lock);
        // The stream plays silence until two buffers are queued, so that it does not run
        // dry at once.
        if (!filling && queue.size() < 2 * bufferSamples)
            continue;
        filling = true;
        while (void* buffer = get_audio_stream_buffer(stream)) {
            // Allegro's samples are unsigned: 0x8000 is silence.
            auto* to = static_cast<unsigned short*>(buffer);
            const std::size_t have = std::min(queue.size(), bufferSamples);
            for (std::size_t i = 0; i < have; ++i)
                to[i] = static_cast<unsigned short>(queue[i] ^ 0x8000);
            std::fill(to + have, to + bufferSamples, 0x8000);
            silentFrames += static_cast<long long>(bufferSamples - have) / 2;
            queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(have));
            free_audio_stream_buffer(stream);
        }
    }
}

void TrelSoundOutput::stop() {
    if (stream == nullptr)
        return;
    stopping = true;
    filler.join();
    stop_audio_stream(stream);
    stream = nullptr;
    remove_sound();
}

long long TrelSoundOutput::getSilentFrames() {
    std::lock_guard<std::mutex> hold(lock);
    return silentFrames;
}

long long TrelSoundOutput::getDroppedFrames() {
    std::lock_guard<std::mutex> hold(lock);
    return droppedFrames;
}
