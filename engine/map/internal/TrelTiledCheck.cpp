#include "map/internal/TrelTiledCheck.h"

#include <algorithm>
#include <cstdlib>
#include <set>

namespace {

using Map = TrelTiledMap;
using Data = TrelTiledData;

} // namespace

std::string TrelTiledCheck::nameOf(const Map::Tileset& set) {
    return "tileset " + Data::quoted(set.name.empty() ? set.source : set.name);
}

std::string TrelTiledCheck::shape(const Map& map) {
    if (map.orientation != "orthogonal")
        return Data::quoted(map.orientation) + " maps are not supported, only orthogonal ones";
    if (map.tileWidth < 1 || map.tileHeight < 1)
        return "the map's width, height, tilewidth and tileheight must each be at least 1";
    // An infinite map's size is known once its chunks are read.
    return map.infinite ? "" : size(map);
}

std::string TrelTiledCheck::size(const Map& map) {
    if (map.width < 1 || map.height < 1)
        return "the map's width, height, tilewidth and tileheight must each be at least 1";
    // 2^24 cells of 2 bytes a layer; the camera works in 16.16 fixed point.
    if (static_cast<long long>(map.width) * map.height > (1 << 24))
        return "the map has more than 16777216 cells";
    if (static_cast<long long>(map.width) * map.tileWidth > 32767 ||
        static_cast<long long>(map.height) * map.tileHeight > 32767)
        return "the map is larger than 32767 pixels on a side, the camera's reach";
    return "";
}

std::string TrelTiledCheck::firstGid(int firstGid) {
    if (firstGid < 1)
        return "a tileset has firstgid " + std::to_string(firstGid) + "; it must be at least 1";
    return "";
}

std::string TrelTiledCheck::tileId(const Map::Tileset& set, int id) {
    if (id < 0 || id >= Map::kMaxFrames)
        return "tileset " + Data::quoted(set.name) + " has a tile id beyond " +
               std::to_string(Map::kMaxFrames - 1) + " or none";
    return "";
}

std::string TrelTiledCheck::animationFrame(const Map::Tileset& set, int id, int frameTile,
                                           int duration) {
    if (frameTile < 0 || frameTile >= Map::kMaxFrames)
        return "tileset " + Data::quoted(set.name) + ", tile " + std::to_string(id) +
               ": an animation frame has a tileid beyond " + std::to_string(Map::kMaxFrames - 1) +
               " or none";
    if (duration < 0)
        return "tileset " + Data::quoted(set.name) + ", tile " + std::to_string(id) +
               ": an animation frame lasts " + std::to_string(duration) + " ms";
    return "";
}

std::string TrelTiledCheck::groupDepth(int depth) {
    if (depth + 1 > Data::kMaxGroupDepth)
        return "groups are nested deeper than " + std::to_string(Data::kMaxGroupDepth);
    return "";
}

std::string TrelTiledCheck::chunking(const Map& map, const std::string& name, bool chunked,
                                     bool holdsCells) {
    if (chunked && !map.infinite)
        return "layer " + Data::quoted(name) +
               " is stored in chunks, as only infinite maps store layers, but the map is not "
               "infinite";
    if (!chunked && holdsCells && map.infinite)
        return "layer " + Data::quoted(name) + " of an infinite map is not stored in chunks";
    return "";
}

std::string TrelTiledCheck::chunk(Map& map, const std::string& name, int x, int y, int w, int h) {
    const std::string named = "layer " + Data::quoted(name) + ": a chunk ";
    if (w < 1 || h < 1 || static_cast<long long>(w) * h > (1 << 24))
        return named + "of " + std::to_string(w) + " x " + std::to_string(h) +
               " cells (at least 1, at most 16777216)";
    if (std::abs(static_cast<long long>(x)) > kMaxChunkPlace ||
        std::abs(static_cast<long long>(y)) > kMaxChunkPlace)
        return named + "lies beyond " + std::to_string(kMaxChunkPlace) + " cells of the origin";
    return map.charge_(static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h) * 4,
                       "the layers' chunks");
}

std::string TrelTiledCheck::layerSize(const Map& map, const std::string& name, int w, int h) {
    if (w != map.width || h != map.height)
        return "layer " + Data::quoted(name) + " is " + std::to_string(w) + " x " +
               std::to_string(h) + " cells where the map is " + std::to_string(map.width) + " x " +
               std::to_string(map.height);
    return "";
}

std::string TrelTiledCheck::cellCount(std::size_t cells, const std::string& name,
                                      const Data::CellCount& count) {
    if (!count.beyond && count.found == cells && !count.cutShort)
        return "";
    std::string named = "layer " + Data::quoted(name);
    if (count.beyond)
        return named + " holds more cells than the map's " + std::to_string(cells);
    return named + " holds " + std::to_string(count.found) + " cells where the map has " +
           std::to_string(cells) + (count.cutShort ? " (and a cut-short one)" : "");
}

bool TrelTiledCheck::chunks(Map& map) {
    if (!map.infinite)
        return true;
    // The bounds of every chunk; a map without any is one empty cell.
    long long left = 0, top = 0, right = 1, bottom = 1;
    bool any = false;
    for (const std::vector<Map::Chunk>& layer : map.chunks) {
        for (const Map::Chunk& c : layer) {
            left = any ? std::min(left, static_cast<long long>(c.x)) : c.x;
            top = any ? std::min(top, static_cast<long long>(c.y)) : c.y;
            right = any ? std::max(right, static_cast<long long>(c.x) + c.width) : c.x + c.width;
            bottom =
                any ? std::max(bottom, static_cast<long long>(c.y) + c.height) : c.y + c.height;
            any = true;
        }
    }
    // Both within 2^25 of each other, so the sizes fit an int before they are checked.
    map.width = static_cast<int>(right - left);
    map.height = static_cast<int>(bottom - top);
    map.originX = static_cast<int>(left);
    map.originY = static_cast<int>(top);
    std::string problem = size(map);
    if (problem.empty())
        problem = map.charge_(cellBytes(map) * map.tileLayers.size(), "the layers' cells");
    if (!problem.empty())
        return map.fail_(map.fileName, 0, problem);
    const std::size_t w = static_cast<std::size_t>(map.width);
    for (std::size_t l = 0; l < map.tileLayers.size(); ++l) {
        std::vector<std::uint32_t>& gids = map.tileLayers[l].gids;
        gids.assign(w * static_cast<std::size_t>(map.height), 0);
        for (const Map::Chunk& c : map.chunks[l])
            for (int y = 0; y < c.height; ++y)
                std::copy_n(
                    &c.gids[static_cast<std::size_t>(y) * static_cast<std::size_t>(c.width)],
                    c.width,
                    &gids[static_cast<std::size_t>(c.y - top + y) * w +
                          static_cast<std::size_t>(c.x - left)]);
    }
    map.chunks.clear();
    moveOrigin(map, static_cast<double>(left) * map.tileWidth,
               static_cast<double>(top) * map.tileHeight);
    return true;
}

void TrelTiledCheck::moveOrigin(Map& map, double x, double y) {
    for (Map::ObjectGroup& group : map.objectGroups) {
        for (Map::Object& object : group.objects) {
            object.x -= x;
            object.y -= y;
        }
    }
    for (Map::ImageLayer& layer : map.imageLayers) {
        layer.look.offsetX -= x;
        layer.look.offsetY -= y;
    }
    map.parallaxOriginX -= x;
    map.parallaxOriginY -= y;
}

std::string TrelTiledCheck::cellsAhead(Map& map, std::size_t layers, std::size_t& first) {
    std::string problem;
    std::size_t charged = 0;
    for (first = 0; first < layers && !map.infinite; ++first) {
        problem = map.charge_(cellBytes(map), "the layers' cells");
        if (!problem.empty())
            break;
        charged += static_cast<std::size_t>(cellBytes(map));
    }
    map.memoryLeft += charged;
    return problem;
}

bool TrelTiledCheck::layerCells(Map& map) {
    const std::size_t layers =
        map.imageLayers.size() + (map.tileObjects ? map.objectGroups.size() : 0);
    // Objects are drawn whole: a tile object's layer cannot fade it.
    for (const Map::ObjectGroup& group : map.objectGroups)
        if (map.tileObjects && group.opacity < 1)
            map.warn_("the opacity of object layers");
    const std::string problem = map.charge_(
        static_cast<unsigned long long>(map.width) * map.height * 2 * layers, "the layers' cells");
    return problem.empty() || map.fail_(map.fileName, 0, problem);
}

bool TrelTiledCheck::tilesetFields(Map& map) {
    for (const Map::Tileset& set : map.tilesets) {
        if (set.tileWidth < 1 || set.tileHeight < 1 || set.tileWidth > 4096 ||
            set.tileHeight > 4096)
            return map.fail_(map.fileName, 0,
                             nameOf(set) + " has a tile size outside 1 to 4096 pixels");
        if (set.spacing < 0 || set.margin < 0)
            return map.fail_(map.fileName, 0, nameOf(set) + " has a negative spacing or margin");
        if (set.tileCount < 0 || set.columns < 0)
            return map.fail_(map.fileName, 0, nameOf(set) + " has a negative tilecount or columns");
        if (std::abs(static_cast<long long>(set.offsetX)) > kMaxTileOffset ||
            std::abs(static_cast<long long>(set.offsetY)) > kMaxTileOffset)
            return map.fail_(map.fileName, 0,
                             nameOf(set) + " has a tile offset beyond " +
                                 std::to_string(kMaxTileOffset) + " pixels");
    }
    return true;
}

bool TrelTiledCheck::tilesetRanges(Map& map) {
    std::vector<Map::Tileset>& sets = map.tilesets;
    std::stable_sort(sets.begin(), sets.end(), [](const Map::Tileset& a, const Map::Tileset& b) {
        return a.firstGid < b.firstGid;
    });
    map.baseFrames = 0;
    long long sheetPixels = 0;
    for (std::size_t i = 0; i < sets.size(); ++i) {
        const Map::Tileset& set = sets[i];
        long long count = set.getGidCount();
        if (count > Map::kMaxFrames || set.firstGid > static_cast<std::uint32_t>(Map::kMaxFrames))
            return map.fail_(map.fileName, 0,
                             nameOf(set) + " reaches beyond GID " +
                                 std::to_string(Map::kMaxFrames) +
                                 ", the most a 16-bit cell can show");
        if (i > 0 && set.firstGid < sets[i - 1].firstGid +
                                        static_cast<std::uint32_t>(sets[i - 1].getGidCount()))
            return map.fail_(map.fileName, 0,
                             nameOf(set) + " begins at GID " + std::to_string(set.firstGid) +
                                 ", inside the tileset before it");
        map.baseFrames =
            std::max(map.baseFrames, set.firstGid + static_cast<std::uint32_t>(count) - 1);
        for (const Map::Tile& tile : set.tiles)
            for (const Map::AnimationFrame& frame : tile.animation)
                if (frame.tileId >= count)
                    return map.fail_(map.fileName, 0,
                                     nameOf(set) + ", tile " + std::to_string(tile.id) +
                                         ": an animation frame shows tile " +
                                         std::to_string(frame.tileId) +
                                         ", which the tileset does not have");
        // Each tile becomes a bitmap of its own: a sheet that claims more tiles than memory
        // could hold is refused here rather than by the allocator halfway through.
        if (!set.image.empty())
            sheetPixels += count * set.tileWidth * set.tileHeight;
    }
    if (sheetPixels > Map::kMaxTilePixels)
        return map.fail_(map.fileName, 0,
                         "the tiles of the tilesets hold more than " +
                             std::to_string(Map::kMaxTilePixels) +
                             " pixels, the most a map may load");
    if (map.baseFrames > static_cast<std::uint32_t>(Map::kMaxFrames))
        return map.fail_(map.fileName, 0,
                         "the tilesets hold more than " + std::to_string(Map::kMaxFrames) +
                             " tiles, the most a 16-bit cell can show");
    // One lookup per GID from now on, however many tilesets there are.
    map.tilesetOfGid.assign(map.baseFrames + 1, 0);
    for (std::size_t i = 0; i < sets.size(); ++i)
        for (std::uint32_t gid = sets[i].firstGid;
             gid < sets[i].firstGid + static_cast<std::uint32_t>(sets[i].getGidCount()); ++gid)
            map.tilesetOfGid[gid] = static_cast<std::uint16_t>(i + 1);
    return true;
}

bool TrelTiledCheck::gidsAndFrames(Map& map) {
    map.flipped.clear();
    map.flippedValues.clear();
    for (std::size_t l = 0; l < map.tileLayers.size(); ++l) {
        const Map::TileLayer& layer = map.tileLayers[l];
        std::uint32_t lastChecked = 0;
        for (std::size_t i = 0; i < layer.gids.size(); ++i) {
            std::uint32_t gid = layer.gids[i] & ~Map::kRotateHex120;
            std::uint32_t tile = gid & ~Map::kFlagBits;
            if (tile == 0 || gid == lastChecked)
                continue;
            if (map.findTileset(tile) == nullptr) {
                // The cell as Tiled numbers it: an infinite map's grid may start left of 0.
                int x = static_cast<int>(i % static_cast<std::size_t>(map.width)) + map.originX;
                int y = static_cast<int>(i / static_cast<std::size_t>(map.width)) + map.originY;
                return map.fail_(
                    map.fileName, map.layerLines[l],
                    "layer " + Data::quoted(layer.name) + ", cell (" + std::to_string(x) + ", " +
                        std::to_string(y) + "): GID " + std::to_string(tile) +
                        (tile > map.baseFrames ? " is beyond the tilesets, which end at " +
                                                     std::to_string(map.baseFrames)
                                               : " belongs to no tileset"));
            }
            lastChecked = gid;
            // Each flipped GID used gets a frame of its own.
            if (gid != tile && map.flippedValues.emplace(gid, 0).second)
                map.flipped.push_back(gid);
        }
    }
    addFlippedAnimationFrames(map);
    // A tile object is drawn still, as the first frame of its tile's animation.
    const std::unordered_map<std::uint32_t, std::uint32_t> animated =
        map.tileObjects ? firstFrames(map) : std::unordered_map<std::uint32_t, std::uint32_t>();
    for (const Map::ObjectGroup& group : map.objectGroups)
        for (const Map::Object& object : group.objects)
            if (animated.count(object.gid & ~Map::kFlagBits) != 0)
                map.warn_("animated tile objects (each shows its animation's first frame)");
    const std::size_t frames = map.baseFrames + map.flipped.size();
    if (frames > static_cast<std::size_t>(Map::kMaxFrames))
        return map.fail_(map.fileName, 0,
                         "the map needs " + std::to_string(frames) + " frames (" +
                             std::to_string(map.baseFrames) + " tiles and " +
                             std::to_string(map.flipped.size()) +
                             " flipped ones); a 16-bit cell can show at most " +
                             std::to_string(Map::kMaxFrames));
    for (std::size_t i = 0; i < map.flipped.size(); ++i)
        map.flippedValues[map.flipped[i]] = static_cast<short>(map.baseFrames + i + 1);
    std::string problem = map.charge_(framePixels(map) * 4, "the tile images and frames");
    return problem.empty() || map.fail_(map.fileName, 0, problem);
}

std::unordered_map<std::uint32_t, std::uint32_t> TrelTiledCheck::firstFrames(const Map& map) {
    std::unordered_map<std::uint32_t, std::uint32_t> first;
    for (const Map::Tileset& set : map.tilesets)
        for (const Map::Tile& tile : set.tiles)
            if (!tile.animation.empty())
                first[set.firstGid + static_cast<std::uint32_t>(tile.id)] =
                    set.firstGid + static_cast<std::uint32_t>(tile.animation.front().tileId);
    return first;
}

void TrelTiledCheck::addFlippedAnimationFrames(Map& map) {
    // A flipped animated cell shows each frame of the animation flipped alike. Only the cells'
    // own flipped GIDs are walked: an animation frame is shown as an image, never animated.
    const std::size_t used = map.flipped.size();
    for (std::size_t i = 0; i < used; ++i) {
        const std::uint32_t gid = map.flipped[i];
        const Map::Tile* tile = map.findTile(gid);
        if (tile == nullptr || tile->animation.empty())
            continue;
        const std::uint32_t firstGid = map.findTileset(gid & ~Map::kFlagBits)->firstGid;
        for (const Map::AnimationFrame& frame : tile->animation) {
            std::uint32_t shown =
                (firstGid + static_cast<std::uint32_t>(frame.tileId)) | (gid & Map::kFlagBits);
            if (map.flippedValues.emplace(shown, 0).second)
                map.flipped.push_back(shown);
        }
    }
}

unsigned long long TrelTiledCheck::framePixels(const Map& map) {
    unsigned long long pixels = 0;
    std::vector<unsigned long long> tilePixels(map.baseFrames + 1, 1);
    std::set<std::string> sheets; // an image several tilesets name is decoded once
    for (const Map::Tileset& set : map.tilesets) {
        const unsigned long long tile = static_cast<unsigned long long>(set.tileWidth) *
                                        static_cast<unsigned long long>(set.tileHeight);
        if (!set.image.empty()) {
            if (sheets.insert(set.image).second)
                pixels += static_cast<unsigned long long>(set.imageWidth) *
                          static_cast<unsigned long long>(set.imageHeight);
            for (int id = 0; id < set.getGidCount(); ++id)
                tilePixels[set.firstGid + static_cast<std::uint32_t>(id)] = tile;
        }
        // A sheet's tiles are cut from the sheet, whatever images its tiles name.
        for (const Map::Tile& t : set.tiles)
            if (set.image.empty() && !t.image.empty() && t.id >= 0 && t.id < set.getGidCount())
                tilePixels[set.firstGid + static_cast<std::uint32_t>(t.id)] =
                    static_cast<unsigned long long>(std::max(t.imageWidth, 1)) *
                    static_cast<unsigned long long>(std::max(t.imageHeight, 1));
    }
    for (std::uint32_t gid = 1; gid <= map.baseFrames; ++gid)
        pixels += tilePixels[gid];
    for (std::uint32_t gid : map.flipped)
        pixels += tilePixels[gid & ~Map::kFlagBits];
    return pixels;
}
