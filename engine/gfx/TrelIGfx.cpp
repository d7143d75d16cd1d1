#include "gfx/TrelIGfx.h"

#include <allegro.h>

#include "core/TrelInterface.h"
#include "core/TrelSystem.h"

int TrelIGfx::init_() {
    TrelSystem* system = owner->system;
    system->consprint("\n\nInitializing video!");

    width = system->screenWidth;
    height = system->screenHeight;
    colorDepth = 16;
    driverAutodetect = GFX_AUTODETECT;
    driverFullscreen = GFX_AUTODETECT_FULLSCREEN;
    driverWindowed = GFX_AUTODETECT_WINDOWED;
    regionClippingDisabled = 0;

    system->consprintf("\nTrying mode: %ix%ix%i...", width, height, colorDepth);
    set_color_depth(colorDepth);
    if (set_gfx_mode(driverWindowed, width, height, 0, 0) != 0)
        system->giveError(0, "Could not open video device!\n%s", allegro_error);

    // The splash stays on screen until the first frame is copied over it.
    int white = makecol(255, 255, 255);
    textprintf_centre_ex(screen, font, SCREEN_W / 2, SCREEN_H - 40, white, -1, "Varnak %s",
                         TREL_VERSION_STRING);
    textprintf_centre_ex(screen, font, SCREEN_W / 2, SCREEN_H - 24, white, -1, "%s",
                         system->getName());

    system->consprint("\nSuccess!\n\nSetting switch mode...");
    owner->allegroState = 2;
    // Keep running while the window is in the background.
    if (set_display_switch_mode(SWITCH_BACKGROUND) != 0 &&
        set_display_switch_mode(SWITCH_BACKAMNESIA) != 0)
        system->consprint("\nFailed. Continuing anyway.");

    system->consprint("\nCreating buffer bitmaps...");
    buffer = create_bitmap(SCREEN_W, SCREEN_H);
    if (buffer == nullptr)
        system->giveError(0, "Could not create buffer bitmap!\n%s", allegro_error);
    target = buffer;
    return 1;
}

void TrelIGfx::deinit_() {
    TrelSystem* system = owner->system;
    system->consprint("\n\nDestroying buffer bitmaps...");
    target = nullptr;
    if (buffer != nullptr)
        destroy_bitmap(buffer);
    buffer = nullptr;
    system->consprint("\n\nClosing video device...");
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    owner->allegroState = 1;
    system->consprint("\nDone!");
}

void TrelIGfx::updateScreen() {
    blit(buffer, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
}

void TrelIGfx::disableRegionClipping() {
    set_clip_rect(target, 0, 0, target->w - 1, target->h - 1);
    regionClippingDisabled = 1;
}
