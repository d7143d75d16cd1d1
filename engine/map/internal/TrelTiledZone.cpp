#include "map/internal/TrelTiledZone.h"

#include "core/TrelSystem.h"
#include "image/TrelFileBytes.h"
#include "world/TrelLayer.h"
#include "world/TrelZone.h"

void TrelTiledZone::fill(TrelTiledMap& map, TrelSystem* system, TrelZone* zone,
                         TrelResource* frames) {
    zone->adoptResource_(frames); // the tiles go with the zone
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
