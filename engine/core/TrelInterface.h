#ifndef TREL_INTERFACE_H
#define TREL_INTERFACE_H

#include <atomic>
#include <cstdint>

#include "base/TrelExport.h"
#include "gfx/TrelIGfx.h"

struct BITMAP;
class TrelSystem;

// The engine's layer over Allegro: start-up and shutdown, the tick timer and frame pacing,
// message boxes and the window title. Held by value as TrelSystem::iface.
class TREL_API TrelInterface {
public:
    explicit TrelInterface(TrelSystem* owner);
    ~TrelInterface(); // does what deinit does

    TrelInterface(const TrelInterface&) = delete;
    TrelInterface& operator=(const TrelInterface&) = delete;

    // Brings Allegro, the video mode, the keyboard and the timer up. Every failure on the
    // way is fatal. Returns true, except when the interface is already up: a second call
    // is refused with an error and changes nothing.
    bool init();
    // Brings the engine up without a window, keyboard or timer, for tests, replays and tools
    // on machines without a display: Allegro's system driver for no display, a memory buffer
    // of the screen size at 16 bits per pixel, and the image loaders, with the same log lines
    // for each step that happens and one saying the run is headless. The main loop then runs
    // ticks back to back, draws a frame only when asked (gfx.drawLoop, gfx.saveFrame), and the
    // input is what TrelInput::feed sets. Fatal failures as for init; refused alike when up.
    bool initHeadless();
    // Brings the engine up headless on an Allegro the program started itself (SYSTEM_NONE),
    // for tests, benchmarks and tools that share one Allegro between several systems: as
    // initHeadless, but frames are composed in frame (not owned; its size and depth are the
    // screen's), nothing is logged, and deinit leaves Allegro running. Refused with an error
    // when the interface is up, Allegro is not running or frame is null.
    bool initOnFrame(BITMAP* frame);
    // Shuts everything down again; safe to call more than once.
    void deinit();

    // Waits for the next timer tick and sets draw to 1 when this logic frame is to be drawn
    // (headless: no wait, and draw 0), latches the tick's input, and sets the system's quit
    // flag when Escape is down in it (unless the game turned that off).
    void startLoop(int& draw);
    bool isHeadless() { return headless; }
    // Brought up by initOnFrame, on a frame of the caller's.
    bool isOnFrame() const { return onFrame; }
    std::int32_t getTics() { return totalTics.load(); }

    // The timer callback, run on Allegro's timer thread; param is the interface.
    static void incrementTics(void* param);

    // Registers what the engine adds to Allegro, the PNG and JPEG loaders of engine/image;
    // Allegro forgets such registrations when it shuts down. Called by init right after
    // install_allegro, and by programs that start Allegro themselves (SYSTEM_NONE tests).
    static void extendAllegro();
    static void extendAllegro_() { extendAllegro(); } // the former name, for games built on it

    // Called by TrelSystem::setName only.
    void updateName_();
    // Called by TrelSystem::giveError only.
    void displayError_(int level, const char* message);
    // Called by init only: logs the processor, its capabilities and the operating system
    // from the values Allegro reports.
    void logMachine_(int cpuFamily, const char* cpuVendor, int cpuCapabilities, int osType,
                     int osVersion, int osRevision, int osMultitasking);

    // The engine's own state, read-only for games: init, initHeadless, initOnFrame and deinit
    // set it.
    std::uint8_t allegroState; // 0 not running, 1 running without video mode, 2 video mode open
    bool loaded;               // true from a complete init until deinit
    bool headless;             // brought up by initHeadless or initOnFrame
    std::atomic<std::int32_t> pendingTics; // ticks not yet taken by startLoop
    std::atomic<std::int32_t> totalTics;   // all ticks since the timer was installed
    std::int32_t skipCount;                // logic frames left before the next drawn frame
    TrelSystem* system;                    // not owned: the system that holds this interface
    TrelIGfx gfx;

private:
    bool onFrame = false; // brought up by initOnFrame: the frame and Allegro are the caller's

    // A fatal error with Allegro's reason, or "Unknown error!" and what failed when Allegro
    // gives none.
    void fatalAllegroError(const char* format, const char* failed);
    // The checks and the first steps that init and initHeadless share, up to the machine's
    // description; false when the interface is already up.
    bool startAllegro(int systemDriver);
    // The timer's pacing of startLoop in a window.
    void waitForTick(int& draw);
};

#endif
