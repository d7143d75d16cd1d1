#include "camera/TrelCamera.h"

#include <algorithm>

#include "random/TrelRandom.h"
#include "world/TrelLayer.h"
#include "world/TrelZone.h"

TrelCamera::TrelCamera(TrelLayer* hud, TrelRandom* shakes)
    : TrelObject(hud, Fixed(), Fixed(), Fixed(), Fixed()), random(shakes) {
    setVisibility(false);
}

void TrelCamera::follow(TrelObject* object, Style how, Fixed share) {
    target.set(object);
    style = how;
    lerp = share;
    int x, y, w, h;
    getZone()->getCameraRegion(x, y, w, h);
    // The dead zones as the peers give them, in the view's pixels.
    const int big = std::max(w, h);
    switch (style) {
    case kPlatformer:
        setDeadZone((w - w / 8) / 2, (h - h / 3) / 2 - h / 3 / 4, w / 8, h / 3);
        break;
    case kTopDown:
        setDeadZone((w - big / 4) / 2, (h - big / 4) / 2, big / 4, big / 4);
        break;
    case kTopDownTight:
        setDeadZone((w - big / 8) / 2, (h - big / 8) / 2, big / 8, big / 8);
        break;
    case kLockOn:
    case kScreenByScreen:
        setDeadZone(w / 2, h / 2, 0, 0);
        break;
    }
}

void TrelCamera::setDeadZone(int x, int y, int w, int h) {
    deadX = x;
    deadY = y;
    deadW = std::max(w, 0);
    deadH = std::max(h, 0);
}

void TrelCamera::getDeadZone(int& x, int& y, int& w, int& h) const {
    x = deadX;
    y = deadY;
    w = deadW;
    h = deadH;
}

void TrelCamera::shake(Fixed reach, int ticks, bool fall) {
    amplitude = reach;
    shakeTicks = shakeLeft = std::max(ticks, 0);
    fallOff = fall;
}

void TrelCamera::flash(int rgb, int ticks) {
    flashColor = rgb;
    flashTicks = flashLeft = std::max(ticks, 0);
}

void TrelCamera::fade(int rgb, int ticks, bool in) {
    fadeColor = rgb;
    fadeTicks = fadeLeft = std::max(ticks, 1);
    fadingIn = in;
    fadedOut = false;
}

TrelObject::Fixed TrelCamera::closer(Fixed from, Fixed to) const {
    if (lerp >= Fixed(1))
        return to;
    const std::int64_t part = (static_cast<std::int64_t>(to.raw) - from.raw) * lerp.raw;
    return Fixed::fromRaw(
        static_cast<std::int32_t>(from.raw + (part >= 0 ? part >> 16 : -((-part + 65535) >> 16))));
}

void TrelCamera::followTarget() {
    TrelObject* object = target.get();
    if (object == nullptr)
        return;
    TrelZone* zone = getZone();
    int rx, ry, w, h;
    zone->getCameraRegion(rx, ry, w, h);
    Vec at, camera;
    object->getPos(at);
    zone->getCameraPos(camera);
    Vec wanted = camera;
    if (style == kScreenByScreen) {
        // The view the target is in, whole views from the zone's origin.
        wanted =
            Vec(Fixed(at.x.floor() / std::max(w, 1) * w), Fixed(at.y.floor() / std::max(h, 1) * h));
    } else {
        // The least move that brings the target's centre into the dead zone.
        const Fixed left = camera.x + Fixed(deadX), top = camera.y + Fixed(deadY);
        if (at.x < left)
            wanted.x = at.x - Fixed(deadX);
        else if (at.x > left + Fixed(deadW))
            wanted.x = at.x - Fixed(deadX + deadW);
        if (at.y < top)
            wanted.y = at.y - Fixed(deadY);
        else if (at.y > top + Fixed(deadH))
            wanted.y = at.y - Fixed(deadY + deadH);
    }
    zone->setCameraPos(closer(camera.x, wanted.x), closer(camera.y, wanted.y));
}

void TrelCamera::onProcess() {
    TrelZone* zone = getZone();
    followTarget();

    int dx = 0, dy = 0;
    if (shakeLeft > 0) {
        const Fixed now = fallOff ? Fixed::fromRaw(static_cast<std::int32_t>(
                                        std::int64_t(amplitude.raw) * shakeLeft / shakeTicks))
                                  : amplitude;
        const int reach = now.toInt();
        dx = random->range(-reach, reach);
        dy = random->range(-reach, reach);
        --shakeLeft;
    }
    zone->setViewShake(dx, dy);

    // The flash over the fade, where both run.
    int colour = 0, alpha = 0;
    if (fadeLeft > 0) {
        --fadeLeft;
        const int gone = fadeTicks - fadeLeft;
        alpha = 255 * (fadingIn ? fadeLeft : gone) / fadeTicks;
        colour = fadeColor;
        fadedOut = !fadingIn && fadeLeft == 0;
    } else if (fadedOut) {
        alpha = 255;
        colour = fadeColor;
    }
    if (flashLeft > 0) {
        const int flashAlpha = 255 * flashLeft / flashTicks;
        --flashLeft;
        if (flashAlpha > alpha) {
            alpha = flashAlpha;
            colour = flashColor;
        }
    }
    zone->setViewVeil(colour, alpha);
}
