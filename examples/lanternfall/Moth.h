#ifndef LANTERNFALL_MOTH_H
#define LANTERNFALL_MOTH_H

#include <trel.h>

// guide: moth-class
// The player: flies where the arrow keys point, and the camera follows it.
class Moth : public TrelObject {
public:
    Moth(TrelLayer* layer, fixedpoint::fix16 x, fixedpoint::fix16 y, TrelISprite* image);

    void onProcess() override;            // the keys set the speed; move() follows this hook
    void onPostProcess() override;        // the camera, centred on the moth
    void onDraw(BITMAP* buffer) override; // the count of lit lanterns

    int ticks = 0; // since the start
};
// guide: end

#endif
