#include "Scoreboard.h"

#include <allegro.h>

#include "Hopper.h"
#include "Progress.h"

using fixedpoint::fix16;

Scoreboard::Scoreboard(TrelLayer* hud, const Hopper* player, int total, Action onPause,
                       Action onEnd)
    : TrelObject(hud, fix16(), fix16(), fix16(), fix16()), hero(player), coins(total),
      pause(onPause), end(onEnd) {
    setSelfDrawn(true);
}

// guide: scoreboard
void Scoreboard::onProcess() {
    if (hero->score == coins)
        end(*getSystem()); // nothing of this level runs after this
    else if (getSystem()->input.wasPressed(KEY_P))
        pause(*getSystem());
    else if (getSystem()->input.wasPressed(KEY_M))
        toggleMusic(*getSystem());
}

void Scoreboard::onDraw(BITMAP* buffer) {
    // In the HUD's own pixels: the top-left of the view, wherever the camera is.
    textprintf_ex(buffer, font, 6, 6, makecol(255, 230, 120), -1, "Coins: %i", hero->score);
}
// guide: end
