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
    while (refs != nullptr)
        refs = refs->forget_();
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
