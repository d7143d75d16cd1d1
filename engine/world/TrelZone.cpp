#include "world/TrelZone.h"

#include <list>
#include <utility>

#include "asset/TrelResource.h"
#include "core/TrelSystem.h"
#include "random/TrelRandom.h"
#include "world/TrelLayer.h"
#include "world/TrelObject.h"
#include "world/TrelState.h"

TrelZone::TrelZone(TrelSystem* owner)
    : layerCursor(0), system(owner), log(&owner->log), registry(&owner->spriteResources),
      random(&owner->random), effects(&owner->effects), camera(), regionX(0), regionY(0),
      regionW(owner->screenWidth), regionH(owner->screenHeight), pendingLayerRemovals(0),
      clearLayersRequested(false), mainLayer(0) {
    owner->getStateFunction(stateFunction, stateUser);
}

TrelZone::~TrelZone() {
    delete hud;
    hud = nullptr;
    clearLayersRequested = true;
    purgeLayers_();
    // After the layers and objects, which point at these images.
    while (!ownedResources.empty()) {
        delete ownedResources.back();
        ownedResources.pop_back();
    }
}

void TrelZone::addLayer(unsigned mapW, unsigned mapH, unsigned tileW, unsigned tileH) {
    layers.push_back(new TrelLayer(this, mapW, mapH, tileW, tileH));
}

void TrelZone::setMainLayer(int index) {
    if (getLayer(index) != nullptr)
        mainLayer = index;
    doCameraPons();
}

void TrelZone::setCameraPos(Fixed x, Fixed y) {
    camera = Vec(x, y);
    doCameraPons();
}

void TrelZone::setCameraRegion(int x, int y, int w, int h) {
    regionX = x;
    regionY = y;
    regionW = w;
    regionH = h;
    doCameraPons();
}

namespace {

// The clamp of one axis; the limit is the integer difference shifted in 32-bit arithmetic.
fixedpoint::fix16 clampAxis(fixedpoint::fix16 pos, std::int32_t layerPixels,
                            std::int32_t regionPixels) {
    if (pos < fixedpoint::fix16())
        return fixedpoint::fix16();
    fixedpoint::fix16 limit(static_cast<int>(static_cast<std::uint32_t>(layerPixels) -
                                             static_cast<std::uint32_t>(regionPixels)));
    return pos >= limit ? limit : pos;
}

} // namespace

void TrelZone::doCameraPons() {
    if (static_cast<std::uint32_t>(mainLayer) >= layers.size())
        return;
    int width = 0;
    int height = 0;
    layers[static_cast<std::size_t>(mainLayer)]->getMapActualSize(width, height);
    camera.x = clampAxis(camera.x, width, regionW);
    camera.y = clampAxis(camera.y, height, regionH);
}

TrelLayer* TrelZone::getHud() {
    if (hud == nullptr)
        hud = new TrelLayer(this, 0, 0, 1, 1);
    return hud;
}

void TrelZone::process() {
    halted = false;
    walking = true;
    // A paused zone runs only the layers that are not pausable.
    auto runs = [this](TrelLayer* layer) {
        return layer != nullptr && (!paused || !layer->getPausable());
    };
    for (layerCursor = 0; layerCursor < layers.size() && !halted; ++layerCursor) {
        if (runs(layers[layerCursor]))
            layers[layerCursor]->process();
    }
    if (!halted && runs(hud))
        hud->process();
    walking = false;
    settleTravels();
    purgeLayers_();
    if (!paused)
        ++ticks;
}

void TrelZone::beginAsScene_() {
    for (TrelLayer* layer : layers)
        layer->clearNew_();
    if (hud != nullptr)
        hud->clearNew_();
}

void TrelZone::setWalking_(bool walk) {
    walking = walk;
    if (!walking)
        settleTravels();
}

void TrelZone::noteTravel_() {
    ++pendingTravels;
    if (!walking)
        settleTravels();
}

void TrelZone::settleTravels() {
    if (pendingTravels == 0)
        return;
    pendingTravels = 0;
    for (TrelLayer* layer : layers)
        settleTravels(layer);
    if (hud != nullptr)
        settleTravels(hud);
}

void TrelZone::settleTravels(TrelLayer* layer) {
    std::list<TrelObject*>& objects = layer->getObjects_();
    for (auto it = objects.begin(); it != objects.end();) {
        TrelObject* object = *it;
        TrelLayer* target = object->getTravelTarget();
        if (target == nullptr || object->isDestroyed()) {
            object->arrive_(layer); // a destroyed traveller stays, to be deleted here
            ++it;
            continue;
        }
        it = objects.erase(it);
        object->arrive_(target);
        target->addObject_(object);
    }
}

void TrelZone::purgeLayers_() {
    if (clearLayersRequested) {
        // The request lapses once carried out, so later layers are kept.
        clearLayersRequested = false;
        while (!layers.empty()) {
            delete layers.back();
            layers.pop_back();
        }
        pendingLayerRemovals = 0;
        return;
    }
    layerCursor = 0;
    while (layerCursor < layers.size() && pendingLayerRemovals > 0) {
        TrelLayer* layer = layers[layerCursor];
        if (layer != nullptr && layer->isDestroyed()) {
            delete layer;
            layers.erase(layers.begin() + static_cast<std::ptrdiff_t>(layerCursor));
            --pendingLayerRemovals;
        } else {
            ++layerCursor;
        }
    }
}

std::uint64_t TrelZone::stateHash() {
    TrelState state;
    writeState(state);
    return state.hash();
}

void TrelZone::dumpState(std::FILE* out) {
    TrelState state(out);
    writeState(state);
}

void TrelZone::writeState(TrelState& state) {
    state.part("zone");
    state.add("camera", camera.x, camera.y);
    state.add("region x", regionX);
    state.add("region y", regionY);
    state.add("region w", regionW);
    state.add("region h", regionH);
    state.add("main layer", mainLayer);
    if (paused) // only then, so that the state of zones that never pause stays as it was
        state.add("paused", 1);
    if (shakeX != 0 || shakeY != 0 || veilAlpha != 0) { // likewise
        state.add("shake", shakeX * 65536ll + shakeY);
        state.add("veil", static_cast<std::int64_t>(veilColor) << 8 | veilAlpha);
    }
    state.add("layers", static_cast<std::int64_t>(layers.size()));
    SpritePlaces known;
    for (std::size_t i = 0; i < layers.size(); ++i) {
        state.part("layer", static_cast<int>(i));
        writeLayerState(state, layers[i], known);
    }
    if (hud != nullptr) {
        state.part("hud");
        writeLayerState(state, hud, known);
    }
    // Only once drawn from, so that the state of games that draw no number stays as it was.
    if (random->hasDrawn() || effects->hasDrawn()) {
        state.part("random");
        state.add("play", static_cast<std::int64_t>(random->getState()));
        state.add("play stream", static_cast<std::int64_t>(random->getIncrement()));
        state.add("effects", static_cast<std::int64_t>(effects->getState()));
        state.add("effects stream", static_cast<std::int64_t>(effects->getIncrement()));
    }
    state.part("game");
    if (stateFunction != nullptr)
        stateFunction(state, stateUser);
}

void TrelZone::writeLayerState(TrelState& state, TrelLayer* layer, SpritePlaces& known) {
    int w, h, tw, th;
    layer->getMapSize(w, h);
    layer->getMapTileSize(tw, th);
    state.add("map w", w);
    state.add("map h", h);
    state.add("tile w", tw);
    state.add("tile h", th);
    state.add("flags", (layer->isNew() ? TrelLayer::kNew : 0) |
                           (layer->isDestroyed() ? TrelLayer::kDestroyed : 0) |
                           (layer->getVisibility() ? TrelLayer::kVisible : 0) |
                           (layer->getPausable() ? 0 : TrelLayer::kRunsWhilePaused));
    state.add("opacity", layer->getOpacity());
    if (w > 0 && h > 0)
        state.addCells(layer->getMapData()[0], w, h);
    state.add("objects", static_cast<std::int64_t>(layer->getObjects_().size()));
    int index = 0;
    for (TrelObject* object : layer->getObjects_()) {
        state.subpart("object", index++);
        Vec v;
        object->getPos(v);
        state.add("pos", v.x, v.y);
        object->getSpeed(v);
        state.add("speed", v.x, v.y);
        object->getGravity(v);
        state.add("gravity", v.x, v.y);
        object->getSize(v);
        state.add("size", v.x, v.y);
        state.add("flags", (object->isNew() ? TrelObject::kNew : 0) |
                               (object->isDestroyed() ? TrelObject::kDestroyed : 0) |
                               (object->getVisibility() ? 0 : TrelObject::kHidden) |
                               (object->getFlippedX() ? TrelObject::kFlipX : 0) |
                               (object->getFlippedY() ? TrelObject::kFlipY : 0) |
                               (object->isSelfMoving() ? TrelObject::kSelfMoving : 0) |
                               (object->isSelfDrawn() ? TrelObject::kSelfDrawn : 0));
        state.add("sprite", spritePlace(object->getSprite(), known));
        // Only objects that play an animation add these, so the state of others (and
        // recordings made before animations) stays as it was.
        const TrelAnimator& animator = object->getAnimator();
        if (animator.getAnimation() != nullptr) {
            state.add("animation frame", animator.getFrameIndex());
            state.add("animation ticks", animator.getTicksOnFrame());
            state.add("animation pass", animator.getPass());
            state.add("animation flags",
                      (animator.isBackward() ? 1 : 0) | (animator.isFinished() ? 2 : 0));
        }
        // Likewise only objects whose look was set.
        if (const TrelObjectLook* look = object->getLook()) {
            state.add("look opacity", look->opacity);
            state.add("look tint",
                      static_cast<std::int64_t>(look->tintColor) << 8 | look->tintAmount);
            state.add("look turn", look->angle, look->scale);
            state.add("look pivot", look->pivotX * 65536ll + look->pivotY);
            state.add("look blink", look->blinkLeft * 65536ll + look->blinkPeriod);
            state.add("look depth", look->depth);
        }
    }
}

std::int64_t TrelZone::spritePlace(TrelISprite* sprite, SpritePlaces& known) {
    if (sprite == nullptr)
        return -1;
    // Objects share few sprites, so each distinct one is looked up once per state.
    for (const std::pair<TrelISprite*, std::int64_t>& entry : known)
        if (entry.first == sprite)
            return entry.second;
    known.emplace_back(sprite, registryPlace(sprite));
    return known.back().second;
}

std::int64_t TrelZone::registryPlace(TrelISprite* sprite) {
    const std::vector<TrelResource*>* lists[] = {registry, &ownedResources};
    for (std::int64_t list = 0; list < 2; ++list) {
        const std::vector<TrelResource*>& resources = *lists[list];
        for (std::size_t r = 0; r < resources.size(); ++r) {
            const std::vector<TrelISprite*>& frames = resources[r]->frames;
            for (std::size_t f = 0; f < frames.size(); ++f)
                if (frames[f] == sprite)
                    return (list << 40) + static_cast<std::int64_t>(r) * 65536 +
                           static_cast<std::int64_t>(f);
        }
    }
    return -2;
}
