#include "Wisp.h"

#include "Lantern.h"
#include "Touch.h"

using fixedpoint::fix16;

Wisp::Wisp(TrelLayer* layer, fix16 x, fix16 y, fix16 vx, fix16 vy, TrelISprite* image,
           const std::vector<Lantern*>* lanterns)
    : TrelObject(layer, x, y, fix16(12), fix16(12)), lanterns(lanterns) {
    setSprite(image);
    setSpeed(vx, vy);
}

void Wisp::onProcess() {
    vmath::vec2<fix16> p, v;
    getPos(p);
    getSpeed(v);
    int w, h;
    getLayer()->getMapActualSize(w, h);
    // Turn back before this tick's move would cross an edge.
    if ((p.x + v.x).toInt() < 8 || (p.x + v.x).toInt() > w - 8)
        v.x = -v.x;
    if ((p.y + v.y).toInt() < 8 || (p.y + v.y).toInt() > h - 8)
        v.y = -v.y;
    setSpeed(v.x, v.y);

    for (Lantern* lantern : *lanterns) {
        if (lantern->isLit() && touching(this, lantern))
            lantern->putOut();
    }
}
