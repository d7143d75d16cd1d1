#ifndef HOPPER_PROGRESS_H
#define HOPPER_PROGRESS_H

#include <trel.h>

class Hopper;

// guide: progress-header
// What the game keeps between runs, in the player's data folder (~/.local/share/Hopper): the
// progress, saved at each coin taken (the game's checkpoints), and the settings (M mutes the
// tune), loaded at start.
void startSaves(TrelSystem& game); // the store and the settings, by configureHopper
TrelSaveStore& hopperSaves();
// Saves the hero's place, score and the coins taken; a save that fails is logged, and the
// game goes on.
void saveCheckpoint(Hopper& hero);
// Puts the level as the slot's save left it: the coins taken gone, the hero where it took
// the last one. False, leaving a new game, when there is no save to load.
bool continueFromSave(Hopper* hero);
// Turns the tune off and on again, and keeps the choice in the settings.
void toggleMusic(TrelSystem& game);
// guide: end

#endif
