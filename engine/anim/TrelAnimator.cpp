#include "anim/TrelAnimator.h"

void TrelAnimator::play(const TrelAnimation* newAnimation) {
    animation = newAnimation;
    const int count = animation != nullptr ? animation->getFrameCount() : 0;
    backward = animation != nullptr && animation->getDirection() == TrelAnimation::kReverse;
    index = backward ? count - 1 : 0;
    if (index < 0)
        index = 0;
    ticksOnFrame = 0;
    pass = 0;
    finished = animation != nullptr && count == 0; // nothing to show: over at once
    changed = count > 0;
    justFinished = finished;
}

TrelISprite* TrelAnimator::getSprite() const {
    return animation != nullptr ? animation->getFrame(index).sprite : nullptr;
}

void TrelAnimator::step() {
    changed = false;
    justFinished = false;
    if (animation == nullptr || finished)
        return;
    const int count = animation->getFrameCount();
    if (++ticksOnFrame < animation->getFrame(index).ticks)
        return;
    int next = index + (backward ? -1 : 1);
    if (next < 0 || next >= count) {
        // The end of a pass: finish, turn around, or start again at the first end.
        ++pass;
        const int passes =
            animation->getMode() == TrelAnimation::kOnce ? 1 : animation->getPasses();
        if (passes > 0 && pass >= passes) {
            finished = true;
            justFinished = true; // the last frame stays
            return;
        }
        if (animation->getMode() == TrelAnimation::kPingPong && count > 1) {
            backward = !backward;
            next = index + (backward ? -1 : 1);
        } else {
            next = backward ? count - 1 : 0;
        }
    }
    ticksOnFrame = 0;
    changed = next != index;
    index = next;
}
