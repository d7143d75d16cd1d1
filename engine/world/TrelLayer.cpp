#include "world/TrelLayer.h"

#include <cstdlib>

#include "base/TrelLog.h"
#include "world/TrelObject.h"
#include "world/TrelZone.h"

TrelLayer::TrelLayer(TrelZone* owner, unsigned mapW, unsigned mapH, unsigned tileW, unsigned tileH)
    : zone(owner), mapWidth(mapW), mapHeight(mapH), tileWidth(tileW), tileHeight(tileH),
      cells(nullptr), rows(nullptr), tileset(nullptr), pendingObjectRemovals(0),
      clearObjectsRequested(false), flags(kNew | kVisible) {
    // The counts are taken in size_t, so a huge map fails to allocate instead of wrapping.
    std::size_t cellCount = static_cast<std::size_t>(mapW) * mapH;
    cells = static_cast<short*>(std::calloc(cellCount, sizeof(short)));
    if (cells == nullptr && cellCount != 0) {
        zone->getLog()->error(
            0, "Could not allocate tilemap for the zone layer!\nYou may be out of memory!");
    }
    rows = static_cast<short**>(std::malloc(static_cast<std::size_t>(mapH) * sizeof(short*)));
    if (rows == nullptr && mapH != 0) {
        zone->getLog()->error(
            0, "Could not allocate tile rows for the zone layer!\nYou may be out of memory!");
    }
    for (unsigned r = 0; r < mapH; ++r)
        rows[r] = cells + static_cast<std::size_t>(r) * mapW;
}

TrelLayer::~TrelLayer() {
    // Objects go first: their destructors may still read the map.
    clearObjectsRequested = true;
    purgeObjects_();
    std::free(rows);
    std::free(cells);
}

TrelSystem* TrelLayer::getSystem() {
    return zone->getSystem();
}

void TrelLayer::destroy() {
    if (flags & kDestroyed)
        return;
    flags |= kDestroyed;
    zone->noteLayerDestroyed_();
}

namespace {

// One pass over the list with the layer's cursor. The end is read again at every step, so
// objects appended by a hook are reached in the same pass. Objects that are new or
// destroyed are passed over; a new one loses its mark at this visit. Stops once the zone is
// halted; returns whether it went through.
template <class Visit>
inline bool walkPass(const TrelZone* zone, std::list<TrelObject*>& objects,
                     std::list<TrelObject*>::iterator& cursor, Visit visit) {
    for (cursor = objects.begin(); cursor != objects.end(); ++cursor) {
        if (zone->isHalted())
            return false;
        TrelObject* object = *cursor;
        if (object->isNew() || object->isDestroyed()) {
            object->clearNew_();
            continue;
        }
        visit(object);
    }
    return !zone->isHalted();
}

} // namespace

void TrelLayer::process() {
    if (flags & (kDestroyed | kNew)) {
        flags &= ~kNew;
        return;
    }
    const TrelZone* home = zone;
    auto pre = [](TrelObject* object) {
        object->stepAnimation_();
        object->onPreProcess();
    };
    auto main = [home](TrelObject* object) {
        object->onProcess();
        // Even when onProcess has just destroyed the object; not once it halted the zone.
        if (!object->isSelfMoving() && !home->isHalted())
            object->move();
    };
    auto post = [](TrelObject* object) { object->onPostProcess(); };
    if (walkPass(home, objects, objectCursor, pre) && walkPass(home, objects, objectCursor, main))
        walkPass(home, objects, objectCursor, post);
    purgeObjects_();
}

void TrelLayer::clearNew_() {
    flags &= ~kNew;
    for (TrelObject* object : objects)
        object->clearNew_();
}

void TrelLayer::purgeObjects_() {
    if (clearObjectsRequested) {
        // The request lapses once carried out, so later objects are kept.
        clearObjectsRequested = false;
        for (TrelObject* object : objects)
            delete object;
        objects.clear();
        pendingObjectRemovals = 0;
        return;
    }
    objectCursor = objects.begin();
    while (objectCursor != objects.end() && pendingObjectRemovals > 0) {
        TrelObject* object = *objectCursor;
        if (object->isDestroyed()) {
            delete object;
            objectCursor = objects.erase(objectCursor);
            --pendingObjectRemovals;
        } else {
            ++objectCursor;
        }
    }
}
