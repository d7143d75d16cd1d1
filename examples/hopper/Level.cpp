#include "Level.h"

#include <map/TrelTiledMap.h>

#include "Hopper.h"

using fixedpoint::fix16;

namespace {

// What each cell of the level is to the hero; read again by each start.
TrelTileShapes shapes(16, 16);

} // namespace

// guide: level
Hopper* startLevel(TrelSystem& game) {
    const char* file = "data/level.tmx";
    TrelTiledMap map;
    if (!map.load(file) || !game.newZoneFromMap(file))
        game.giveError(0, "Could not load the level \"%s\": %s", file, map.getError());
    game.zone->setCameraRegion(0, 0, 320, 240);
    TrelLayer* ground = game.zone->getLayer(0);
    // The shapes drawn in Tiled: solid and one-way tiles by their class, slopes as polygons.
    shapes = TrelTileShapes(map.getTileWidth(), map.getTileHeight());
    shapes.readMap(map, &game);

    TrelResource* coin = game.newSpriteResource("data/coin.png");
    if (coin == nullptr)
        game.giveError(0, "Could not load the image file \"data/coin.png\".");
    Hopper* hero = nullptr;
    for (const TrelTiledMap::Object& thing : map.findObjectGroup("Things")->objects) {
        const fix16 x(static_cast<int>(thing.x)), y(static_cast<int>(thing.y));
        if (thing.type == "hero")
            hero = new Hopper(ground, x, y, Hopper::loadLook(&game), &shapes);
        else if (thing.type == "coin")
            (new TrelObject(ground, x, y, fix16(10), fix16(10)))->setSprite(coin->getData(0));
    }
    if (hero == nullptr)
        game.giveError(0, "The level \"%s\" places no hero.", file);
    return hero;
}
// guide: end
