#include "map/internal/TrelTiledZone.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <string>
#include <vector>

#include "anim/TrelAnimation.h"
#include "anim/TrelTileAnimation.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "base/TrelFileBytes.h"
#include "core/TrelSystem.h"
#include "world/TrelLayer.h"
#include "world/TrelObject.h"
#include "world/TrelZone.h"

void TrelTiledZone::fill(TrelTiledMap& map, TrelSystem* system, TrelZone* zone,
                         TrelTiledFrames::Made& made) {
    // What the layers show goes with the zone.
    zone->adoptResource_(made.tiles);
    for (auto& tinted : made.tinted)
        zone->adoptResource_(tinted.second);
    if (made.images->frames.empty())
        delete made.images; // most maps have no image layers or tile objects
    else
        zone->adoptResource_(made.images);
    if (map.backgroundColor >= 0)
        zone->setBackgroundColor(map.backgroundColor);
    zone->setParallaxOrigin(TrelZone::Fixed::fromDouble(map.parallaxOriginX),
                            TrelZone::Fixed::fromDouble(map.parallaxOriginY));
    for (const std::string& feature : map.warnings)
        system->giveError(2, "The map \"%s\" uses %s, which the engine does not show.",
                          TrelFileBytes::escaped(map.fileName).c_str(), feature.c_str());
    std::size_t nextObject = map.imageLayers.size(); // the first tile object's picture
    for (const TrelTiledMap::LayerEntry& entry : map.layerOrder) {
        const auto index = static_cast<std::size_t>(entry.index);
        if (entry.kind == TrelTiledMap::LayerKind::Tiles) {
            const TrelTiledMap::TileLayer& source = map.tileLayers[index];
            TrelLayer* layer = addLayer(map, zone, source.visible, source.opacity, source.look);
            layer->setTileset(made.tiles);
            for (auto& tinted : made.tinted)
                if (tinted.first == source.look.tint)
                    layer->setTileset(tinted.second);
            copyCells(map, source, layer->getMapData());
        } else if (entry.kind == TrelTiledMap::LayerKind::Image) {
            const TrelTiledMap::ImageLayer& source = map.imageLayers[index];
            TrelLayer* layer = addLayer(map, zone, source.visible, source.opacity, source.look);
            if (!source.image.empty())
                layer->setImage(made.images->frames[index], source.repeatX, source.repeatY);
        } else if (map.tileObjects) {
            const TrelTiledMap::ObjectGroup& source = map.objectGroups[index];
            addTileObjects(map, source,
                           addLayer(map, zone, source.visible, source.opacity, source.look), made,
                           nextObject);
        }
    }
    made = TrelTiledFrames::Made(); // the zone owns it all now
}

TrelLayer* TrelTiledZone::addLayer(TrelTiledMap& map, TrelZone* zone, bool visible, double opacity,
                                   const TrelTiledMap::LayerLook& look) {
    zone->addLayer(static_cast<unsigned>(map.width), static_cast<unsigned>(map.height),
                   static_cast<unsigned>(map.tileWidth), static_cast<unsigned>(map.tileHeight));
    TrelLayer* layer = zone->getLayer(zone->getNumLayers() - 1);
    layer->setVisibility(visible);
    // The tint's alpha fades the layer as its opacity does. Products of groups' opacities
    // may leave 0 to 1 (even be NaN) in a hostile file; they are drawn at the nearest end.
    const double faded = !(opacity > 0) ? 0 : opacity > 1 ? 1 : opacity;
    layer->setOpacity(static_cast<int>(faded * (look.tint >> 24) + 0.5));
    using Fixed = TrelLayer::Fixed;
    layer->setDrawOffset(Fixed::fromDouble(look.offsetX), Fixed::fromDouble(look.offsetY));
    layer->setParallax(Fixed::fromDouble(look.parallaxX), Fixed::fromDouble(look.parallaxY));
    return layer;
}

namespace {

// An object's y as the top-down order sorts it; NaN, which compares with nothing, first.
double sortY(const TrelTiledMap::Object& object) {
    return std::isnan(object.y) ? -HUGE_VAL : object.y;
}

} // namespace

void TrelTiledZone::addTileObjects(TrelTiledMap& map, const TrelTiledMap::ObjectGroup& group,
                                   TrelLayer* layer, TrelTiledFrames::Made& made,
                                   std::size_t& next) {
    using Fixed = TrelLayer::Fixed;
    // The pictures come in the file's order; the objects are made in the order they are drawn.
    std::vector<std::pair<const TrelTiledMap::Object*, std::size_t>> shownObjects;
    for (const TrelTiledMap::Object& object : group.objects)
        if (TrelTiledFrames::isTileObject(map, object))
            shownObjects.emplace_back(&object, next++);
    if (!group.indexOrder)
        std::stable_sort(
            shownObjects.begin(), shownObjects.end(),
            [](const auto& a, const auto& b) { return sortY(*a.first) < sortY(*b.first); });
    for (const auto& [objectPointer, pictureIndex] : shownObjects) {
        const TrelTiledMap::Object& object = *objectPointer;
        TrelISprite* picture = made.images->frames[pictureIndex];
        const std::pair<int, int> corner =
            made.objectCorners[pictureIndex - map.imageLayers.size()];
        // Drawn centred on its position, the picture's top-left corner lands on corner.
        const int w = picture->width, h = picture->height;
        auto* shown = new TrelObject(layer, Fixed(corner.first + w / 2),
                                     Fixed(corner.second + h / 2), Fixed(w), Fixed(h));
        shown->setSprite(picture);
        shown->setVisibility(object.visible);
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

bool TrelTiledZone::animate(TrelTiledMap& map, TrelTiledFrames::Made& made, int framerate) {
    // What the copies take, counted first: each animated tile's frames, once for each flip of
    // it in use and each tinted copy of the tiles, and once more as a TrelAnimation.
    unsigned long long frames = 0, animated = 0;
    for (const TrelTiledMap::Tileset& set : map.tilesets)
        for (const TrelTiledMap::Tile& tile : set.tiles)
            if (!tile.animation.empty()) {
                frames += tile.animation.size();
                ++animated;
            }
    const unsigned long long copies = flipsUsed(map).size() * (1 + made.tinted.size());
    const unsigned long long bytes = copies * (frames * sizeof(TrelTileAnimation::Frame) +
                                               animated * sizeof(TrelTileAnimation)) +
                                     frames * 16 + animated * (sizeof(TrelAnimation) + 64);
    const std::string problem = map.charge_(bytes, "the tiles' animations");
    if (!problem.empty())
        return map.fail_(map.fileName, 0, problem);
    try {
        addTileAnimations(map, made.tiles);
        addAnimations(map, made.tiles, framerate);
        for (auto& tinted : made.tinted)
            addTileAnimations(map, tinted.second);
    } catch (const std::bad_alloc&) {
        return map.fail_(map.fileName, 0, "no memory for the tiles' animations");
    }
    return true;
}

std::vector<std::uint32_t> TrelTiledZone::flipsUsed(const TrelTiledMap& map) {
    std::vector<std::uint32_t> flips{0};
    for (std::uint32_t gid : map.flipped)
        if (std::find(flips.begin(), flips.end(), gid & TrelTiledMap::kFlagBits) == flips.end())
            flips.push_back(gid & TrelTiledMap::kFlagBits);
    return flips;
}

void TrelTiledZone::addTileAnimations(TrelTiledMap& map, TrelResource* tiles) {
    // A tile's animation is made for each flip in use.
    const std::vector<std::uint32_t> flips = flipsUsed(map);
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
                tiles->setTileAnimation(cells);
            }
        }
    }
}

void TrelTiledZone::addAnimations(TrelTiledMap& map, TrelResource* tiles, int framerate) {
    for (const TrelTiledMap::Tileset& set : map.tilesets) {
        for (const TrelTiledMap::Tile& tile : set.tiles) {
            if (tile.animation.empty())
                continue;
            const std::uint32_t gid = set.firstGid + static_cast<std::uint32_t>(tile.id);
            const std::string name = !tile.type.empty() ? tile.type : "tile " + std::to_string(gid);
            auto* played = new TrelAnimation(name.c_str());
            for (const TrelTiledMap::AnimationFrame& frame : tile.animation) {
                played->addFrameMs(tiles->frames[set.firstGid + frame.tileId - 1], frame.duration,
                                   framerate);
                if (frame.duration == 0) {
                    played->setMode(TrelAnimation::kOnce); // Tiled stops at a 0 ms frame
                    break;
                }
            }
            tiles->addAnimation(played);
        }
    }
}
