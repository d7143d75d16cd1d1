#ifndef TREL_ZONE_H
#define TREL_ZONE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <utility>
#include <vector>

#include "base/TrelCString.h"
#include "base/TrelExport.h"
#include "math/FixedPoint.h"
#include "math/Vec2.h"
#include "world/TrelState.h"

class TrelISprite;
class TrelLog;
class TrelLayer;
class TrelResource;
class TrelRandom;
class TrelSystem;

// One level: layers in order of addition, a main layer that bounds the camera, and a camera
// made of a position in the main layer's pixels and a screen region to show it in. The zone
// never moves the camera itself; it keeps it inside the main layer whenever the position,
// the region or the main layer is set.
class TREL_API TrelZone {
public:
    using Fixed = fixedpoint::fix16;
    using Vec = vmath::vec2<Fixed>;

    // The one place the world reads its system: the screen size (the default camera region),
    // the log, the sprite registry (for the state's sprite places), the game's state function
    // and the random generators (for the state), all of which outlive the zone.
    explicit TrelZone(TrelSystem* system);
    ~TrelZone(); // deletes every layer, the last first, then the images it owns

    TrelZone(const TrelZone&) = delete;
    TrelZone& operator=(const TrelZone&) = delete;

    TrelSystem* getSystem() { return system; }
    // Not owned: the log of the zone's system, which every layer and object reports through.
    TrelLog* getLog() { return log; }
    const char* getName() { return name.str; }
    void setName(const char* newName) { name.set(newName); }

    // Appends a new, empty layer; its index is the number of layers before the call.
    void addLayer(unsigned mapW, unsigned mapH, unsigned tileW, unsigned tileH);
    // Null for an index outside the layers array.
    TrelLayer* getLayer(int index) {
        return (index >= 0 && static_cast<std::size_t>(index) < layers.size()) ? layers[index]
                                                                               : nullptr;
    }
    // The layers getLayer reaches: destroyed ones included until the purge at the end of the
    // tick, so that getLayer(getNumLayers() - 1) is the last layer added. A destroyed layer
    // runs no hooks and is not drawn.
    int getNumLayers() { return static_cast<int>(layers.size()); }
    // Ignores an index without a layer; then re-clamps the camera.
    void setMainLayer(int index);
    int getMainLayer() { return mainLayer; }

    void setCameraPos(Fixed x, Fixed y);
    void getCameraPos(Vec& pos) { pos = camera; }
    void setCameraRegion(int x, int y, int w, int h);
    // The colour (0xRRGGBB) the renderer fills the camera region with before the layers, so
    // that empty cells show it rather than the frame before; -1 (the default) fills nothing.
    // A map's backgroundcolor sets it when the map is added to the zone.
    void setBackgroundColor(int rgb) { backgroundColor = rgb < 0 ? -1 : (rgb & 0xffffff); }
    int getBackgroundColor() { return backgroundColor; }

    // What the view's effects (TrelCamera) set and the renderer shows: the layers drawn moved
    // by a whole-pixel shake, and a veil of a colour at an opacity (0 to 255) over them, under
    // the HUD, which neither touches. Part of the state once set.
    void setViewShake(int dx, int dy) {
        shakeX = dx;
        shakeY = dy;
    }
    void getViewShake(int& dx, int& dy) {
        dx = shakeX;
        dy = shakeY;
    }
    void setViewVeil(int rgb, int alpha) {
        veilColor = rgb & 0xffffff;
        veilAlpha = alpha < 0 ? 0 : alpha > 255 ? 255 : alpha;
    }
    int getViewVeil(int& rgb) {
        rgb = veilColor;
        return veilAlpha;
    }
    // The point, in the main layer's pixels, where the view's centre shows every parallax
    // layer at its own place (Tiled's parallaxoriginx/y); (0, 0) by default. See
    // TrelLayer::setParallax.
    void setParallaxOrigin(Fixed x, Fixed y) { parallaxOrigin = Vec(x, y); }
    void getParallaxOrigin(Vec& v) { v = parallaxOrigin; }
    void getCameraRegion(int& x, int& y, int& w, int& h) {
        x = regionX;
        y = regionY;
        w = regionW;
        h = regionH;
    }
    // Clamps the camera to the main layer: 0 <= x <= layer width - region width, and alike
    // for y. A negative position goes to 0 without the upper limit; a layer narrower than
    // the region puts a non-negative position at that (negative) limit.
    void doCameraPons();

    // One logic tick: every layer in order of addition (layers added meanwhile included),
    // then the removal of destroyed layers.
    void process();
    // The ticks this zone has processed. Animated tiles show the frame Tiled shows after
    // getTicks() × 1000 / framerate milliseconds (in integers), so every level starts its
    // tile animations at their first frame.
    std::int64_t getTicks() { return ticks; }
    // A 64-bit hash of everything the game's logic depends on, for replays to check tick by
    // tick: the camera and its region, the main layer; each layer's map and tile size,
    // flags, visibility, opacity and cells; each object's position, speed, gravity, size,
    // flags and sprite (by its place in the system's registry or the zone's own images), and
    // the state of the animation it plays, if any, in list order; then the
    // game's own values (setStateFunction). The same on every compiler, build and
    // machine: see TrelState.
    std::uint64_t stateHash();
    // The game's own part of the state; null leaves it out. A zone starts with its system's
    // (TrelSystem::setStateFunction, which also sets the current zone's).
    void setStateFunction(TrelStateFunction function, void* user) {
        stateFunction = function;
        stateUser = user;
    }
    // The same state as text, one value per line, so that two runs can be compared with diff.
    void dumpState(std::FILE* out);
    // Writes the state that stateHash and dumpState take.
    void writeState(TrelState& state);

    // Removes every layer at the next purge; layers added after that purge live on.
    void clearLayers() { clearLayersRequested = true; }

    // The zone's HUD: a layer drawn after all the others, in the camera region's own pixels
    // (an object at (8, 8) is drawn 8 pixels into the view, wherever the camera is), unmoved by
    // the camera, draw offsets and parallax, with no cells. Made on first use; processed after
    // the other layers, kept by clearLayers, and part of the state once made. Objects on it
    // are typically self-drawn (TrelObject::setSelfDrawn).
    TrelLayer* getHud();
    // The HUD if it was made, else null.
    TrelLayer* findHud() { return hud; }

    // A paused zone runs only its layers that are not pausable (TrelLayer::setPausable): no
    // other hook, animation step or move, and its tile animations' clock (getTicks) stands
    // still. It is drawn as ever. A scene under another is frozen without this: the system
    // does not process it at all.
    void setPaused(bool pause) { paused = pause; }
    bool isPaused() const { return paused; }

    // Stops the tick being processed: no hook or move of it runs after the one that called
    // this. Called by TrelSystem when a hook changes the scene.
    void halt_() { halted = true; }
    bool isHalted() const { return halted; }
    // Called by TrelSystem when the zone becomes a scene's: its layers and objects take part
    // from the next tick on, rather than sitting out their first.
    void beginAsScene_();
    // The mixer group of the sounds the zone's scene starts (TrelMixer::setGroup_); 0 for a zone
    // that is no scene's.
    void setSoundGroup_(std::uint32_t group) { soundGroup = group; }
    std::uint32_t getSoundGroup_() const { return soundGroup; }
    // Set by the renderer around a drawing, as process sets it around a tick: while the layers
    // are walked, TrelObject::travelTo waits.
    void setWalking_(bool walk);
    bool isWalking_() const { return walking; }
    // Called by TrelObject::travelTo only.
    void noteTravel_();

    // Called at the end of process and by the destructor.
    void purgeLayers_();
    // Called by the map module only: the zone owns the resource (a map's tiles) from now on
    // and frees it with itself, so that a level's tiles go with the level.
    void adoptResource_(TrelResource* resource) { ownedResources.push_back(resource); }
    // The resources the zone owns, read-only.
    const std::vector<TrelResource*>& getOwnedResources() const { return ownedResources; }
    // Called by TrelLayer::destroy only.
    void noteLayerDestroyed_() { ++pendingLayerRemovals; }

    // The position that process and purgeLayers_ walk the layers with. An index rather than
    // an iterator, because a hook may add layers, and so grow the array, during the walk.
    std::size_t layerCursor;

private:
    // Where the sprite is in the system's registry: resource index × 65536 + frame index; in
    // the zone's own resources (a map's tiles): 2^40 + the same; -1 for none, -2 for a sprite
    // found in neither.
    using SpritePlaces = std::vector<std::pair<TrelISprite*, std::int64_t>>;
    std::int64_t spritePlace(TrelISprite* sprite, SpritePlaces& known);
    std::int64_t registryPlace(TrelISprite* sprite);
    void writeLayerState(TrelState& state, TrelLayer* layer, SpritePlaces& known);
    // Carries out the travelTo calls waiting, layer by layer, in list order.
    void settleTravels();
    void settleTravels(TrelLayer* layer);

    TrelSystem* system;                         // not owned
    TrelLog* log;                               // not owned
    const std::vector<TrelResource*>* registry; // not owned: the system's sprite registry
    TrelStateFunction stateFunction = nullptr;
    const TrelRandom* random;  // not owned: the system's, added to the state once drawn from
    const TrelRandom* effects; // not owned: likewise
    void* stateUser = nullptr;
    TrelCString name;
    std::vector<TrelLayer*> layers;            // owned
    std::vector<TrelResource*> ownedResources; // owned: the tiles of the maps added
    Vec camera;
    std::int32_t regionX;
    std::int32_t regionY;
    std::int32_t regionW;
    std::int32_t regionH;
    std::int32_t pendingLayerRemovals;
    bool clearLayersRequested;
    std::int32_t mainLayer;
    int backgroundColor = -1;
    int shakeX = 0, shakeY = 0;
    int veilColor = 0, veilAlpha = 0;
    Vec parallaxOrigin;
    std::int64_t ticks = 0;
    TrelLayer* hud = nullptr; // owned
    bool paused = false;
    bool halted = false;
    bool walking = false;
    std::int32_t pendingTravels = 0;
    std::uint32_t soundGroup = 0;
};

#endif
