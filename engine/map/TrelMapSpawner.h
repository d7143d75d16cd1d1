#ifndef TREL_MAP_SPAWNER_H
#define TREL_MAP_SPAWNER_H

#include <string>
#include <vector>

#include "base/TrelExport.h"
#include "map/TrelTiledMap.h"
#include "math/FixedPoint.h"

class TrelLayer;
class TrelZone;

// Makes the game's objects from the object layers of a map drawn in Tiled. The game registers
// one function per object type (Tiled's "type", the "class" of later versions); spawn then
// calls it for every object of that type, in the map's layer order and each layer's object
// order, with the engine layer the map puts the object in and its centre, size and flips
// worked out once, whatever Tiled's shape:
//
//     TrelMapSpawner spawner;
//     spawner.add("coin", makeCoin);
//     spawner.spawn(map, game.zone);
//
// Centres: a rectangle, ellipse or text object is placed by its top-left corner in Tiled, a
// tile object by its bottom-left corner, a point is its own centre, and a polygon or polyline
// is centred on the box around its points; each is turned about Tiled's anchor by the object's
// rotation. An object of a type nobody registered gets one warning per type and map.
class TREL_API TrelMapSpawner {
public:
    using Fixed = fixedpoint::fix16;

    // One object of the map, as its maker gets it.
    struct Spawn {
        const TrelTiledMap::Object* object; // all Tiled gives: id, name, properties, points
        TrelTiledMap* map;
        TrelLayer* layer;  // the layer the map puts it in
        Fixed x, y;        // its centre, in the layer's pixels
        Fixed w, h;        // its size; 0 by 0 for a point; the box of a polygon's points
        bool flipX, flipY; // a tile object's flips; false for the others
    };
    using Make = void (*)(const Spawn& spawn, void* user);

    // Registers the maker of a type ("" for objects without one); a second call for the same
    // type replaces the first.
    void add(const char* type, Make make, void* user = nullptr);

    // Makes the objects of every object layer of the map, which addToZone (or newZoneFromMap)
    // added to the zone from layer firstLayer on. An object layer's objects go to its own layer
    // when the map made one (TrelTiledMap::setTileObjects), else to the last tile or image
    // layer before it (the first of the map's, when none is before it). With tile objects
    // made, a tile object of a type nobody registered is left to that, without a warning.
    // Returns the objects made.
    int spawn(TrelTiledMap& map, TrelZone* zone, int firstLayer = 0);

    // The centre and size of an object as spawn works them out.
    static void place(const TrelTiledMap::Object& object, Fixed& x, Fixed& y, Fixed& w, Fixed& h);

private:
    struct Maker {
        std::string type;
        Make make;
        void* user;
    };
    const Maker* find(const std::string& type) const;
    std::vector<Maker> makers;
};

#endif
