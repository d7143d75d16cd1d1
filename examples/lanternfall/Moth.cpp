// guide: moth-top
#include "Moth.h"

#include <allegro.h>

using fixedpoint::fix16;

Moth::Moth(TrelLayer* home, fix16 x, fix16 y, TrelResource* look)
    : TrelObject(home, x, y, fix16(20), fix16(20)) {
    play(look->findAnimation("flap")); // the sprite follows the animation's frames
}
// guide: end

// guide: moth-look
TrelResource* Moth::loadLook(TrelSystem* game) {
    auto* look = new TrelResource();
    game->addSpriteResource(look); // the registry owns it
    // A sheet exported by Aseprite: its frames, and one animation per tag.
    TrelAsepriteSheet sheet;
    if (!sheet.load("data/moth.json", look, game->framerate))
        game->giveError(0, "%s", sheet.getError());
    return look;
}
// guide: end

// guide: moth-move
void Moth::onProcess() {
    const fix16 step(3); // pixels per tick
    // The keys as they were at the start of this tick (Allegro's KEY_ codes).
    const TrelInput& keys = getSystem()->input;
    fix16 vx, vy;
    if (keys.isDown(KEY_LEFT))
        vx = -step;
    if (keys.isDown(KEY_RIGHT))
        vx = step;
    if (keys.isDown(KEY_UP))
        vy = -step;
    if (keys.isDown(KEY_DOWN))
        vy = step;

    // Stay on the meadow: no speed that would carry the moth over its edge.
    vmath::vec2<fix16> p;
    getPos(p);
    int w, h;
    getLayer()->getMapActualSize(w, h);
    if ((p.x + vx).toInt() < 10 || (p.x + vx).toInt() > w - 10)
        vx = fix16();
    if ((p.y + vy).toInt() < 10 || (p.y + vy).toInt() > h - 10)
        vy = fix16();
    setSpeed(vx, vy);
    // The sheet's moth faces right: mirrored, it faces left. Flying up or down, it keeps
    // the way it faced.
    if (vx != 0)
        setFlipped(vx < 0, false);
    ++ticks;
}
// guide: end

// guide: moth-camera
void Moth::onPostProcess() {
    vmath::vec2<fix16> p;
    getPos(p);
    int x, y, w, h;
    getZone()->getCameraRegion(x, y, w, h);
    // The zone keeps the camera on the meadow near its edges.
    getZone()->setCameraPos(p.x - fix16(w / 2), p.y - fix16(h / 2));
}
// guide: end

// guide: moth-draw
void Moth::onDraw(BITMAP* buffer) {
    textprintf_ex(buffer, font, 8, 8, makecol(255, 240, 180), -1, "Lanterns lit: %i / %i", lit,
                  lanterns);
}
// guide: end
