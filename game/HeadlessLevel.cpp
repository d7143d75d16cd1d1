#include "HeadlessLevel.h"

#include <allegro.h>

#include "Level.h"

namespace {

// A bitmap of the window's size at the depth; set first so that the run draws at it.
BITMAP* frameAt(int depth) {
    set_color_depth(depth);
    return create_bitmap(640, 480);
}

} // namespace

// guide: headless-frame
HeadlessLevel::HeadlessLevel(int depth)
    : buffer(frameAt(depth)), screenBitmap(create_bitmap(640, 480)), run(&gameSystem, buffer) {
    screen = screenBitmap;
    setUpLevel();
}

HeadlessLevel::~HeadlessLevel() {
    tearDownLevel();
    gameSystem.iface.deinit(); // leaves Allegro running: the frame was ours
    if (screen == screenBitmap)
        screen = nullptr;
    destroy_bitmap(buffer);
    destroy_bitmap(screenBitmap);
}
// guide: end

void HeadlessLevel::tick() {
    run.run(1);
    gameSystem.iface.gfx.drawLoop();
}
