#ifndef TREL_RECORDER_H
#define TREL_RECORDER_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/TrelCString.h"
#include "base/TrelExport.h"

class TrelSystem;

// Records a session so that TrelPlayer can replay it exactly: per tick, the inputs that
// changed in the latched state and the zone's state hash after the tick, and per second a
// hash of the sound mixed in it (TrelAudio), behind a header
// that names the engine, the game, the framerate and the random seed. Start it before the
// level is built, since start() seeds rand() and the engine's generators; then run the ticks
// through step() or run().
class TREL_API TrelRecorder {
public:
    explicit TrelRecorder(TrelSystem* system);
    ~TrelRecorder(); // finishes a recording still open

    TrelRecorder(const TrelRecorder&) = delete;
    TrelRecorder& operator=(const TrelRecorder&) = delete;

    // Creates the file and writes the header; seeds rand() and the system's generators
    // (TrelSystem::seedRandom) with seed, starts the input
    // with every code up and silences the mixer (TrelMixer::restart_), as a replay starts. A
    // session that starts from a loaded save names it by its checksum (TrelSave::getChecksum),
    // which the replay can check (TrelPlayer::checkStartingSave). False, with one line in the
    // log and getError() naming the file and the reason, when the file cannot be created or a
    // recording is open.
    bool start(const char* file, std::uint32_t seed, std::uint64_t startingSave = 0);
    // Runs one tick (TrelSystem::runTicks) and records it. False when no tick ran (quit is
    // set, or no zone) or nothing is being recorded.
    bool step();
    // Records tick after tick until quit is set (Escape, by default), as the main loop runs.
    void run();
    // Writes the end of the file (the tick count and the checksum) and closes it. False,
    // with the reason logged, when any of the recording could not be written.
    bool finish();

    bool isRecording() { return out != nullptr; }
    int getTick() { return ticks; }
    // The state hash after the last recorded tick.
    std::uint64_t getHash() { return lastHash; }
    const char* getError() { return error.get(); }

private:
    bool fail(const char* reason);
    // Appends the sound hash of the ticks since the last one to the bytes, and starts anew.
    void endSoundRun(std::string& to);
    void write(const char* bytes, std::size_t size);

    TrelSystem* system; // not owned
    std::FILE* out = nullptr;
    TrelCString fileName;
    std::vector<char> written; // every byte so far, for the checksum
    TrelCString error;
    std::vector<std::uint8_t> last; // the latched state of the last recorded tick
    int ticks = 0;
    std::uint64_t lastHash = 0;
    std::uint64_t soundHash = 0; // of the ticks of the second being recorded
    int soundTicks = 0;
    bool writeFailed = false;
};

#endif
