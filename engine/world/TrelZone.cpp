#include "world/TrelZone.h"

#include "core/TrelSystem.h"
#include "world/TrelLayer.h"

TrelZone::TrelZone(TrelSystem* owner)
    : layerCursor(0), system(owner), camera(), regionX(0), regionY(0), regionW(owner->screenWidth),
      regionH(owner->screenHeight), pendingLayerRemovals(0), clearLayersRequested(false),
      mainLayer(0) {
}

TrelZone::~TrelZone() {
    clearLayersRequested = true;
    purgeLayers_();
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

void TrelZone::process() {
    for (layerCursor = 0; layerCursor < layers.size(); ++layerCursor) {
        if (TrelLayer* layer = layers[layerCursor])
            layer->process();
    }
    purgeLayers_();
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
