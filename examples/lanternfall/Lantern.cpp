#include "Lantern.h"

#include "Moth.h"
#include "Touch.h"

using fixedpoint::fix16;

int Lantern::count = 0;
int Lantern::litCount = 0;

Lantern::Lantern(TrelLayer* layer, fix16 x, fix16 y, TrelResource* frames, Moth* moth)
    : TrelObject(layer, x, y, fix16(16), fix16(20)), frames(frames), moth(moth) {
    setSprite(frames->getData(0));
    ++count;
}

Lantern::~Lantern() {
    --count;
    if (lit)
        --litCount;
}

void Lantern::onProcess() {
    if (lit || !touching(this, moth))
        return;
    lit = true;
    setSprite(frames->getData(1));
    ++litCount;
    TrelSystem* system = getSystem();
    system->consprintf("\nLantern lit: %i of %i", litCount, count);
    if (litCount == count)
        system->consprintf("\nAll %i lanterns lit after %i ticks.", count, moth->ticks);
}

void Lantern::putOut() {
    if (!lit)
        return;
    lit = false;
    setSprite(frames->getData(0));
    --litCount;
    getSystem()->consprintf("\nA wisp put a lantern out: %i of %i lit", litCount, count);
}
