#ifndef TREL_SCENE_H
#define TREL_SCENE_H

#include "base/TrelExport.h"

class TrelSystem;

// One scene of a game, as the game describes it once: the title, the level, a pause menu, a
// game-over screen. TrelSystem::switchScene and pushScene make a new zone for it at a tick
// boundary and call build, which fills that zone (system.zone) as a game fills any zone:
// layers, a map (newZoneFromMap), objects, its HUD, its music. What build creates and plays
// belongs to the scene: its sounds stop when it is left.
//
// The last four fields only matter for a scene pushed over another: how the scene below is
// shown under it, and whether the music pauses while it covers that scene.
struct TREL_API TrelScene {
    using Build = void (*)(TrelSystem& system, void* user);

    const char* name = "";   // the zone's name, and the log's; copied when the scene is made
    Build build = nullptr;   // null leaves the new zone empty
    void* user = nullptr;    // handed to build
    bool showsBelow = true;  // the scene below is drawn under this one, frozen
    int dimColor = 0x000000; // 0xRRGGBB laid over the scene below ...
    int dimAlpha = 0;        // ... this opaque: 0 (not at all, the default) to 255
    bool pausesMusic = false;

    TrelScene() = default;
    TrelScene(const char* sceneName, Build sceneBuild, void* sceneUser = nullptr)
        : name(sceneName), build(sceneBuild), user(sceneUser) {}
};

#endif
