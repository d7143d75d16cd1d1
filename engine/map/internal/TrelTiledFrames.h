#ifndef TREL_TILED_FRAMES_H
#define TREL_TILED_FRAMES_H

#include <cstdint>
#include <string>

#include "map/TrelTiledMap.h"

struct BITMAP;
class TrelResource;

// Cuts the frames a checked map's cells show from its tilesets' images: every tile in GID
// order (blank frames for GIDs between tilesets), then one frame for each flipped GID used.
// The one file of the map module that uses Allegro. Engine-internal: used by TrelTiledMap and
// TrelSystem::newZoneFromMap.
class TrelTiledFrames {
public:
    // Appends the frames to frames, at the current colour depth. False, with the map's error
    // set and the frames made so far left in frames for its owner to delete, when an image
    // cannot be loaded or memory runs out.
    static bool make(TrelTiledMap& map, TrelResource* frames);

private:
    TrelTiledFrames(TrelTiledMap& source, TrelResource* target);

    bool cutSheet(const TrelTiledMap::Tileset& set);
    bool collectImages(const TrelTiledMap::Tileset& set);
    bool addFlipped();

    // The image through the engine's checks, at the frames' depth, with the tileset's colour
    // key made transparent.
    bool loadImage(const std::string& path, int transparent, BITMAP*& out);
    // A frame that no cell shows: one masked pixel.
    BITMAP* blank();
    // Appends the image as a frame anchored as Tiled anchors the set's tiles.
    void add(BITMAP* bitmap, const TrelTiledMap::Tileset& set);
    // A copy of image turned as a cell with these flags shows it.
    static BITMAP* flippedCopy(BITMAP* image, std::uint32_t flags);

    TrelTiledMap& map;
    TrelResource* frames; // not owned
    int depth;
};

#endif
