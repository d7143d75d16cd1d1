// Lanternfall on a meadow drawn in the Tiled editor: data/meadow.tmx holds the ground, the
// trees and the object layer "Things", which says where the moth, the lanterns and the wisps
// start. The arrow keys fly the moth; Escape quits.
#include <allegro.h>
#include <map/TrelTiledMap.h>
#include <trel.h>

#include <cstdlib>
#include <vector>

#include "Lantern.h"
#include "Moth.h"
#include "Wisp.h"

using fixedpoint::fix16;

TrelSystem game;

namespace {

// The first frame of an image the game cannot run without: a missing one is fatal.
TrelISprite* image(const char* file) {
    TrelResource* images = game.newSpriteResource(file);
    if (images == nullptr)
        game.giveError(0, "Could not load the image file \"%s\".", file);
    return images->getData(0);
}

// Map positions are in pixels, as double.
fix16 px(double v) {
    return fix16(static_cast<float>(v));
}

std::vector<Lantern*> lanterns; // not owned: the layer owns its objects

} // namespace

int main() {
    game.setName("Lanternfall");
    game.iface.init();

    // guide: map-zone
    const char* file = "data/meadow.tmx";
    // One layer per tile layer of the map, its tiles cut from the map's tilesets.
    if (!game.newZoneFromMap(file))
        game.giveError(0, "Could not load the map \"%s\".", file);
    TrelZone* zone = game.zone;
    // The objects go on the top layer, above the trees.
    TrelLayer* top = zone->getLayer(zone->getNumLayers() - 1);
    // guide: end

    // guide: map-player
    // A level of the player's own, when there is one, is laid over the meadow. It is held to
    // what this game's levels need, may name no file outside its folder, and is left out, with
    // the reason in the log, when it asks for more.
    const char* custom = "data/custom.tmx";
    TrelLoadLimits limits;
    limits.mapMemory = 32 << 20;
    limits.imageMemory = 16 << 20;
    TrelLoadLimits::set(limits);
    TrelTiledMap level;
    level.setFromPlayer(true);
    if (exists(custom) && !(level.load(custom) && level.addToZone(&game, zone)))
        game.giveError(2, "The level \"%s\" was left out: %s", custom, level.getError());
    // guide: end

    // guide: map-objects
    // The zone holds the map's tiles; the map's objects are the game's to make.
    TrelTiledMap map;
    map.load(file);
    const TrelTiledMap::ObjectGroup* things = map.findObjectGroup("Things");
    if (things == nullptr)
        game.giveError(0, "The map \"%s\" has no object layer \"Things\".", file);
    Moth* moth = nullptr;
    for (const TrelTiledMap::Object& thing : things->objects) {
        if (thing.type == "moth")
            moth = new Moth(top, px(thing.x), px(thing.y), Moth::loadLook(&game));
    }
    if (moth == nullptr)
        game.giveError(0, "The map \"%s\" places no moth.", file);
    // guide: end

    TrelResource* lanternFrames = Lantern::loadLook(&game);
    TrelISprite* wispImage = image("data/wisp.png");
    // guide: map-properties
    for (const TrelTiledMap::Object& thing : things->objects) {
        if (thing.type == "lantern") {
            lanterns.push_back(new Lantern(top, px(thing.x), px(thing.y), lanternFrames, moth));
        } else if (thing.type == "wisp") {
            // Custom properties keep Tiled's text: "-2" for the int -2.
            int vx = std::atoi(TrelTiledMap::findProperty(thing.properties, "vx", "1"));
            int vy = std::atoi(TrelTiledMap::findProperty(thing.properties, "vy", "1"));
            new Wisp(top, px(thing.x), px(thing.y), fix16(vx), fix16(vy), wispImage, &lanterns);
        }
    }
    // guide: end

    game.mainLoop();
    return 0;
}
END_OF_MAIN()
