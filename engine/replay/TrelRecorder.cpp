#include "replay/TrelRecorder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/TrelFileBytes.h"
#include "core/TrelSystem.h"
#include "replay/internal/TrelRecording.h"
#include "world/TrelZone.h"

TrelRecorder::TrelRecorder(TrelSystem* owner) : system(owner) {
}

TrelRecorder::~TrelRecorder() {
    if (out != nullptr)
        finish();
}

bool TrelRecorder::fail(const char* reason) {
    error.set(("Cannot record to " + TrelFileBytes::quoted(fileName.get()) + ": " + reason + ".")
                  .c_str());
    system->consprintf("\n%s", error.str);
    return false;
}

void TrelRecorder::write(const char* bytes, std::size_t size) {
    written.insert(written.end(), bytes, bytes + size);
    if (std::fwrite(bytes, 1, size, out) != size)
        writeFailed = true;
}

bool TrelRecorder::start(const char* file, std::uint32_t seed, std::uint64_t startingSave) {
    if (out != nullptr)
        return fail("a recording is already open");
    fileName.set(file);
    out = std::fopen(fileName.get(), "wb");
    if (out == nullptr)
        return fail(std::strerror(errno));
    written.clear();
    error.set("");
    writeFailed = false;
    ticks = 0;
    lastHash = 0;
    soundHash = 0;
    soundTicks = 0;
    last.assign(TrelInput::kCodes, 0);
    std::string header = TrelRecording::header(TREL_VERSION_STRING, system->getName(),
                                               system->framerate, seed, startingSave);
    write(header.data(), header.size());
    std::srand(seed);
    system->seedRandom(seed);
    system->input.releaseFed(); // keys a test still holds are not the recording's, as in a replay
    system->input.reset_();
    system->audio.mixer.restart_(); // what played before is not the recording's
    system->consprintf("\n\nRecording to %s.", TrelFileBytes::quoted(fileName.get()).c_str());
    return true;
}

bool TrelRecorder::step() {
    if (out == nullptr || system->runTicks(1) != 1)
        return false;
    const std::array<std::uint8_t, TrelInput::kCodes>& state = system->input.getState_();
    std::vector<std::uint8_t> changed;
    for (int code = 0; code < TrelInput::kCodes; ++code) {
        if (state[code] != last[code])
            changed.push_back(static_cast<std::uint8_t>(code));
        last[code] = state[code];
    }
    lastHash = system->zone != nullptr ? system->zone->stateHash() : 0;
    std::string tick;
    TrelRecording::appendTick(tick, changed, lastHash);
    // The sound of each second of play, hashed so that a replay can check it.
    const TrelMixer& mixer = system->audio.mixer;
    soundHash = TrelRecording::soundHash(soundHash, mixer.getTickSamples(), mixer.getTickFrames());
    if (++soundTicks == system->framerate)
        endSoundRun(tick);
    write(tick.data(), tick.size());
    ++ticks;
    return true;
}

void TrelRecorder::endSoundRun(std::string& to) {
    TrelRecording::appendSound(to, soundHash);
    soundHash = 0;
    soundTicks = 0;
}

void TrelRecorder::run() {
    while (step()) {
    }
}

bool TrelRecorder::finish() {
    if (out == nullptr)
        return false;
    std::string end;
    if (soundTicks > 0)
        endSoundRun(end);
    TrelRecording::appendEnd(end, static_cast<std::uint32_t>(ticks));
    write(end.data(), end.size());
    std::string sum;
    TrelRecording::appendChecksum(sum, TrelRecording::checksum(written.data(), written.size()));
    write(sum.data(), sum.size());
    bool closed = std::fclose(out) == 0;
    out = nullptr;
    written.clear();
    if (writeFailed || !closed)
        return fail("the file could not be written completely");
    system->consprintf("\nRecorded %d ticks to %s.", ticks,
                       TrelFileBytes::quoted(fileName.get()).c_str());
    return true;
}
