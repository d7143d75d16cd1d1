#include "Level.h"

#include <map/TrelTiledMap.h>

#include "Hopper.h"

using fixedpoint::fix16;

namespace {

// What each cell of the level is to the hero; read again by each start.
TrelTileShapes shapes(16, 16);

} // namespace

// guide: hopper-sound
// The hero's sounds, and the tune: its introduction once, then its loop (named in the file's
// LOOPSTART and LOOPLENGTH comments) for as long as the level runs. Without them the game
// plays on silently, each missing file a line in the log.
void addSound(TrelSystem& game, Hopper* hero) {
    hero->jumpSound = game.audio.loadSound("data/jump.wav");
    hero->coinSound = game.audio.loadSound("data/coin.wav");
    game.audio.mixer.setMusicVolume(160); // under the effects
    game.audio.playMusic("data/music.ogg");
}
// guide: end

// guide: level
Hopper* startLevel(TrelSystem& game) {
    const char* file = "data/level.tmx";
    TrelTiledMap map;
    if (!map.load(file) || !game.newZoneFromMap(file))
        game.giveError(0, "Could not load the level \"%s\": %s", file, map.getError());
    game.zone->setCameraRegion(0, 0, 320, 240);
    // Layer 0 is the hills behind the level, an image layer at half the camera's speed.
    TrelLayer* ground = game.zone->getLayer(1);
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
    addSound(game, hero);
    return hero;
}
// guide: end
