#ifndef TREL_TMJ_READER_H
#define TREL_TMJ_READER_H

#include <string>

#include "map/TrelTiledMap.h"

// Reads Tiled's JSON formats into a TrelTiledMap: maps (.tmj, .json) and tilesets (.tsj).
// Engine-internal: used by TrelTiledMap only.
class TrelTmjReader {
public:
    // text is the whole file, named file in errors.
    static bool readMap(TrelTiledMap& map, const std::string& file, const std::string& text);
    // Fills set (its firstGid and source kept) from a tileset file.
    static bool readTileset(TrelTiledMap& map, TrelTiledMap::Tileset& set, const std::string& file,
                            const std::string& text);

private:
    // One file being read; a member so that it may fill the map's private fields.
    struct Reader;
};

#endif
