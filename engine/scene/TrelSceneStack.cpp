#include "scene/TrelSceneStack.h"

#include "world/TrelZone.h"

TrelSceneStack::~TrelSceneStack() {
    while (!covered.empty()) {
        delete covered.back().zone;
        covered.pop_back();
    }
}

TrelZone* TrelSceneStack::getCovered(int index) const {
    return index >= 0 && index < getCoveredCount() ? covered[static_cast<std::size_t>(index)].zone
                                                   : nullptr;
}

const TrelScene* TrelSceneStack::getCover(int index) const {
    return index >= 0 && index < getCoveredCount() ? &covered[static_cast<std::size_t>(index)].above
                                                   : nullptr;
}

int TrelSceneStack::getFirstShown() const {
    int first = getCoveredCount();
    while (first > 0 && covered[static_cast<std::size_t>(first - 1)].above.showsBelow)
        --first;
    return first;
}

int TrelSceneStack::getFadeAlpha(int& rgb) const {
    rgb = fadeColor;
    if (phase == kNoFade || fadeLength <= 0)
        return 0;
    const int done = fadeTicks < fadeLength ? fadeTicks : fadeLength;
    const int shown = phase == kFadeOut ? done : fadeLength - done;
    return shown * 255 / fadeLength;
}

void TrelSceneStack::request_(Change change, const TrelScene& scene,
                              const TrelTransition& transition) {
    requests.push_back(
        Request{change, scene, scene.name != nullptr ? scene.name : "", transition, false});
}

void TrelSceneStack::cover_(TrelZone* zone, const TrelScene& above) {
    covered.push_back(Covered{zone, above, currentName});
    covered.back().above.name = "";
}

TrelZone* TrelSceneStack::uncover_(TrelScene& above) {
    if (covered.empty())
        return nullptr;
    TrelZone* zone = covered.back().zone;
    above = covered.back().above;
    currentName = covered.back().name;
    covered.pop_back();
    return zone;
}

void TrelSceneStack::startFade_(bool out, const TrelTransition& transition) {
    fadeLength = out ? transition.outTicks : transition.inTicks;
    fadeTicks = 0;
    fadeColor = transition.color & 0xffffff;
    runsDuring = transition.runsDuring;
    phase = fadeLength <= 0 ? kNoFade : out ? kFadeOut : kFadeIn;
}

void TrelSceneStack::stepFade_() {
    if (phase == kNoFade)
        return;
    ++fadeTicks;
    if (phase == kFadeIn && fadeTicks >= fadeLength)
        phase = kNoFade;
}
