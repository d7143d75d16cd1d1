#ifndef HOPPER_SCOREBOARD_H
#define HOPPER_SCOREBOARD_H

#include <trel.h>

class Hopper;

// guide: scoreboard-header
// The level's HUD: the coins collected, P to pause, M to mute the tune, and the end of the game
// once the hero has every coin of the level.
class Scoreboard : public TrelObject {
public:
    using Action = void (*)(TrelSystem& game);
    Scoreboard(TrelLayer* hud, const Hopper* hero, int coins, Action pause, Action end);

    void onProcess() override;
    void onDraw(BITMAP* buffer) override;

private:
    const Hopper* hero; // not owned: an object of the same zone
    int coins;
    Action pause;
    Action end;
};
// guide: end

#endif
