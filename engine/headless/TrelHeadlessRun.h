#ifndef TREL_HEADLESS_RUN_H
#define TREL_HEADLESS_RUN_H

#include "base/TrelCString.h"
#include "base/TrelExport.h"

struct BITMAP;
class TrelSystem;

// A game's logic run without a window, for the game's own tests: hold keys, run ticks, read
// the zone, and compare a frame with a picture kept beside the tests. Runs anywhere, a CI
// machine without a display included.
//
//     TrelHeadlessRun run(&game);   // the engine comes up headless
//     buildLevel();                 // the game's own set-up
//     run.hold(KEY_RIGHT);
//     run.run(60);                  // one second of play
//     EXPECT_TRUE(run.frameMatches("tests/after-one-second.png")) << run.getMismatch();
class TREL_API TrelHeadlessRun {
public:
    // Brings the system up with TrelInterface::initHeadless, unless it is up already.
    explicit TrelHeadlessRun(TrelSystem* system);
    // The game's own set-up, as its main() runs it: configure (the name, the screen's size,
    // the framerate: what is set before the engine comes up), then the engine up headless
    // (a headless one up already at another screen size gets a buffer of the new size), then
    // start (the first scene). So a test gets the game's screen and scenes without a copy of
    // main(). Either function may be null.
    using SetUp = void (*)(TrelSystem& system);
    TrelHeadlessRun(TrelSystem* system, SetUp configure, SetUp start);
    // Brings the system up with TrelInterface::initOnFrame on the caller's frame, for a program
    // that started Allegro itself (several runs one after another in one test program).
    TrelHeadlessRun(TrelSystem* system, BITMAP* frame);

    // Holds a key (an Allegro KEY_ code or a TrelInput code) down from the next tick on.
    void hold(int code);
    void release(int code);
    void releaseAll();
    // Runs n ticks with the keys held; returns the number run (fewer once quit is set).
    int run(int ticks);
    // Latches the held keys as the start of a tick does, without running the tick: for a
    // test of one hook, which then reads them through TrelInput.
    void latch();

    // Draws the current frame and saves it (PNG for a .png name).
    bool saveFrame(const char* file);
    // Draws the current frame and compares it, pixel for pixel by colour, with the image
    // file. False, with getMismatch() saying why (the first differing pixel, another size,
    // or a file that cannot be read), when they differ. A missing file is written from this
    // frame, and reported as a mismatch, so that a new test makes its own reference picture
    // to be looked at and committed.
    bool frameMatches(const char* file);
    const char* getMismatch() { return mismatch.get(); }

private:
    TrelSystem* system; // not owned
    TrelCString mismatch;
};

#endif
