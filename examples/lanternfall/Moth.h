// guide: moth-header
#ifndef LANTERNFALL_MOTH_H
#define LANTERNFALL_MOTH_H

#include <trel.h>

// The player: flies where the arrow keys point, beating its wings and facing the way it
// flies, and the camera follows it.
class Moth : public TrelObject {
public:
    // look: the moth's frames and its animation "flap" (see loadLook).
    Moth(TrelLayer* home, fixedpoint::fix16 x, fixedpoint::fix16 y, TrelResource* look);

    // The moth's frames and animations, from the sheet data/moth.json, a new resource of the
    // game's registry; a sheet that cannot be loaded is a fatal error.
    static TrelResource* loadLook(TrelSystem* game);

    void onProcess() override;            // the keys set the speed; move() follows this hook
    void onPostProcess() override;        // the camera, centred on the moth
    void onDraw(BITMAP* buffer) override; // the count of lit lanterns

    int ticks = 0;    // since the start
    int lanterns = 0; // on the meadow: raised by each lantern as it is made
    int lit = 0;      // of them, lit: raised and lowered by the lanterns
};

#endif
// guide: end
