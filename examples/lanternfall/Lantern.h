#ifndef LANTERNFALL_LANTERN_H
#define LANTERNFALL_LANTERN_H

#include <trel.h>

class Moth;

// A lantern stands still; the moth lights it by touching it, a wisp puts it out.
class Lantern : public TrelObject {
public:
    // frames: the dark lantern (frame 0) and the animation "flicker" (see loadLook).
    Lantern(TrelLayer* layer, fixedpoint::fix16 x, fixedpoint::fix16 y, TrelResource* frames,
            Moth* moth);

    // The lantern's frames and its flickering flame, from data/lantern-sheet.png, a new
    // resource of the game's registry; a sheet that cannot be loaded is a fatal error.
    static TrelResource* loadLook(TrelSystem* game);

    void onProcess() override; // lit on the moth's touch
    void putOut();
    bool isLit() { return lit; }

private:
    TrelResource* frames; // not owned: the system's sprite registry holds it
    Moth* moth;           // not owned: the player, on the same layer as long as the lanterns
    bool lit = false;
};

#endif
