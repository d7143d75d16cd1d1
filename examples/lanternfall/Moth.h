// guide: moth-header
#ifndef LANTERNFALL_MOTH_H
#define LANTERNFALL_MOTH_H

#include <trel.h>

// The player: flies where the arrow keys point, and the camera follows it.
class Moth : public TrelObject {
public:
    Moth(TrelLayer* home, fixedpoint::fix16 x, fixedpoint::fix16 y, TrelISprite* image);

    void onProcess() override;            // the keys set the speed; move() follows this hook
    void onPostProcess() override;        // the camera, centred on the moth
    void onDraw(BITMAP* buffer) override; // the count of lit lanterns

    int ticks = 0;    // since the start
    int lanterns = 0; // on the meadow: raised by each lantern as it is made
    int lit = 0;      // of them, lit: raised and lowered by the lanterns
};

#endif
// guide: end
