#include "SoakRun.h"

#include <allegro.h>

#include <cstdio>
#include <unistd.h>

#include "Ball.h"
#include "Gem.h"
#include "Level.h"

SoakRun::~SoakRun() {
    delete gameSystem.zone;
    gameSystem.zone = nullptr;
    ball = nullptr;
    gameSystem.clearSpriteResources();
    gameSystem.iface.gfx.buffer = gameSystem.iface.gfx.target = nullptr;
    gameSystem.iface.loaded = false;
    if (screen == screenBitmap)
        screen = nullptr;
    if (buffer != nullptr)
        destroy_bitmap(buffer);
    if (screenBitmap != nullptr)
        destroy_bitmap(screenBitmap);
}

void SoakRun::start() {
    set_color_depth(16); // as the game's window
    buffer = create_bitmap(640, 480);
    screenBitmap = create_bitmap(640, 480);
    screen = screenBitmap;
    gameSystem.iface.gfx.buffer = gameSystem.iface.gfx.target = buffer;
    gameSystem.iface.loaded = true; // the level may now be built
    setUpLevel();
    lastSeenTime = ball->lastTime;
    shortestRound = ball->bestTime;
}

void SoakRun::steer() {
    for (TrelObject* object : ball->getLayer()->getObjects_()) {
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
        gameSystem.zone->process();
        gameSystem.iface.gfx.drawLoop();
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
