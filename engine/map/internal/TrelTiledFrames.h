#ifndef TREL_TILED_FRAMES_H
#define TREL_TILED_FRAMES_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>

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
    // cannot be loaded, the images and frames would take more than
    // TrelLoadLimits::mapMemory, or memory runs out. Each image file is decoded once.
    static bool make(TrelTiledMap& map, TrelResource* frames);

private:
    TrelTiledFrames(TrelTiledMap& source, TrelResource* target);
    ~TrelTiledFrames();
    TrelTiledFrames(const TrelTiledFrames&) = delete;
    TrelTiledFrames& operator=(const TrelTiledFrames&) = delete;

    bool makeAll();
    bool cutSheet(const TrelTiledMap::Tileset& set);
    bool collectImages(const TrelTiledMap::Tileset& set);
    bool addFlipped();

    // The image through the engine's checks, at the frames' depth, with the tileset's colour
    // key made transparent; kept until the frames are made, for every tileset that names it.
    bool loadImage(const std::string& path, int transparent, BITMAP*& out);
    // Counts a bitmap of w x h pixels against the memory limit; false, with the error set,
    // beyond it.
    bool charge(long long w, long long h);
    // A frame that no cell shows: one masked pixel.
    BITMAP* blank();
    // Appends the image as a frame anchored as Tiled anchors the set's tiles.
    void add(BITMAP* bitmap, const TrelTiledMap::Tileset& set);
    // A copy of image turned as a cell with these flags shows it.
    static BITMAP* flippedCopy(BITMAP* image, std::uint32_t flags);

    TrelTiledMap& map;
    TrelResource* frames; // not owned
    int depth;
    unsigned long long memoryLeft;                         // of TrelLoadLimits::mapMemory
    std::map<std::pair<std::string, int>, BITMAP*> images; // by path and colour key; owned
};

#endif
