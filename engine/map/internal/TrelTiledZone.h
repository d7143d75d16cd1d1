#ifndef TREL_TILED_ZONE_H
#define TREL_TILED_ZONE_H

#include "map/TrelTiledMap.h"

class TrelResource;
class TrelSystem;
class TrelZone;

// Builds a zone's layers from a checked map. Engine-internal: used by TrelTiledMap and
// TrelSystem::newZoneFromMap.
class TrelTiledZone {
public:
    // Registers frames (made by TrelTiledFrames for this map) with the system, which owns
    // them from then on, logs a warning for each feature the engine does not show, and
    // appends one layer per tile layer of the map, in file order, showing frames.
    static void fill(TrelTiledMap& map, TrelSystem* system, TrelZone* zone, TrelResource* frames);

private:
    // The layer's cells: each GID as the cell value that shows it.
    static void copyCells(TrelTiledMap& map, const TrelTiledMap::TileLayer& source, short** cells);
};

#endif
