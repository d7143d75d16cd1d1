#include "map/internal/TrelTiledZone.h"

#include <algorithm>
#include <string>
#include <vector>

#include "anim/TrelAnimation.h"
#include "core/TrelSystem.h"
#include "gfx/TrelResource.h"
#include "image/TrelFileBytes.h"
#include "world/TrelLayer.h"
#include "world/TrelZone.h"

void TrelTiledZone::fill(TrelTiledMap& map, TrelSystem* system, TrelZone* zone,
                         TrelResource* frames) {
    zone->adoptResource_(frames); // the tiles go with the zone
    addAnimations(map, frames, system->framerate);
    if (map.backgroundColor >= 0)
        zone->setBackgroundColor(map.backgroundColor);
    for (const std::string& feature : map.warnings)
        system->giveError(2, "The map \"%s\" uses %s, which the engine does not show.",
                          TrelFileBytes::escaped(map.fileName).c_str(), feature.c_str());
    for (const TrelTiledMap::TileLayer& source : map.tileLayers) {
        zone->addLayer(static_cast<unsigned>(map.width), static_cast<unsigned>(map.height),
                       static_cast<unsigned>(map.tileWidth), static_cast<unsigned>(map.tileHeight));
        // The new layer is the last of the array, destroyed ones included.
        int last = zone->getNumLayers();
        while (zone->getLayer(last) != nullptr)
            ++last;
        TrelLayer* layer = zone->getLayer(last - 1);
        layer->setTileset(frames);
        layer->setVisibility(source.visible);
        layer->setOpacity(static_cast<int>(source.opacity * 255 + 0.5));
        copyCells(map, source, layer->getMapData());
    }
}

void TrelTiledZone::copyCells(TrelTiledMap& map, const TrelTiledMap::TileLayer& source,
                              short** cells) {
    // Runs of one GID are common, so its value is looked up once per run.
    std::uint32_t lastGid = 0;
    short lastValue = 0;
    for (int y = 0; y < map.height; ++y) {
        const std::uint32_t* row =
            &source.gids[static_cast<std::size_t>(y) * static_cast<std::size_t>(map.width)];
        for (int x = 0; x < map.width; ++x) {
            if (row[x] != lastGid) {
                lastGid = row[x];
                lastValue = map.getCellValue(lastGid);
            }
            cells[y][x] = lastGid == 0 ? 0 : lastValue;
        }
    }
}

int TrelTiledZone::frameOf(TrelTiledMap& map, std::uint32_t tile, std::uint32_t flags) {
    return map.getCellValue(tile | flags) - 1;
}

void TrelTiledZone::addAnimations(TrelTiledMap& map, TrelResource* frames, int framerate) {
    // The flags of each flipped GID used, by tile: the tile's animation is made for each.
    std::vector<std::uint32_t> flips{0};
    for (std::uint32_t gid : map.flipped)
        if (std::find(flips.begin(), flips.end(), gid & TrelTiledMap::kFlagBits) == flips.end())
            flips.push_back(gid & TrelTiledMap::kFlagBits);
    for (const TrelTiledMap::Tileset& set : map.tilesets) {
        for (const TrelTiledMap::Tile& tile : set.tiles) {
            if (tile.animation.empty())
                continue;
            const std::uint32_t gid = set.firstGid + static_cast<std::uint32_t>(tile.id);
            for (std::uint32_t flags : flips) {
                TrelTileAnimation cells;
                cells.tile = frameOf(map, gid, flags);
                if (cells.tile < 0)
                    continue; // this tile is not used flipped so
                for (const TrelTiledMap::AnimationFrame& frame : tile.animation)
                    cells.frames.push_back(
                        {frameOf(map, set.firstGid + static_cast<std::uint32_t>(frame.tileId),
                                 flags),
                         frame.duration});
                frames->setTileAnimation(cells);
            }
            const std::string name = !tile.type.empty() ? tile.type : "tile " + std::to_string(gid);
            auto* played = new TrelAnimation(name.c_str());
            for (const TrelTiledMap::AnimationFrame& frame : tile.animation) {
                played->addFrameMs(frames->frames[set.firstGid + frame.tileId - 1], frame.duration,
                                   framerate);
                if (frame.duration == 0) {
                    played->setMode(TrelAnimation::kOnce); // Tiled stops at a 0 ms frame
                    break;
                }
            }
            frames->addAnimation(played);
        }
    }
}
