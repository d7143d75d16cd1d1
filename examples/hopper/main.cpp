// Hopper: a small side-view platformer on a level drawn in Tiled, with a title screen (Enter
// starts a new game, C continues from the last coin taken), a pause screen (P) and a
// game-over screen. The arrow keys run, Up jumps, Down drops through a plank, M mutes the tune;
// Escape quits. Progress and settings are kept in ~/.local/share/Hopper.
#include <allegro.h>
#include <trel.h>

#include "Scenes.h"

TrelSystem game;

// guide: main
int main() {
    configureHopper(game);
    game.iface.init();
    startHopper(game);
    game.mainLoop();
    return 0;
}
END_OF_MAIN()
// guide: end
