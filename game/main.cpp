#include <allegro.h>

#include "Level.h"

int main() {
    gameSystem.setName("Quenmoor");
    gameSystem.iface.init();
    setUpLevel();
    gameSystem.mainLoop();
    return 0;
}
END_OF_MAIN()
