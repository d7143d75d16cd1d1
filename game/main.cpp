#include <allegro.h>

#include "trel.h"

TrelSystem gameSystem;

int main() {
    gameSystem.setName("Quenmoor");
    gameSystem.iface.init();
    int draw = 0;
    while (gameSystem.quit == 0)
        gameSystem.iface.startLoop(draw);
    return 0;
}
END_OF_MAIN()
