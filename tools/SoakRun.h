#ifndef QUENMOOR_SOAK_RUN_H
#define QUENMOOR_SOAK_RUN_H

#include <cstdint>
#include <memory>
#include <string>

#include "HeadlessLevel.h"

// The demo's level run headless for as many ticks as asked: each tick the ball is placed on
// the first gem still on the field, so gems are picked up and rounds keep finishing, then the
// zone is processed and the frame drawn into memory. After each round it checks that the
// field holds the ball and a fresh 20 gems again and that the best time is no worse than any
// round's time. Needs Allegro started (SYSTEM_NONE will do) and data/ in the working folder.
class SoakRun {
public:
    SoakRun() = default;

    SoakRun(const SoakRun&) = delete;
    SoakRun& operator=(const SoakRun&) = delete;

    // Builds the level on the game's system, drawing into memory bitmaps.
    void start();
    // Runs this many ticks; false as soon as a check fails (fault then says which).
    bool run(std::int64_t count);

    std::int64_t ticks = 0;  // run so far
    std::int64_t rounds = 0; // completed so far
    std::string fault;       // the first failed check, empty while every check has held

private:
    void steer();
    void checkRound();

    std::unique_ptr<HeadlessLevel> level;
    std::int32_t lastSeenTime = -1;
    std::int32_t shortestRound = 0;
};

// The process's resident memory in KiB, from /proc/self/statm (0 where that cannot be read).
long residentKiB();

#endif
