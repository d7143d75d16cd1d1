#ifndef TREL_SOUND_OUTPUT_H
#define TREL_SOUND_OUTPUT_H

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct AUDIOSTREAM;

// The mix played through Allegro's digital sound driver: a 16-bit stereo audio stream at the
// mix's rate, with Allegro's own mixing set so that a centred stream plays at full level.
// The game thread queues each tick's frames; a thread of the output's own hands them to the
// stream whenever it asks for a buffer (it checks every few milliseconds, since a stream not
// refilled in time plays its old buffers again). When the queue runs dry (the game fell
// behind) the buffer is filled up with silence; when it holds more than kMaxQueued frames
// (the sound card's clock runs slower than the timer), the oldest are dropped, so the delay
// stays short.
// Engine-internal: used by TrelAudio.
class TrelSoundOutput {
public:
    static const int kBufferFrames = 1024;
    static const int kMaxQueued = 8 * kBufferFrames;

    TrelSoundOutput() = default;
    ~TrelSoundOutput(); // stops
    TrelSoundOutput(const TrelSoundOutput&) = delete;
    TrelSoundOutput& operator=(const TrelSoundOutput&) = delete;

    // Starts Allegro's sound, the stream and the thread that fills it; false, with reason
    // set, when there is no sound driver or the stream cannot be made.
    bool start(int rate, std::string& reason);
    // Queues frames × 2 samples, left first.
    void feed(const std::int16_t* samples, int frames);
    void stop();
    // Frames of silence put in because the queue ran dry, and frames dropped from a full one.
    long long getSilentFrames();
    long long getDroppedFrames();

private:
    // The thread's work: fills every buffer the stream asks for, until stopping is set.
    void fill();
    AUDIOSTREAM* stream = nullptr;
    std::thread filler;
    std::atomic<bool> stopping{false};
    std::mutex lock;                 // guards what follows
    std::vector<std::int16_t> queue; // frames waiting, left first, signed
    bool filling = false;            // buffers have been handed to the stream
    long long silentFrames = 0;
    long long droppedFrames = 0;
};

#endif
