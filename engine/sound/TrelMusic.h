#ifndef TREL_MUSIC_H
#define TREL_MUSIC_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/TrelCString.h"
#include "base/TrelExport.h"

class TrelSoundFile;

// Music streamed from a WAV, Ogg Vorbis or FLAC file, a piece at a time as TrelMixer plays
// it, with a loop: the music plays from its start to the loop's end, then from the loop's
// start again, seamlessly (the frame after the loop's last is the loop's first, exactly).
// The loop is the whole file unless an Ogg Vorbis file names one in its LOOPSTART and
// LOOPLENGTH comments (in frames, as RPG Maker and many tools write them), or setLoop sets
// one. Played through TrelMixer::playMusic, which takes it over.
class TREL_API TrelMusic {
public:
    ~TrelMusic();
    TrelMusic(const TrelMusic&) = delete;
    TrelMusic& operator=(const TrelMusic&) = delete;

    // Opens and checks the file. Null, with error set to one line that names the file and
    // the reason, for the same faults as TrelSound::load, or a loop comment outside the file.
    // The caller owns what it is given (TrelMixer::playMusic takes it over).
    static std::unique_ptr<TrelMusic> open(const char* file, TrelCString& error);

    // The loop: length frames from start (0: to the end of the file). False, and the loop
    // unchanged, when it does not lie within the file.
    bool setLoop(std::int64_t start, std::int64_t length);
    // On (the default), the loop repeats for ever; off, the music plays to its last frame.
    void setLooping(bool on) { looping = on; }
    bool isLooping() const { return looping; }
    std::int64_t getLoopStart() const { return loopStart; }
    std::int64_t getLoopEnd() const { return loopEnd; }
    std::int64_t getFrames() const;
    int getChannels() const;
    int getRate() const;
    // The reason the music stopped early, when its file turned out to be damaged; "" else.
    const char* getError() const { return error.get(); }

    // Called by TrelMixer only: the next count frames as played, into out (count × channels
    // samples). Returns the number given: count, fewer only once a music that does not loop
    // has ended, or -1 once the file turned out to be damaged (getError says how).
    long read_(std::int16_t* out, long count);

private:
    TrelMusic(TrelSoundFile* file, const char* name);
    // Keeps why the music stopped early; returns -1.
    long fail(const std::string& reason);
    // Decodes a loop of at most kCachedLoop frames once, so that playing it seeks no more
    // (a one-frame loop would seek 735 times a tick); false, with the error kept, when the
    // file gives less.
    bool cacheLoop();
    // Loops up to this many frames are played from memory.
    static const std::int64_t kCachedLoop = 65536;
    TrelSoundFile* file; // owned
    TrelCString name;
    TrelCString error;
    std::int64_t position = 0;            // the next frame to be played
    std::int64_t fileAt = 0;              // the next frame the file would give
    std::vector<std::int16_t> loopFrames; // a short loop's frames, once decoded
    std::int64_t loopStart = 0;
    std::int64_t loopEnd = 0;
    bool looping = true;
};

#endif
