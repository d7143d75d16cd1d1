#include "Level.h"

#include <map/TrelMapSpawner.h>
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
    game.audio.playMusic("data/music.ogg"); // at the settings' volume (Progress.cpp)
}
// guide: end

// guide: level
namespace {

// The images, loaded into the registry once however often the level starts: a sprite's place
// there is part of the state a replay compares.
TrelResource* heroLook = nullptr;
TrelResource* coinLook = nullptr;

// What the makers below need, and what they made.
struct Things {
    Hopper* hero = nullptr;
    int coins = 0;
};

void makeHero(const TrelMapSpawner::Spawn& spawn, void* user) {
    Things& things = *static_cast<Things*>(user);
    things.hero = new Hopper(spawn.layer, spawn.x, spawn.y, heroLook, &shapes);
}

void makeCoin(const TrelMapSpawner::Spawn& spawn, void* user) {
    Things& things = *static_cast<Things*>(user);
    auto* coin = new TrelObject(spawn.layer, spawn.x, spawn.y, fix16(10), fix16(10));
    coin->setSprite(coinLook->getData(0));
    ++things.coins;
}

} // namespace

Hopper* startLevel(TrelSystem& game, int* coins) {
    const char* file = "data/level.tmx";
    TrelTiledMap map;
    if (!map.load(file) || !game.newZoneFromMap(file))
        game.giveError(0, "Could not load the level \"%s\": %s", file, map.getError());
    game.zone->setCameraRegion(0, 0, 320, 240);
    // The shapes drawn in Tiled: solid and one-way tiles by their class, slopes as polygons.
    shapes = TrelTileShapes(map.getTileWidth(), map.getTileHeight());
    shapes.readMap(map, &game);

    if (heroLook == nullptr)
        heroLook = Hopper::loadLook(&game);
    if (coinLook == nullptr)
        coinLook = game.newSpriteResource("data/coin.png");
    if (coinLook == nullptr)
        game.giveError(0, "Could not load the image file \"data/coin.png\".");
    Things things;
    // The objects of the layer "Things" go to the ground (layer 1; layer 0 is the hills behind
    // it), each placed by its centre.
    TrelMapSpawner spawner;
    spawner.add("hero", makeHero, &things);
    spawner.add("coin", makeCoin, &things);
    spawner.spawn(map, game.zone);
    if (things.hero == nullptr)
        game.giveError(0, "The level \"%s\" places no hero.", file);
    // guide: juice-camera
    // The camera follows the hero as platformers do, drifting a quarter of the way each tick;
    // its shakes draw from the effects generator, so they never change the play.
    things.hero->camera = new TrelCamera(game.zone->getHud(), &game.effects);
    things.hero->camera->follow(things.hero, TrelCamera::kPlatformer, fix16(1) / fix16(4));
    things.hero->tweens = new TrelTweens(things.hero->getLayer());
    // guide: end
    addSound(game, things.hero);
    if (coins != nullptr)
        *coins = things.coins;
    return things.hero;
}
// guide: end
