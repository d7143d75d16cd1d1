#ifndef TREL_TILED_ZONE_H
#define TREL_TILED_ZONE_H

#include <cstdint>
#include <vector>

#include "map/TrelTiledMap.h"
#include "map/internal/TrelTiledFrames.h"

class TrelLayer;
class TrelResource;
class TrelSystem;
class TrelZone;

// Builds a zone's layers from a checked map. Engine-internal: used by TrelTiledMap and
// TrelSystem::newZoneFromMap.
class TrelTiledZone {
public:
    // Gives made's tiles (and each tinted copy) the map's tile animations, and the tiles a
    // TrelAnimation of each animated tile, in ticks at framerate. False, with the map's error
    // set, when they would take more than what is left of TrelLoadLimits::mapMemory or memory
    // runs out; made is then the caller's to release.
    static bool animate(TrelTiledMap& map, TrelTiledFrames::Made& made, int framerate);
    // Gives what made holds (made by TrelTiledFrames and animate for this map) to the zone,
    // which owns it from then on; logs a warning for each feature the
    // engine does not show; and appends one layer per tile layer and image layer of the map
    // (and, when the map makes tile objects, per object group), in the map's layer order.
    static void fill(TrelTiledMap& map, TrelSystem* system, TrelZone* zone,
                     TrelTiledFrames::Made& made);

private:
    // The flags of the flipped GIDs in use, none (0) first: a tile's animation is made for each.
    static std::vector<std::uint32_t> flipsUsed(const TrelTiledMap& map);
    // Each animated tile's animation, of its own frame and of each flipped frame made of it,
    // given to each resource of tiles.
    static void addTileAnimations(TrelTiledMap& map, TrelResource* tiles);
    // Each animated tile as a TrelAnimation of the tiles, in ticks at framerate.
    static void addAnimations(TrelTiledMap& map, TrelResource* tiles, int framerate);
    // The cell value - 1 that shows the tile flipped as gid's flags say, or -1 for none.
    static int frameOf(TrelTiledMap& map, std::uint32_t tile, std::uint32_t flags);
    // The layer's cells: each GID as the cell value that shows it.
    static void copyCells(TrelTiledMap& map, const TrelTiledMap::TileLayer& source, short** cells);
    // Appends a layer of the map's size, drawn with the look given.
    static TrelLayer* addLayer(TrelTiledMap& map, TrelZone* zone, bool visible, double opacity,
                               const TrelTiledMap::LayerLook& look);
    // The group's tile objects as objects of layer, showing the pictures of images from
    // index next on.
    static void addTileObjects(TrelTiledMap& map, const TrelTiledMap::ObjectGroup& group,
                               TrelLayer* layer, TrelTiledFrames::Made& made, std::size_t& next);
};

#endif
