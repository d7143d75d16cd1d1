#ifndef TREL_TILED_CHECK_H
#define TREL_TILED_CHECK_H

#include <cstdint>
#include <string>
#include <unordered_map>

#include "map/TrelTiledMap.h"
#include "map/internal/TrelTiledData.h"

// The checks of what a map means, made on the model whichever format it was read from, each
// with its one message. The readers run the checks of single elements as they build them (so
// that a file's first fault is the one reported, and a hostile file is stopped early): each
// returns what is wrong, as the phrase the reader's error then gives at the element's line,
// or "" when nothing is, so that no line is counted unless it is needed.
// TrelTiledMap::load makes the checks of the whole map once it is read; they return false with
// the map's error set ("file:line: what", the line left out when 0). Reads no file and needs
// no Allegro. Engine-internal: used by the map module only.
class TrelTiledCheck {
public:
    // The map's orientation, sizes and infinite flag, before its layers are read.
    static std::string shape(const TrelTiledMap& map);
    static std::string firstGid(int firstGid);
    // A tile's id as a tileset lists it; -1 when it gave none.
    static std::string tileId(const TrelTiledMap::Tileset& set, int id);
    // One frame of the animation of tile id: a tile id of the same tileset, and a duration in
    // milliseconds, not negative (whether the tileset has that tile is known only once the
    // map is read: tilesetRanges checks it).
    static std::string animationFrame(const TrelTiledMap::Tileset& set, int id, int frameTile,
                                      int duration);
    // How many groups enclose the group about to be read.
    static std::string groupDepth(int depth);
    // A tile layer is stored in chunks only when the map is infinite, and an infinite map's
    // layer holds cells only in chunks (an empty one may hold nothing at all).
    static std::string chunking(const TrelTiledMap& map, const std::string& name, bool chunked,
                                bool holdsCells);
    // One chunk of an infinite map's layer, at (x, y) cells of w × h, before its cells are
    // read: its size, its place, and its GIDs within memory.
    static std::string chunk(TrelTiledMap& map, const std::string& name, int x, int y, int w,
                             int h);
    // A tile layer's own size against the map's.
    static std::string layerSize(const TrelTiledMap& map, const std::string& name, int w, int h);
    // What one tile layer's cells take: 4 bytes of GID in the model, 2 in the zone's layer.
    // Charges the cells of a finite map's tile layers before any is decoded, and gives them
    // back for the layers to take as they are read, so that a map whose layers go beyond the
    // limit is refused at once: "" when they fit, else the error of the first layer beyond
    // it, whose index goes in first.
    static std::string cellsAhead(TrelTiledMap& map, std::size_t layers, std::size_t& first);
    static unsigned long long cellBytes(const TrelTiledMap& map) {
        return static_cast<unsigned long long>(map.width) * map.height * 6;
    }
    // The cells a layer's data (or one of its chunks) held against the cells it should hold.
    static std::string cellCount(std::size_t cells, const std::string& name,
                                 const TrelTiledData::CellCount& count);

    // An infinite map's chunks put together: the map's size becomes the bounds of every
    // layer's chunks, each layer one grid of that size, and every position moves so that the
    // bounds' top-left corner is pixel (0, 0). Nothing to do for a finite map.
    static bool chunks(TrelTiledMap& map);
    // The cells the image layers and object groups take once they are layers of a zone.
    static bool layerCells(TrelTiledMap& map);
    // The tilesets' tile sizes, spacing, margin, counts and tile offsets, before their images'
    // sizes are read.
    static bool tilesetFields(TrelTiledMap& map);
    // Once the images' sizes are known: the tilesets sorted in GID order, none overlapping
    // or beyond what a cell can name, their tiles within memory, and their animations showing
    // tiles of their own.
    static bool tilesetRanges(TrelTiledMap& map);
    // Every GID of every layer in a tileset, and a frame numbered for each flipped GID used
    // (and, for a flipped animated tile, for each of its frames flipped alike), all within
    // what a cell can name and, with the sheet images, within the map's memory.
    static bool gidsAndFrames(TrelTiledMap& map);
    // The GID each animated tile shows at time 0, its animation's first frame, by the tile's
    // GID (flags left out).
    static std::unordered_map<std::uint32_t, std::uint32_t> firstFrames(const TrelTiledMap& map);

    // The most a tile offset may move a tile, either way.
    static const int kMaxTileOffset = 1 << 16;

    // The most cells from the origin a chunk may start, either way.
    static const int kMaxChunkPlace = 1 << 24;

private:
    // The map's size (cells and pixels) against what a zone's layer can hold.
    static std::string size(const TrelTiledMap& map);
    // Moves every position the model holds by (-x, -y) pixels.
    static void moveOrigin(TrelTiledMap& map, double x, double y);
    // Gives each frame of a flipped animated tile used a flipped frame of its own.
    static void addFlippedAnimationFrames(TrelTiledMap& map);
    // The pixels of the frames and sheet images the map will make, as the files declare
    // them (TrelTiledFrames counts them again as it makes them).
    static unsigned long long framePixels(const TrelTiledMap& map);
    static std::string nameOf(const TrelTiledMap::Tileset& set);
};

#endif
