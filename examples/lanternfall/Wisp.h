#ifndef LANTERNFALL_WISP_H
#define LANTERNFALL_WISP_H

#include <vector>

#include <trel.h>

class Lantern;

// A wisp drifts in a straight line, bounces off the meadow's edges and puts out every lit
// lantern it touches.
class Wisp : public TrelObject {
public:
    // Not owned: the lanterns live on the same layer as the wisp, as long as it does.
    Wisp(TrelLayer* layer, fixedpoint::fix16 x, fixedpoint::fix16 y, fixedpoint::fix16 vx,
         fixedpoint::fix16 vy, TrelISprite* image, const std::vector<Lantern*>* lanterns);

    void onProcess() override;

private:
    const std::vector<Lantern*>* lanterns;
};

#endif
