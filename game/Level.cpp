#include "Level.h"

#include "Ball.h"
#include "Gem.h"

using fixedpoint::fix16;

TrelSystem gameSystem;
TrelResource* gemResource = nullptr;
Ball* ball = nullptr;
TrelSound* gemSound = nullptr;
TrelSound* roundSound = nullptr;

namespace {

// The game cannot run without its images, so a missing one ends it with a clear message.
TrelResource* loadImage(const char* file) {
    TrelResource* resource = gameSystem.newSpriteResource(file);
    if (resource == nullptr)
        gameSystem.giveError(0, "Could not load the image file \"%s\".", file);
    return resource;
}

void appendImage(const char* file, TrelResource* resource) {
    if (gameSystem.appendSpriteResource(file, resource) == nullptr)
        gameSystem.giveError(0, "Could not load the image file \"%s\".", file);
}

// The ball's round end: the next round's gems, towards it.
void nextRound(Ball* player) {
    spawnGems(&gameSystem, gemResource, player, gemSound);
}

} // namespace

void fillGround(TrelSystem* system) {
    fillLayer(system->zone->getLayer(0), 1);
}

void writeGameState(TrelState& state, void*) {
    if (ball == nullptr)
        return;
    state.add("gems", ball->gems);
    state.add("round ticks", ball->ticks);
    state.add("best time", ball->bestTime);
    state.add("last time", ball->lastTime);
    state.add("rounds", ball->rounds);
    for (TrelObject* object : ball->getLayer()->getObjects())
        if (object != ball)
            state.add("gem active", static_cast<Gem*>(object)->active);
}

void tearDownLevel() {
    gameSystem.clearZone();
    ball = nullptr;
    gemResource = nullptr;
    gemSound = nullptr;
    roundSound = nullptr;
    gameSystem.audio.clearSounds();
    gameSystem.clearSpriteResources();
    gameSystem.iface.gfx.releaseTileCaches();
}

void setUpLevel() {
    gameSystem.newZone("Hollowmere");
    TrelZone* zone = gameSystem.zone;
    zone->addLayer(32, 32, 32, 32); // the playfield
    zone->addLayer(32, 32, 32, 32); // the gems' occupancy grid, never drawn
    fillGround(&gameSystem);

    TrelResource* tiles = loadImage("data/Tile1.bmp");
    appendImage("data/Tile2.bmp", tiles);
    appendImage("data/Tile3.bmp", tiles);
    appendImage("data/Tile4.bmp", tiles);
    zone->getLayer(0)->setTileset(tiles);

    TrelResource* ballImages = loadImage("data/Ball.bmp");
    gemResource = loadImage("data/Gem.bmp");
    // The sounds are a bonus: without them (a line in the log) the game plays as before.
    gemSound = gameSystem.audio.loadSound("data/gem.wav");
    roundSound = gameSystem.audio.loadSound("data/round.wav");

    Ball* player = new Ball(zone->getLayer(0), fix16(16), fix16(16), fix16(24), fix16(24));
    player->setSprite(ballImages->getData(0));
    player->onRoundEnd = nextRound;
    player->roundSound = roundSound;
    zone->getLayer(1)->setVisibility(false);
    // The ball stands before every gem in the list, so it moves first in each tick.
    ball = player;
    nextRound(player);
    zone->setCameraRegion(0, 0, 640, 448);
    gameSystem.setStateFunction(writeGameState, nullptr);
}
