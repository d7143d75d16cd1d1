#include "anim/TrelAnimation.h"

void TrelAnimation::addFrame(TrelISprite* sprite, int ticks) {
    frames.push_back(Frame{sprite, ticks > 0 ? ticks : 1});
}

int TrelAnimation::ticksFromMs(int ms, int framerate) {
    long long ticks = (static_cast<long long>(ms) * framerate + 500) / 1000;
    if (ticks < 1)
        return 1;
    return ticks > 0x7fffffff ? 0x7fffffff : static_cast<int>(ticks);
}

TrelAnimation::Frame TrelAnimation::getFrame(int index) const {
    if (index < 0 || index >= getFrameCount())
        return Frame{nullptr, 0};
    return frames[static_cast<std::size_t>(index)];
}

int TrelAnimation::getLength() const {
    long long total = 0;
    for (const Frame& f : frames)
        total += f.ticks;
    return total > 0x7fffffff ? 0x7fffffff : static_cast<int>(total);
}
