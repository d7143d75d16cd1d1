#include "Lantern.h"

#include "Moth.h"
#include "Touch.h"

using fixedpoint::fix16;

Lantern::Lantern(TrelLayer* layer, fix16 x, fix16 y, TrelResource* frames, Moth* moth)
    : TrelObject(layer, x, y, fix16(16), fix16(20)), frames(frames), moth(moth) {
    setSprite(frames->getData(0));
    ++moth->lanterns;
}

// guide: lantern-look
TrelResource* Lantern::loadLook(TrelSystem* game) {
    auto* look = new TrelResource();
    game->addSpriteResource(look); // the registry owns it
    // Four frames of 24 x 24 side by side: the dark lantern, then three flames.
    if (look->loadSheet("data/lantern-sheet.png", 24, 24) < 4)
        game->giveError(0, "%s", look->getLoadError());
    // The flame flickers: frames 1, 2 and 3 back and forth, each shown for some ticks.
    TrelAnimation* flicker = look->addAnimation(new TrelAnimation("flicker"));
    flicker->addFrame(look->getData(1), 8);
    flicker->addFrame(look->getData(2), 5);
    flicker->addFrame(look->getData(3), 7);
    flicker->setMode(TrelAnimation::kPingPong);
    return look;
}
// guide: end

void Lantern::onProcess() {
    if (lit || !touching(this, moth))
        return;
    lit = true;
    play(frames->findAnimation("flicker"));
    ++moth->lit;
    TrelSystem* system = getSystem();
    system->consprintf("\nLantern lit: %i of %i", moth->lit, moth->lanterns);
    if (moth->lit == moth->lanterns)
        system->consprintf("\nAll %i lanterns lit after %i ticks.", moth->lanterns, moth->ticks);
}

void Lantern::putOut() {
    if (!lit)
        return;
    lit = false;
    stopAnimation();
    setSprite(frames->getData(0));
    --moth->lit;
    getSystem()->consprintf("\nA wisp put a lantern out: %i of %i lit", moth->lit, moth->lanterns);
}
