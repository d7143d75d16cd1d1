#ifndef TREL_AUDIO_H
#define TREL_AUDIO_H

#include <vector>

#include "base/TrelExport.h"
#include "sound/TrelMixer.h"
#include "sound/TrelWavWriter.h"

class TrelSoundOutput;
class TrelSound;
class TrelLog;

// The game's sound, held as TrelSystem::audio: the sound effects it loaded, the mixer that
// plays them and the music, and where the mix goes. The system mixes one tick of sound after
// each tick of logic (TrelMixer::mixTick), so the mix follows the game exactly.
//
// In a window the mix is played through Allegro's sound driver, started when the game first
// loads or plays a sound. Where no sound can be heard (no sound card, or headless) the game
// plays on silently, with one warning in the log; the mix is made all the same, so that it
// can be rendered to a WAV file (startRendering) or read tick by tick
// (mixer.getTickSamples) and compared.
class TREL_API TrelAudio {
public:
    // Not owned: the log outlives the audio (TrelSystem declares it first).
    explicit TrelAudio(TrelLog* log);
    ~TrelAudio(); // deletes the sounds; the output was stopped with the interface
    TrelAudio(const TrelAudio&) = delete;
    TrelAudio& operator=(const TrelAudio&) = delete;

    // Loads a sound effect (TrelSound::load), kept by the audio until clearSounds and lent
    // to the caller: never delete it. Null,
    // with the reason logged, when it cannot be loaded.
    TrelSound* loadSound(const char* file);
    // Stops and deletes every loaded sound.
    void clearSounds();
    // Opens a music file (TrelMusic::open) and plays it from this tick in place of any
    // other, looped unless loop is false. False, with the reason logged, when it
    // cannot be opened; the music playing then plays on.
    bool playMusic(const char* file, bool loop = true);

    // Writes every tick's mix from the next on to a 16-bit stereo WAV file, until
    // stopRendering or shutdown. False, with the reason logged, when it cannot be created.
    bool startRendering(const char* file);
    bool stopRendering();
    // True once the mix is played through a sound driver.
    bool isHeard() const { return output != nullptr; }

    TrelMixer mixer;

    // Where the mix may go, which only the platform interface knows: nowhere before it is up
    // (nothing is tried), only to the WAV file headless, and to the sound driver in a window.
    enum OutputPlace { kNoOutputYet, kHeadless, kWindow };

    // Called by TrelSystem after each tick, with its framerate: mixes the tick and passes it on.
    void tick_(int framerate);
    // Called by TrelInterface once it is up, and with kNoOutputYet when it stops.
    void setOutputPlace_(OutputPlace place) { outputPlace = place; }
    // Called by TrelInterface before Allegro stops.
    void stopOutput_();

private:
    // Starts the sound driver once, in a window; otherwise logs why the game is silent.
    void startOutput();
    TrelLog* log; // not owned
    OutputPlace outputPlace = kNoOutputYet;
    std::vector<TrelSound*> sounds;    // owned
    TrelSoundOutput* output = nullptr; // owned; null while nothing is heard
    TrelWavWriter wav;
    bool outputTried = false;
};

#endif
