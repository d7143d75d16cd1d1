#include "Gem.h"

#include <allegro.h>

#include <cstdlib>

using fixedpoint::fix16;

namespace {

const fix16 kReach = fix16::fromRaw(0x280000); // 40.0, on each axis
const int kCells = 32;                         // cells per axis used for placement

} // namespace

Gem::Gem(TrelLayer* home, fix16 x, fix16 y, fix16 w, fix16 h, Ball* chased)
    : TrelObject(home, x, y, w, h), active(0), ball(chased) {
}

void Gem::onProcess() {
    Vec p, b;
    getPos(p);
    ball->getPos(b);

    if (!active) {
        // On the tick of its activation the gem is neither pulled nor collected.
        if (p.x - kReach < b.x && b.x < p.x + kReach && p.y - kReach < b.y && b.y < p.y + kReach)
            active = 1;
        return;
    }

    Vec v;
    getSpeed(v);
    setSpeed(v.x * 2 / 3, v.y * 2 / 3);
    setGravity((b.x - p.x) / 5, (b.y - p.y) / 5); // move() adds it right after this hook

    // The test uses the position from before this tick's move.
    Vec s, z;
    getSize(s);
    ball->getSize(z);
    fix16 hw = (s.x + z.x) / 2;
    fix16 hh = (s.y + z.y) / 2;
    if (p.x - hw < b.x && b.x < p.x + hw && p.y - hh < b.y && b.y < p.y + hh) {
        destroy();
        ++ball->gems;
        getSystem()->audio.mixer.play(sound);
    }
}

void Gem::onDraw(BITMAP* buffer) {
    getSystem()->iface.gfx.disableRegionClipping();
    int mx, my;
    minimapSpot(this, mx, my);
    putpixel(buffer, 600 + mx, 448 + my, makecol(0, 255, 255));
}

void fillLayer(TrelLayer* layer, short value) {
    int w, h;
    layer->getMapSize(w, h);
    short** rows = layer->getMapData();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            rows[y][x] = value;
}

void spawnGems(TrelSystem* system, TrelResource* gemImages, Ball* ball, TrelSound* sound) {
    TrelLayer* grid = system->zone->getLayer(1);
    fillLayer(grid, 0);
    short** rows = grid->getMapData();

    TrelLayer* playfield = system->zone->getLayer(0);
    TrelISprite* image = gemImages ? gemImages->getData(0) : nullptr;
    for (int created = 0; created < kGemsPerRound;) {
        int column = std::rand() % kCells;
        int row = std::rand() % kCells;
        if (rows[row][column] == 1)
            continue; // taken: draw both again
        rows[row][column] = 1;
        Gem* gem = new Gem(playfield, fix16(column * 32) + fix16(16), fix16(row * 32) + fix16(16),
                           fix16(16), fix16(16), ball);
        gem->setSprite(image);
        gem->sound = sound;
        ++created;
    }
}
