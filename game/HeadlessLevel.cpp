#include "HeadlessLevel.h"

#include <allegro.h>

#include "Level.h"

HeadlessLevel::HeadlessLevel(int depth) {
    set_color_depth(depth);
    buffer = create_bitmap(640, 480);
    screenBitmap = create_bitmap(640, 480);
    screen = screenBitmap;
    gameSystem.iface.gfx.buffer = gameSystem.iface.gfx.target = buffer;
    gameSystem.iface.loaded = true; // the level may now be built
    setUpLevel();
}

HeadlessLevel::~HeadlessLevel() {
    tearDownLevel();
    gameSystem.iface.gfx.buffer = gameSystem.iface.gfx.target = nullptr;
    gameSystem.iface.loaded = false;
    if (screen == screenBitmap)
        screen = nullptr;
    destroy_bitmap(buffer);
    destroy_bitmap(screenBitmap);
}

void HeadlessLevel::tick() {
    gameSystem.input.latch_(false); // the keys the test wrote into key[]
    gameSystem.zone->process();
    gameSystem.iface.gfx.drawLoop();
}
