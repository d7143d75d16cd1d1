#ifndef TREL_TILED_FRAMES_H
#define TREL_TILED_FRAMES_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "map/TrelTiledMap.h"

struct BITMAP;
class TrelResource;

// Cuts the frames a checked map's cells show from its tilesets' images: every tile in GID
// order (blank frames for GIDs between tilesets), then one frame for each flipped GID used.
// The one file of the map module that uses Allegro. Engine-internal: used by TrelTiledMap and
// TrelSystem::newZoneFromMap.
class TrelTiledFrames {
public:
    // Everything a map's layers show, made before a zone is touched; owned by its holder
    // until TrelTiledZone gives it to a zone.
    struct Made {
        TrelResource* tiles = nullptr; // every tile, then each flipped tile
        // For each tint of a tile layer other than opaque white: the tiles tinted.
        std::vector<std::pair<std::uint32_t, TrelResource*>> tinted;
        // Each image layer's image (a blank frame for none), then each tile object's picture
        // (see isTileObject), group after group.
        TrelResource* images = nullptr;
        // Where each tile object's picture goes: its top-left corner, in map pixels.
        std::vector<std::pair<int, int>> objectCorners;
        // Deletes what was made.
        void release();
    };

    // Makes everything at the current colour depth: cut, flipped, scaled and tinted at 32
    // bits, from the files' colours, then reduced once. False, with the map's error set and what
    // was made so far left in made for release(), when an image cannot be loaded, the images
    // and frames would take more than TrelLoadLimits::mapMemory, or memory runs out. Each
    // image file is decoded once. Tile objects' pictures are made when the map asks for them.
    static bool make(TrelTiledMap& map, Made& made);
    // Whether the object is drawn as a tile: it has a gid that a tileset holds.
    static bool isTileObject(const TrelTiledMap& map, const TrelTiledMap::Object& object);

private:
    TrelTiledFrames(TrelTiledMap& source, TrelResource* target);
    ~TrelTiledFrames();
    TrelTiledFrames(const TrelTiledFrames&) = delete;
    TrelTiledFrames& operator=(const TrelTiledFrames&) = delete;

    bool makeAll();
    bool cutSheet(const TrelTiledMap::Tileset& set);
    bool collectImages(const TrelTiledMap::Tileset& set);
    bool addFlipped();
    // The tiles, each pixel's colour multiplied by the tint's, into out.
    bool tintAll(std::uint32_t tint, TrelResource* out);
    // Each image layer's image, tinted, into out.
    bool addLayerImages(TrelResource* out);
    // Each tile object's picture: its tile flipped, scaled to its size, tinted as its group,
    // turned about its bottom-left corner.
    bool addTileObjects(TrelResource* out, std::vector<std::pair<int, int>>& corners);
    // The image of a layer repeated along x or y made of whole copies side by side, at least
    // kRepeatSpan pixels along each repeated axis, so that a tiny repeated image is drawn in
    // a few large pieces instead of thousands of small ones. False, with the map's error
    // set, beyond the memory limit or without memory.
    bool repeated(BITMAP*& image, const TrelTiledMap::ImageLayer& layer);
    static const int kRepeatSpan = 256;
    // A copy of image with each colour multiplied by the tint's (0xAARRGGBB; the alpha is
    // the layer's to apply).
    static BITMAP* tintedCopy(BITMAP* image, std::uint32_t tint);
    // The object's picture of image into out: scaled to the object's size (its image's size
    // where it gives none), turned clockwise by its rotation about its bottom-left corner at
    // (x, y), in the bitmap of whole pixels that holds it, whose top-left corner goes in
    // (left, top). Each pixel shows the image's pixel under its centre. False, with the map's
    // error set, beyond the memory limit or without memory.
    bool placedCopy(BITMAP* image, const TrelTiledMap::Object& object, int& left, int& top,
                    BITMAP*& out);

    // The image through the engine's checks, at the working depth, with the tileset's colour
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
    // Each frame of the resource at the frames' depth (masked pixels staying masked); false
    // without memory.
    bool reduce(TrelResource* resource) const;

    TrelTiledMap& map;
    TrelResource* frames; // not owned
    int targetDepth;      // what the frames are reduced to at the end: the current colour depth
    // What they are made at: 32 bits, so that each colour is rounded only once (8 bits, a
    // palette's, stays as it is).
    int depth;
    unsigned long long memoryLeft;                         // of TrelLoadLimits::mapMemory
    std::map<std::pair<std::string, int>, BITMAP*> images; // by path and colour key; owned
};

#endif
