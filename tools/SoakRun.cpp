#include "SoakRun.h"

#include <cstdio>
#include <unistd.h>

#include "Ball.h"
#include "Gem.h"
#include "Level.h"

void SoakRun::start() {
    level = std::make_unique<HeadlessLevel>(16); // as the game's window
    lastSeenTime = ball->lastTime;
    shortestRound = ball->bestTime;
}

void SoakRun::steer() {
    for (TrelObject* object : ball->getLayer()->getObjects()) {
        if (object == ball || object->isDestroyed())
            continue;
        vmath::vec2<fixedpoint::fix16> p;
        object->getPos(p);
        ball->setPos(p.x, p.y);
        ball->setSpeed(fixedpoint::fix16(), fixedpoint::fix16());
        return;
    }
}

void SoakRun::checkRound() {
    ++rounds;
    int objects = ball->getLayer()->getNumObjects();
    if (objects != 21) {
        fault = "round " + std::to_string(rounds) + " left " + std::to_string(objects) +
                " objects on the field instead of the ball and 20 gems";
        return;
    }
    if (ball->lastTime < shortestRound)
        shortestRound = ball->lastTime;
    if (ball->bestTime != shortestRound || ball->bestTime > ball->lastTime) {
        fault = "after round " + std::to_string(rounds) + " the best time is " +
                std::to_string(ball->bestTime) + " but the shortest round took " +
                std::to_string(shortestRound) + " ticks";
    }
}

bool SoakRun::run(std::int64_t count) {
    for (std::int64_t i = 0; i < count && fault.empty(); ++i) {
        steer();
        level->tick();
        ++ticks;
        // A round ends inside the tick: the ball then restarts its count of ticks.
        if (ball->ticks == 0)
            checkRound();
    }
    return fault.empty();
}

long residentKiB() {
    std::FILE* statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return 0;
    long size = 0, resident = 0;
    int read = std::fscanf(statm, "%ld %ld", &size, &resident);
    std::fclose(statm);
    return read == 2 ? resident * (sysconf(_SC_PAGESIZE) / 1024) : 0;
}
