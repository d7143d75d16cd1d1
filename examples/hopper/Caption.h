#ifndef HOPPER_CAPTION_H
#define HOPPER_CAPTION_H

#include <trel.h>

#include <string>

// guide: caption-header
// Lines of text in the HUD, centred on the screen, that run the game's action when their key
// is pressed: the title's "press Enter", the pause and game-over screens. It draws itself
// alone: no sprite, no placeholder.
class Caption : public TrelObject {
public:
    using Action = void (*)(TrelSystem& game);
    Caption(TrelLayer* hud, int y, std::string text, int key, Action action);

    void onProcess() override;            // the key, read from the first tick on
    void onDraw(BITMAP* buffer) override; // the lines, one under the other

private:
    std::string text; // lines split by '\n'
    int key;
    Action action;
};
// guide: end

#endif
