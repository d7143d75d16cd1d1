#include "Lantern.h"

#include "Moth.h"
#include "Touch.h"

using fixedpoint::fix16;

Lantern::Lantern(TrelLayer* layer, fix16 x, fix16 y, TrelResource* frames, Moth* moth)
    : TrelObject(layer, x, y, fix16(16), fix16(20)), frames(frames), moth(moth) {
    setSprite(frames->getData(0));
    ++moth->lanterns;
}

void Lantern::onProcess() {
    if (lit || !touching(this, moth))
        return;
    lit = true;
    setSprite(frames->getData(1));
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
    setSprite(frames->getData(0));
    --moth->lit;
    getSystem()->consprintf("\nA wisp put a lantern out: %i of %i lit", moth->lit, moth->lanterns);
}
