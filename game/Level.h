#ifndef QUENMOOR_LEVEL_H
#define QUENMOOR_LEVEL_H

#include "trel.h"

class Ball;

// The game's globals: the engine's root object, the gems' images and the player's ball.
extern TrelSystem gameSystem;
extern TrelResource* gemResource; // owned by gameSystem's sprite registry
extern Ball* ball;                // owned by layer 0
extern TrelSound* gemSound;       // owned by gameSystem.audio; null when it could not be loaded
extern TrelSound* roundSound;

// Sets every cell of layer 0 to 1.
void fillGround(TrelSystem* system);

// Adds the game's own values to the zone's state (TrelZone::stateHash, dumpState): the
// ball's round, its times and gem count, and which gems are drawn towards it.
void writeGameState(TrelState& state, void* unused);

// Builds the level once the interface is loaded: the zone with its two layers, the images,
// the sounds, the ball, the first gems and the camera region. A missing image is a fatal
// error; a missing sound is logged, and the game plays without it.
void setUpLevel();

// Removes the level again: the zone, the images, the sounds and what the renderer kept of them,
// while Allegro still runs; setUpLevel can then build it afresh (tests, replays, the soak run).
void tearDownLevel();

#endif
