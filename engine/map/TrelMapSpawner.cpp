#include "map/TrelMapSpawner.h"

#include <algorithm>
#include <cmath>

#include "base/TrelLog.h"
#include "world/TrelLayer.h"
#include "world/TrelZone.h"

void TrelMapSpawner::add(const char* type, Make make, void* user) {
    const std::string name = type != nullptr ? type : "";
    for (Maker& maker : makers) {
        if (maker.type == name) {
            maker.make = make;
            maker.user = user;
            return;
        }
    }
    makers.push_back(Maker{name, make, user});
}

const TrelMapSpawner::Maker* TrelMapSpawner::find(const std::string& type) const {
    for (const Maker& maker : makers)
        if (maker.type == type && maker.make != nullptr)
            return &maker;
    return nullptr;
}

void TrelMapSpawner::place(const TrelTiledMap::Object& object, Fixed& x, Fixed& y, Fixed& w,
                           Fixed& h) {
    using Shape = TrelTiledMap::Shape;
    // The centre from Tiled's anchor (x, y), before the rotation.
    double cx = object.width / 2, cy = object.height / 2;
    double width = object.width, height = object.height;
    if (object.gid != 0) {
        cy = -object.height / 2;
    } else if (object.shape == Shape::Point) {
        cx = cy = width = height = 0;
    } else if ((object.shape == Shape::Polygon || object.shape == Shape::Polyline) &&
               !object.points.empty()) {
        auto byX = [](const TrelTiledMap::Point& a, const TrelTiledMap::Point& b) {
            return a.x < b.x;
        };
        auto byY = [](const TrelTiledMap::Point& a, const TrelTiledMap::Point& b) {
            return a.y < b.y;
        };
        const auto xs = std::minmax_element(object.points.begin(), object.points.end(), byX);
        const auto ys = std::minmax_element(object.points.begin(), object.points.end(), byY);
        width = xs.second->x - xs.first->x;
        height = ys.second->y - ys.first->y;
        cx = xs.first->x + width / 2;
        cy = ys.first->y + height / 2;
    }
    if (object.rotation != 0) {
        // Clockwise on the screen, whose y runs down.
        const double turn = object.rotation * 3.14159265358979323846 / 180;
        const double c = std::cos(turn), s = std::sin(turn);
        const double rx = cx * c - cy * s, ry = cx * s + cy * c;
        cx = rx;
        cy = ry;
    }
    x = Fixed::fromDouble(object.x + cx);
    y = Fixed::fromDouble(object.y + cy);
    w = Fixed::fromDouble(width);
    h = Fixed::fromDouble(height);
}

int TrelMapSpawner::spawn(TrelTiledMap& map, TrelZone* zone, int firstLayer) {
    if (zone == nullptr)
        return 0;
    using Kind = TrelTiledMap::LayerKind;
    const bool ownLayers = map.getTileObjects();
    std::vector<std::string> unknown; // the types warned about
    int next = firstLayer;            // the engine layer of the next map layer
    int last = -1;                    // the last tile or image layer's
    int made = 0;
    for (const TrelTiledMap::LayerEntry& entry : map.getLayerOrder()) {
        if (entry.kind != Kind::Objects) {
            last = next++;
            continue;
        }
        TrelLayer* layer = zone->getLayer(ownLayers ? next++ : last >= 0 ? last : firstLayer);
        const TrelTiledMap::ObjectGroup& group =
            map.getObjectGroups()[static_cast<std::size_t>(entry.index)];
        for (const TrelTiledMap::Object& object : group.objects) {
            const Maker* maker = find(object.type);
            if (maker == nullptr) {
                const bool shown = ownLayers && object.gid != 0;
                if (!shown &&
                    std::find(unknown.begin(), unknown.end(), object.type) == unknown.end()) {
                    unknown.push_back(object.type);
                    zone->getLog()->warn("The map \"%s\" has objects of the type \"%s\", which the "
                                         "game makes nothing of.",
                                         map.getFileName(), object.type.c_str());
                }
                continue;
            }
            if (layer == nullptr)
                continue;
            Spawn spawn{&object,
                        &map,
                        layer,
                        Fixed(),
                        Fixed(),
                        Fixed(),
                        Fixed(),
                        (object.gid & TrelTiledMap::kFlipHorizontal) != 0,
                        (object.gid & TrelTiledMap::kFlipVertical) != 0};
            place(object, spawn.x, spawn.y, spawn.w, spawn.h);
            maker->make(spawn, maker->user);
            ++made;
        }
    }
    return made;
}
