#ifndef TREL_SYSTEM_H
#define TREL_SYSTEM_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/TrelCString.h"
#include "base/TrelExport.h"
#include "base/TrelLog.h"
#include "core/TrelInterface.h"
#include "input/TrelInput.h"
#include "random/TrelRandom.h"
#include "scene/TrelScene.h"
#include "scene/TrelSceneStack.h"
#include "scene/TrelTransition.h"
#include "sound/TrelAudio.h"
#include "world/TrelState.h"

class TrelISprite;
class TrelResource;
class TrelZone;

// The engine's version, shown in the log banner and on the start-up splash.
#define TREL_VERSION_STRING "v0.0.7.6 Pre-alpha"

// The engine's root object. A game holds exactly one, as a global, so that the log opens
// before the game's entry function runs and everything shuts down at process exit.
// Every member is public: games read `zone`, call `iface.init()` and may change the
// settings before that call.
class TREL_API TrelSystem {
public:
    TrelSystem();
    ~TrelSystem();

    TrelSystem(const TrelSystem&) = delete;
    TrelSystem& operator=(const TrelSystem&) = delete;

    // The log's operations (TrelLog), kept on the system for games: every message goes to
    // "log.txt" and to standard output, both flushed after each call. Messages begin with
    // "\n" rather than ending with one.
    void consprint(const char* text) { log.print(text); }
    void consprintf(const char* format, ...) TREL_PRINTF(2, 3);

    // Level 0 is fatal (logged, shown, exit status 1), 1 an error, 2 a warning; other
    // levels do nothing. The formatted message is passed on as data, never as a format.
    void giveError(int level, const char* format, ...) TREL_PRINTF(3, 4);
    // Logs a warning as giveError(2, ...) does, without a message box: for conditions the game
    // carries on through, such as having no sound.
    void warnInLog(const char* format, ...) TREL_PRINTF(2, 3);

    // Replaces the current zone by a new, empty one with this name (null: an empty name). Refused
    // (false, with an error) until the interface is loaded. Called from a hook during the main
    // loop, it keeps the old zone alive until the end of the current tick, and the old zone's
    // remaining hooks of that tick still run (the scene calls below stop them).
    bool newZone(const char* zoneName);
    // Deletes the current zone, if any, and leaves none; called from a hook, the zone lives
    // until the end of the tick, as with newZone. Logs nothing.
    void clearZone();
    // Replaces the current zone by one made from a map drawn in the Tiled editor (.tmx, .tmj,
    // either also gzip-compressed): a zone named after the file (without folder and
    // extension) holding one layer per tile layer of the map; the map's tiles belong to that
    // zone and are freed with it. A map that cannot be read, or
    // whose images cannot be loaded, is a level 1 error naming the file and the fault, and
    // leaves the current zone as it was. See TrelTiledMap for what a game can read from the map.
    // Defined by the map module (engine/map/TrelTiledMap.cpp).
    bool newZoneFromMap(const char* file);

    // Scenes (TrelScene): each a zone of its own, made by the scene's build function. A change
    // asked for in a hook is made at the end of the tick (after its frame and its sound), and
    // the zone being left runs nothing more of that tick: no later hook, no move, not even the
    // asking object's own move; what it destroyed is still deleted. Asked for outside the
    // loop, it is made at once (asked for by an onDraw of a drawing made outside the loop, at
    // the end of the next tick). The zone a scene change makes current runs its layers and
    // objects from its first tick, with that tick's input. Each logs one line block as
    // newZone does, and the zone made logs newZone's.
    //
    // Replaces every scene, the current one and those it covers, by a new one: their zones
    // are deleted and their sounds stopped (TrelMixer::setKept keeps one). With a transition,
    // the screen first fades out over its outTicks (the scene switched from runs on or stands
    // still, as it says), the switch is made, and the new scene fades in.
    void switchScene(const TrelScene& scene, const TrelTransition& transition = TrelTransition());
    // Puts a new scene over the current one (a pause menu, a dialogue): the current zone is
    // frozen, as it is, under it (no hook, animation, move or tile-animation time), drawn under
    // it unless the new scene says not to (TrelScene::showsBelow), and its sounds paused.
    void pushScene(const TrelScene& scene);
    // Leaves the current scene (its zone deleted, its sounds stopped) and resumes the one it
    // covered where it stopped. With no scene under it, an error and nothing else.
    void popScene();

    // Registers a new resource whose first frame is loaded from the file; null (nothing
    // registered, and a log line naming the file and the reason) when the file cannot be
    // loaded. A null file name is a file that cannot be loaded.
    TrelResource* newSpriteResource(const char* file);
    // Registers a resource made elsewhere (loaded from a sheet, say): the registry owns it from
    // now on and deletes it with the others. Null is ignored.
    void addSpriteResource(TrelResource* resource) {
        if (resource != nullptr)
            spriteResources.push_back(resource);
    }
    // Loads the file as a further frame of the resource; returns the frame, or null with the
    // reason logged. Null, and nothing logged, for a null resource.
    TrelISprite* appendSpriteResource(const char* file, TrelResource* resource);
    // Deletes every registered resource, last registered first. Call it only while no zone
    // refers to their images.
    void clearSpriteResources();

    // Runs a tick per timer tick, drawing when the pacing allows, until quit is set. False
    // at once when no zone is loaded. Headless (iface.initHeadless), the ticks run back to
    // back and no frame is drawn, so the loop ends only when something sets quit.
    bool mainLoop();
    // Runs n ticks as mainLoop does and returns the number run: n, fewer when quit is set in
    // one of them (quit is left set; clear it to run on), 0 when no zone is loaded.
    int runTicks(int n);

    // The game's own part of every zone's state (TrelZone::setStateFunction): handed to the
    // current zone and to every zone made after. Null removes it.
    using StateFunction = TrelStateFunction;
    void setStateFunction(StateFunction function, void* user);
    void getStateFunction(StateFunction& function, void*& user) {
        function = stateFunction;
        user = stateUser;
    }

    const char* getName() { return name.str; }
    // Also retitles the window once the interface is loaded. Null sets an empty name.
    void setName(const char* newName);

    // "log.txt", first of the members so that it outlives every other one (the interface
    // logs its shutdown after this system's destructor has run). Handed to every module that
    // reports; a game may read it, quiet it, or move it (TrelLog::reopen).
    TrelLog log;
    TrelCString name;
    // The game's screen in pixels: the buffer every frame is drawn in. Set before iface.init.
    std::int32_t screenWidth;
    std::int32_t screenHeight;
    // The window is screenScale times the screen on each side (1, the default, 2 or 3 for a
    // small game on a large display); each frame is copied scaled up, pixel for pixel. Set
    // before iface.init; below 1 counts as 1.
    std::int32_t screenScale = 1;
    std::int16_t framerate;       // logic ticks per second, at least 1
    std::int16_t reservedSetting; // kept beside framerate for future use; nothing reads it
    std::int32_t quit;            // set by iface.startLoop when Escape is pressed
    // The engine's own, read-only for games: newSpriteResource, addSpriteResource,
    // clearSpriteResources, newZone, newZoneFromMap and clearZone change them.
    std::vector<TrelResource*> spriteResources; // owned, in order of registration
    TrelZone* zone;                             // owned; null while no zone is loaded
    // The keys and buttons of this tick, latched by iface.startLoop. Declared before iface,
    // so that it outlives the interface's shutdown, which stops its keyboard listening.
    TrelInput input;
    // The engine's random numbers, in every zone's state once drawn from: random for the play
    // (where things are, what an enemy does) and effects, another stream of the same seed, for
    // what only shows (a shake, particles), so that adding an effect never changes the play.
    TrelRandom random{0, 0};
    TrelRandom effects{0, 1};
    // Seeds both from one seed, each on its stream, as recordings do when they start.
    void seedRandom(std::uint64_t seed) {
        random.setSeed(seed, 0);
        effects.setSeed(seed, 1);
    }
    // The sound effects, the music and their mix. Declared before iface, so that it outlives
    // the interface's shutdown, which stops its sound output.
    TrelAudio audio;
    TrelInterface iface;
    // The scenes the current zone covers, the scene changes asked for and the fade of a
    // transition; read-only for games (the three calls above change it). Declared after the
    // audio, which the zones' sounds play on.
    TrelSceneStack scenes;

private:
    void deleteRetiredZones();
    // Makes the scene changes asked for, in order, as far as no fade holds them back.
    void applySceneChanges();
    void applySceneChange(TrelSceneStack::Request& request);
    // A new zone for the scene, current, built by it, with a sound group of its own.
    void makeScene(const TrelScene& scene);
    // Stops the zone's sounds and deletes it (null does nothing).
    void leaveZone(TrelZone* left);
    void requestScene(TrelSceneStack::Change change, const TrelScene& scene,
                      const TrelTransition& transition);
    // One pass of the main loop: the tick's pacing and input, the zone's logic, and the
    // frame when one is due.
    void runTick();

    StateFunction stateFunction = nullptr;
    void* stateUser = nullptr;

    bool inTick;                         // a zone is being processed or drawn by mainLoop
    std::vector<TrelZone*> retiredZones; // owned: zones replaced during a tick
    std::uint32_t lastSoundGroup = 0;    // the last scene's; each scene gets the next
    bool applyingScenes = false;
};

#endif
