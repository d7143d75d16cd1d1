#ifndef QUENMOOR_HEADLESS_LEVEL_H
#define QUENMOOR_HEADLESS_LEVEL_H

#include "trel.h"

// The demo's level on the game's own system without a window, for the soak run, the
// benchmarks and the game's tests: a TrelHeadlessRun on a memory bitmap of the window's size,
// which also stands in for the screen, and the level built as the game builds it. Needs
// Allegro started (SYSTEM_NONE will do) and data/ in the working folder. One at a time.
class HeadlessLevel {
public:
    // At the given colour depth (the game's window has 16 bits per pixel).
    explicit HeadlessLevel(int depth = 16);
    // Removes the level, its images and the renderer's kept tiles, and the stand-ins, while
    // Allegro still runs.
    ~HeadlessLevel();

    HeadlessLevel(const HeadlessLevel&) = delete;
    HeadlessLevel& operator=(const HeadlessLevel&) = delete;

    // The bitmap frames are drawn into.
    BITMAP* getBuffer() { return buffer; }
    // The keys held, the ticks run and the frames compared, as for any headless game.
    TrelHeadlessRun& getRun() { return run; }
    // Runs one tick of the system with the keys held and draws the frame, as one pass of the
    // main loop that draws.
    void tick();

private:
    BITMAP* buffer;       // owned
    BITMAP* screenBitmap; // owned: stands in for the screen
    TrelHeadlessRun run;
};

#endif
