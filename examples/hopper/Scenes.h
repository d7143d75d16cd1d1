#ifndef HOPPER_SCENES_H
#define HOPPER_SCENES_H

#include <trel.h>

// The game's set-up, as main() and the tests run it: the settings before the engine comes up,
// then the first scene, the title.
void configureHopper(TrelSystem& game);
void startHopper(TrelSystem& game);

// The scenes: the title, the level (new, or continued from the save), the pause screen over
// it, and the end of the game.
extern const TrelScene titleScene;
extern const TrelScene playScene;
extern const TrelScene continueScene;
extern const TrelScene pauseScene;
extern const TrelScene gameOverScene;

// The hero of the level being played (null before the first), and the score of the last
// game, for the tests.
class Hopper;
Hopper* playingHero();
int lastScore();

#endif
