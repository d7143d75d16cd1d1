#ifndef LANTERNFALL_LANTERN_H
#define LANTERNFALL_LANTERN_H

#include <trel.h>

class Moth;

// A lantern stands still; the moth lights it by touching it, a wisp puts it out.
class Lantern : public TrelObject {
public:
    // Frame 0 of frames is the dark lantern, frame 1 the lit one.
    Lantern(TrelLayer* layer, fixedpoint::fix16 x, fixedpoint::fix16 y, TrelResource* frames,
            Moth* moth);

    void onProcess() override; // lit on the moth's touch
    void putOut();
    bool isLit() { return lit; }

private:
    TrelResource* frames; // not owned: the system's sprite registry holds it
    Moth* moth;           // not owned: the player, on the same layer as long as the lanterns
    bool lit = false;
};

#endif
