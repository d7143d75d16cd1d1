#ifndef TREL_TILED_CHECK_H
#define TREL_TILED_CHECK_H

#include <string>

#include "map/TrelTiledMap.h"
#include "map/internal/TrelTiledData.h"

// The checks of what a map means, made on the model whichever format it was read from, each
// with its one message. The readers call the checks of single elements as they build them
// (so that a file's first fault is the one reported, and a hostile file is stopped early);
// TrelTiledMap::load makes the checks of the whole map once it is read. Every check returns
// false with the map's error set ("file:line: what", the line left out when 0). Reads no
// file and needs no Allegro. Engine-internal: used by the map module only.
class TrelTiledCheck {
public:
    // The map's orientation, sizes and infinite flag, before its layers are read.
    static bool shape(TrelTiledMap& map, int line);
    static bool firstGid(TrelTiledMap& map, int firstGid, const std::string& file, int line);
    // A tile's id as a tileset lists it; -1 when it gave none.
    static bool tileId(TrelTiledMap& map, const TrelTiledMap::Tileset& set, int id,
                       const std::string& file, int line);
    // How many groups enclose the group about to be read.
    static bool groupDepth(TrelTiledMap& map, int depth, const std::string& file, int line);
    // A tile layer stored in chunks, as only infinite maps store them, is refused.
    static bool unchunked(TrelTiledMap& map, const std::string& name, bool chunked,
                          const std::string& file, int line);
    // A tile layer's own size against the map's.
    static bool layerSize(TrelTiledMap& map, const std::string& name, int w, int h,
                          const std::string& file, int line);
    // The cells a layer's data held against the map's cells (count.line, where given,
    // before line).
    static bool cellCount(TrelTiledMap& map, const std::string& name,
                          const TrelTiledData::CellCount& count, const std::string& file, int line);

    // The tilesets' tile sizes, spacing, margin and counts, before their images' sizes are
    // read.
    static bool tilesetFields(TrelTiledMap& map);
    // Once the images' sizes are known: the tilesets in GID order, none overlapping or
    // beyond what a cell can name, their tiles within memory; every GID of every layer in a
    // tileset; and a frame for each flipped GID used, within what a cell can name.
    static bool tilesetRanges(TrelTiledMap& map);
    static bool gidsAndFrames(TrelTiledMap& map);

private:
    static std::string nameOf(const TrelTiledMap::Tileset& set);
};

#endif
