#include "replay/TrelPlayer.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"
#include "core/TrelSystem.h"
#include "replay/internal/TrelRecording.h"
#include "world/TrelZone.h"

TrelPlayer::TrelPlayer(TrelSystem* owner) : system(owner) {
}

TrelPlayer::~TrelPlayer() {
    if (recording != nullptr && !system->iface.isHeadless())
        system->input.setSource(TrelInput::kDevices);
    delete recording;
}

bool TrelPlayer::open(const char* file) {
    name.set(file);
    std::string bytes;
    std::string reason;
    TrelFileBytes::Limit limit{TrelLoadLimits::get().recordingInput, "recordingInput"};
    if (!TrelFileBytes::read(name.get(), limit, bytes, reason))
        return refuse(reason.c_str());
    return accept(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

bool TrelPlayer::refuse(const char* fault) {
    error.set(("Cannot play " + TrelFileBytes::quoted(name.get()) + ": it " + fault + ".").c_str());
    system->consprintf("\n%s", error.str);
    return false;
}

bool TrelPlayer::openBytes(const void* data, std::size_t size, const char* shownName) {
    name.set(shownName);
    return accept(static_cast<const unsigned char*>(data), size);
}

bool TrelPlayer::accept(const unsigned char* data, std::size_t size) {
    auto* parsed = new TrelRecording();
    std::string fault;
    if (parsed->parse(data, size, fault) && parsed->game != system->getName()) {
        fault = "was recorded by the game " + TrelFileBytes::quoted(parsed->game) + ", not " +
                TrelFileBytes::quoted(system->getName());
    } else if (fault.empty() && parsed->framerate != system->framerate) {
        fault = "was recorded at " + std::to_string(parsed->framerate) + " ticks a second, not " +
                std::to_string(system->framerate);
    }
    if (!fault.empty()) {
        delete parsed;
        return refuse(fault.c_str());
    }
    if (parsed->engine != TREL_VERSION_STRING) {
        system->consprintf("\nThe recording %s was made with engine %s, this is %s: it may "
                           "diverge.",
                           TrelFileBytes::quoted(name.get()).c_str(),
                           TrelFileBytes::quoted(parsed->engine).c_str(), TREL_VERSION_STRING);
    }
    delete recording;
    recording = parsed;
    error.set("");
    tick = 0;
    diverged = false;
    lastHash = 0;
    soundHash = 0;
    nextSound = 0;
    std::srand(recording->seed);
    system->seedRandom(recording->seed);
    system->input.setSource(TrelInput::kFed);
    system->input.releaseFed();
    system->input.reset_();
    system->audio.mixer.restart_(); // as the recording started
    system->consprintf("\n\nPlaying %s: %d ticks.", TrelFileBytes::quoted(name.get()).c_str(),
                       getTickCount());
    return true;
}

int TrelPlayer::getTickCount() {
    return recording != nullptr ? static_cast<int>(recording->hashes.size()) : 0;
}

std::uint32_t TrelPlayer::getSeed() {
    return recording != nullptr ? recording->seed : 0;
}

std::uint64_t TrelPlayer::getStartingSave() {
    return recording != nullptr ? recording->save : 0;
}

bool TrelPlayer::checkStartingSave(std::uint64_t checksum) {
    if (checksum == getStartingSave())
        return true;
    char sums[80];
    std::snprintf(sums, sizeof sums, "%016llx, not from this one (%016llx)",
                  static_cast<unsigned long long>(getStartingSave()),
                  static_cast<unsigned long long>(checksum));
    error.set(("The recording " + TrelFileBytes::quoted(name.get()) + " starts from the save " +
               sums + ": it will diverge.")
                  .c_str());
    system->log.warn("%s", error.get());
    return false;
}

void TrelPlayer::feed() {
    std::size_t first = recording->tickStarts[tick];
    std::size_t end = static_cast<std::size_t>(tick) + 1 < recording->tickStarts.size()
                          ? recording->tickStarts[tick + 1]
                          : recording->codes.size();
    // Each recorded code changed in this tick: a code that was up is now down, and back.
    for (std::size_t i = first; i < end; ++i) {
        int code = recording->codes[i];
        system->input.feed(code, !system->input.getFed(code));
    }
}

bool TrelPlayer::step() {
    if (recording == nullptr || diverged || isFinished())
        return false;
    feed();
    if (system->runTicks(1) != 1)
        return false;
    lastHash = system->zone != nullptr ? system->zone->stateHash() : 0;
    std::uint64_t expected = recording->hashes[tick];
    ++tick;
    if (lastHash != expected) {
        diverged = true;
        system->consprintf("\nReplay diverged at tick %d.\nRecorded state hash: %016" PRIx64
                           "\nReplayed state hash: %016" PRIx64,
                           tick, expected, lastHash);
        return false;
    }
    return checkSound();
}

bool TrelPlayer::checkSound() {
    const TrelMixer& mixer = system->audio.mixer;
    soundHash = TrelRecording::soundHash(soundHash, mixer.getTickSamples(), mixer.getTickFrames());
    if (nextSound >= recording->soundTicks.size() || recording->soundTicks[nextSound] != tick)
        return true;
    const std::uint64_t expected = recording->soundHashes[nextSound++];
    const std::uint64_t played = soundHash;
    soundHash = 0;
    if (played == expected)
        return true;
    diverged = true;
    system->consprintf("\nReplay's sound diverged in the second ending at tick %d.\nRecorded sound "
                       "hash: %016" PRIx64 "\nReplayed sound hash: %016" PRIx64
                       "\nThe state matched, so the sound differs by what the state does not "
                       "hold: a sound played outside the ticks, or a sound or music file other "
                       "than the recorded game's.",
                       tick, expected, played);
    return false;
}

bool TrelPlayer::play() {
    while (step()) {
    }
    return recording != nullptr && !diverged && isFinished();
}
