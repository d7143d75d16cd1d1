#include "world/TrelObject.h"

#include "world/TrelLayer.h"
#include "world/TrelObjectRef.h"
#include "world/TrelZone.h"

TrelObject::TrelObject(TrelLayer* owner, Fixed x, Fixed y, Fixed w, Fixed h)
    : layer(owner), pos(x, y), speed(), accel(), decel(), gravity(), size(w, h), sprite(nullptr),
      flags(kNew) {
    layer->addObject_(this);
}

TrelObject::~TrelObject() {
    delete lookState;
    while (firstRef != nullptr)
        firstRef = firstRef->forget_();
}

TrelObjectLook& TrelObject::ownLook() {
    if (lookState == nullptr)
        lookState = new TrelObjectLook();
    return *lookState;
}

void TrelObject::setOpacity(int alpha) {
    ownLook().opacity = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
}

void TrelObject::setTint(int rgb, int amount) {
    ownLook().tintColor = rgb & 0xffffff;
    lookState->tintAmount = amount < 0 ? 0 : amount > 255 ? 255 : amount;
}

void TrelObject::setAngle(Fixed radians) {
    ownLook().angle = radians;
}

void TrelObject::setScale(Fixed factor) {
    ownLook().scale = factor < Fixed() ? Fixed() : factor;
}

void TrelObject::setPivot(int dx, int dy) {
    ownLook().pivotX = dx;
    lookState->pivotY = dy;
}

void TrelObject::blink(int ticks, int period) {
    ownLook().blinkLeft = ticks > 0 ? ticks : 0;
    lookState->blinkPeriod = period > 0 ? period : 1;
}

void TrelObject::setDepth(int depth) {
    ownLook().depth = depth;
}

void TrelObject::onDraw(BITMAP*) {
}
void TrelObject::onPreProcess() {
}
void TrelObject::onProcess() {
}
void TrelObject::onPostProcess() {
}

TrelZone* TrelObject::getZone() {
    return layer->getZone();
}

TrelSystem* TrelObject::getSystem() {
    return layer->getSystem();
}

void TrelObject::play(const TrelAnimation* animation, bool restart) {
    if (animation == animator.getAnimation() && !restart)
        return;
    animator.play(animation);
    if (animator.hasFrameChanged())
        sprite = animator.getSprite();
}

void TrelObject::destroy() {
    if (flags & kDestroyed)
        return;
    flags |= kDestroyed;
    layer->noteObjectDestroyed_();
}

void TrelObject::travelTo(TrelLayer* target) {
    if (target == nullptr || target == layer || isDestroyed())
        return;
    travelTarget = target;
    layer->getZone()->noteTravel_();
}
