// Hopper: a small side-view platformer on a level drawn in Tiled. The arrow keys run, Up
// jumps, Down drops through a plank; Escape quits.
#include <allegro.h>
#include <trel.h>

#include "Hopper.h"
#include "Level.h"

TrelSystem game;

int main() {
    game.setName("Hopper");
    game.screenWidth = 320;
    game.screenHeight = 240;
    game.screenScale = 2;
    game.framerate = 60;
    game.iface.init();
    startLevel(game);
    game.mainLoop();
    return 0;
}
END_OF_MAIN()
