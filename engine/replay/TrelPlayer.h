#ifndef TREL_PLAYER_H
#define TREL_PLAYER_H

#include <cstddef>
#include <cstdint>

#include "base/TrelCString.h"
#include "base/TrelExport.h"

class TrelRecording;
class TrelSystem;

// Plays back a recording made by TrelRecorder, in a window or headless: each tick gets the
// recorded input, and the zone's state hash after it is compared with the recorded one. The
// first difference stops the replay with "Replay diverged at tick N." and both hashes in
// the log. The sound of each second is compared with the recorded sound hash alike (where
// the recording has them: not before format version 2), and a difference stops the replay
// with "Replay's sound diverged in the second ending at tick N." Open it before the level is
// built, since open() seeds rand() and the engine's generators as recording did.
class TREL_API TrelPlayer {
public:
    explicit TrelPlayer(TrelSystem* system);
    ~TrelPlayer(); // gives the input back to the devices in a window

    TrelPlayer(const TrelPlayer&) = delete;
    TrelPlayer& operator=(const TrelPlayer&) = delete;

    // Reads and checks the whole recording (within TrelLoadLimits::recordingInput) before
    // anything is played: a file that is missing, cut short, damaged, of another format
    // version, of another game or framerate, or not a recording is refused with one line in
    // the log and getError() naming the file and the reason. On success rand() and the
    // system's generators (TrelSystem::seedRandom) are seeded with the recording's seed, the
    // mixer silenced as the recording's start silenced it, and the input is fed from the
    // recording from the next tick.
    bool open(const char* file);
    // The same for a recording held in memory (name is only used in messages).
    bool openBytes(const void* data, std::size_t size, const char* name);

    // Plays one tick: feeds its input, runs it (TrelSystem::runTicks) and compares the
    // hash. False when the recording is over, the tick diverged, or no tick ran (quit).
    bool step();
    // Plays to the end of the recording, the first divergence or quit; true when every
    // played tick matched and the recording was played to its end.
    bool play();

    int getTick() { return tick; } // ticks played so far
    int getTickCount();
    bool hasDiverged() { return diverged; }
    bool isFinished() { return tick == getTickCount(); }
    std::uint64_t getHash() { return lastHash; } // this run's hash after the last tick played
    std::uint32_t getSeed();
    // The checksum of the save the recorded session started from (0: none, or a recording
    // of format version 2 or older).
    std::uint64_t getStartingSave();
    // Whether the save loaded for the replay (its TrelSave::getChecksum, 0 for none) is the
    // one the session started from; when not, one line in the log and getError() say so,
    // since the replay would diverge.
    bool checkStartingSave(std::uint64_t checksum);
    const char* getError() { return error.get(); }

private:
    bool accept(const unsigned char* data, std::size_t size);
    // Keeps and logs "Cannot play "name": it <fault>."; returns false.
    bool refuse(const char* fault);
    void feed();
    // Adds the tick's mix to the sound hash and compares it where the recording has one.
    bool checkSound();

    TrelSystem* system;                 // not owned
    TrelRecording* recording = nullptr; // owned; null until a recording was opened
    TrelCString name;
    TrelCString error;
    int tick = 0;
    bool diverged = false;
    std::uint64_t lastHash = 0;
    std::uint64_t soundHash = 0; // of the ticks since the last compared sound hash
    std::size_t nextSound = 0;   // the next of the recording's sound hashes
};

#endif
