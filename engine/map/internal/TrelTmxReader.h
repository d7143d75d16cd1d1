#ifndef TREL_TMX_READER_H
#define TREL_TMX_READER_H

#include <string>

#include "map/TrelTiledMap.h"

// Reads Tiled's XML formats into a TrelTiledMap: maps (.tmx) and tilesets (.tsx).
// Engine-internal: used by TrelTiledMap only.
class TrelTmxReader {
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
