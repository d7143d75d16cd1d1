#include "Ball.h"

#include <allegro.h>

#include <algorithm>

using fixedpoint::fix16;

namespace {

const fix16 kLowEdge = fix16::fromRaw(0xc0000);                                // 12.0
const fix16 kHighEdge = fix16::fromRaw(0x3f30000);                             // 1011.0
const fix16 kMaxSpeed = fix16::fromRaw(0xa0000);                               // 10.0
const fix16 kMinSpeed = fix16::fromRaw(static_cast<std::int32_t>(0xfff60000)); // -10.0
const fix16 kDeadLeft = fix16::fromRaw(0x1000000);                             // 256.0
const fix16 kDeadRight = fix16::fromRaw(0x1800000);                            // 384.0
const fix16 kDeadTop = fix16::fromRaw(0xc00000);                               // 192.0
const fix16 kDeadBottom = fix16::fromRaw(0x1200000);                           // 288.0

// Bounces one axis off the field's edges, losing speed: v becomes -v × 5 ÷ 9.
void bounce(fix16& p, fix16& v) {
    if (p > kHighEdge && v > fix16()) {
        p = kHighEdge;
        v = -v * 5 / 9;
    } else if (p < kLowEdge && v < fix16()) {
        p = kLowEdge;
        v = -v * 5 / 9;
    }
}

void cap(fix16& v) {
    if (v > kMaxSpeed)
        v = kMaxSpeed;
    else if (v < kMinSpeed)
        v = kMinSpeed;
}

} // namespace

Ball::Ball(TrelLayer* home, fix16 x, fix16 y, fix16 w, fix16 h)
    : TrelObject(home, x, y, w, h), gems(0), ticks(0), bestTime(999999), lastTime(999999),
      rounds(0) {
}

void Ball::onProcess() {
    Vec p, v;
    getPos(p);
    getSpeed(v);

    const fix16 push = fix16::fromRaw(fixedpoint::float2fix<16>(0.2f));
    const fix16 pull = fix16::fromRaw(fixedpoint::float2fix<16>(-0.2f));
    fix16 gx, gy;
    const TrelInput& input = getSystem()->input; // this tick's keys, the same all tick long
    if (input.isDown(KEY_LEFT))
        gx = pull;
    else if (input.isDown(KEY_RIGHT))
        gx = push;
    if (input.isDown(KEY_UP))
        gy = pull;
    else if (input.isDown(KEY_DOWN))
        gy = push;

    bounce(p.x, v.x);
    bounce(p.y, v.y);
    cap(v.x);
    cap(v.y);

    setPos(p.x, p.y);
    setSpeed(v.x, v.y);
    setGravity(gx, gy); // move() applies it in this same tick
}

void Ball::onPostProcess() {
    Vec p, c;
    getPos(p);
    getZone()->getCameraPos(c);
    if (p.x > c.x + kDeadRight)
        c.x = p.x - kDeadRight;
    if (p.x < c.x + kDeadLeft)
        c.x = p.x - kDeadLeft;
    if (p.y > c.y + kDeadBottom)
        c.y = p.y - kDeadBottom;
    if (p.y < c.y + kDeadTop)
        c.y = p.y - kDeadTop;
    getZone()->setCameraPos(c.x, c.y); // the zone keeps it on the playfield

    ++ticks;
    if (gems > kGemsPerRound - 1) {
        gems = 0;
        if (onRoundEnd != nullptr)
            onRoundEnd(this);
        lastTime = ticks;
        ++rounds;
        if (ticks < bestTime)
            bestTime = ticks;
        ticks = 0;
        getSystem()->audio.mixer.play(roundSound);
    }
}

void Ball::onDraw(BITMAP* buffer) {
    getSystem()->iface.gfx.disableRegionClipping(); // the strip lies below the camera region

    int black = makecol(0, 0, 0);
    int white = makecol(255, 255, 255);
    rectfill(buffer, 0, 448, 639, 479, black);
    rectfill(buffer, 600, 448, 631, 479, makecol(20, 40, 80));
    textprintf_ex(buffer, font, 16, 460, white, black, "Time: %i", ticks);
    textprintf_ex(buffer, font, 160, 454, white, black, "Last Time: %i", lastTime);
    textprintf_ex(buffer, font, 160, 468, white, black, "Best Time: %i", bestTime);
    textprintf_ex(buffer, font, 352, 460, white, black, "Gems: %i / %i", gems, kGemsPerRound);

    int mx, my;
    minimapSpot(this, mx, my);
    rect(buffer, 600 + mx, 448 + my, 601 + mx, 449 + my, makecol(255, 0, 0));
}

void minimapSpot(TrelObject* object, int& mx, int& my) {
    int w, h;
    object->getLayer()->getMapActualSize(w, h);
    vmath::vec2<fix16> p;
    object->getPos(p);
    mx = p.x.toInt() / std::max(w / 32, 1);
    my = p.y.toInt() / std::max(h / 32, 1);
}
