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
    // Gives frames (made by TrelTiledFrames for this map) to the zone, which owns them from
    // then on, with the map's tile animations, logs a warning for each feature the engine
    // does not show, and appends one layer per tile layer of the map, in file order, showing
    // frames.
    static void fill(TrelTiledMap& map, TrelSystem* system, TrelZone* zone, TrelResource* frames);

private:
    // Each animated tile's animation, of its own frame and of each flipped frame made of it,
    // and each as a TrelAnimation of frames, in ticks at framerate.
    static void addAnimations(TrelTiledMap& map, TrelResource* frames, int framerate);
    // The cell value - 1 that shows the tile flipped as gid's flags say, or -1 for none.
    static int frameOf(TrelTiledMap& map, std::uint32_t tile, std::uint32_t flags);
    // The layer's cells: each GID as the cell value that shows it.
    static void copyCells(TrelTiledMap& map, const TrelTiledMap::TileLayer& source, short** cells);
};

#endif
