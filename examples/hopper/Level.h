#ifndef HOPPER_LEVEL_H
#define HOPPER_LEVEL_H

#include <trel.h>

class Hopper;

// Starts the level drawn in Tiled, data/level.tmx: its cells and their shapes, the hero and
// the coins its object layer "Things" places (their number in coins, unless null). Returns the
// hero; a level that cannot be loaded is a fatal error.
Hopper* startLevel(TrelSystem& game, int* coins = nullptr);

// Gives the hero its jump and coin sounds and starts the level's tune (called by startLevel).
void addSound(TrelSystem& game, Hopper* hero);

#endif
