#include "Caption.h"

#include <allegro.h>

#include <utility>

using fixedpoint::fix16;

Caption::Caption(TrelLayer* hud, int y, std::string lines, int pressed, Action run)
    : TrelObject(hud, fix16(160), fix16(y), fix16(), fix16()), text(std::move(lines)), key(pressed),
      action(run) {
    setSelfDrawn(true);
}

void Caption::onProcess() {
    if (action != nullptr && getSystem()->input.wasPressed(key))
        action(*getSystem());
}

void Caption::onDraw(BITMAP* buffer) {
    vmath::vec2<fix16> at;
    getPos(at);
    const int colour = makecol(255, 230, 120);
    int y = at.y.toInt();
    for (std::size_t start = 0; start <= text.size(); y += 12) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        textout_centre_ex(buffer, font, text.substr(start, end - start).c_str(), at.x.toInt(), y,
                          colour, -1);
        start = end + 1;
    }
}
