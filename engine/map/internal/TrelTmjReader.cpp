#include "map/internal/TrelTmjReader.h"

#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "map/internal/TrelJsonCells.h"
#include "map/internal/TrelTiledCheck.h"
#include "map/internal/TrelTiledData.h"

namespace {

using Map = TrelTiledMap;
using Data = TrelTiledData;
using Check = TrelTiledCheck;
using Json = nlohmann::json;

} // namespace

// One file being read. JSON gives no line for a value, so only syntax errors carry one.
struct TrelTmjReader::Reader {
    Map& map;
    const std::string& file;
    std::string folder;

    bool fail(const std::string& what) { return map.fail_(file, 0, what); }
    // A check's verdict: "" passes, a problem fails.
    bool check(const std::string& problem) { return problem.empty() || fail(problem); }

    bool number(const Json& o, const char* key, double& value, double fallback,
                const std::string& where) {
        auto it = o.find(key);
        if (it == o.end()) {
            value = fallback;
            return true;
        }
        if (!it->is_number() || !std::isfinite(it->get<double>()))
            return fail(where + ": " + Data::quoted(key) + " is not a number");
        value = it->get<double>();
        return true;
    }
    bool integer(const Json& o, const char* key, int& value, int fallback,
                 const std::string& where) {
        double number;
        if (!this->number(o, key, number, fallback, where))
            return false;
        if (number != std::floor(number) || number < -2147483648.0 || number > 2147483647.0)
            return fail(where + ": " + Data::quoted(key) + " is not a whole number");
        value = static_cast<int>(number);
        return true;
    }
    bool text(const Json& o, const char* key, std::string& value, const std::string& where) {
        auto it = o.find(key);
        if (it == o.end()) {
            value.clear();
            return true;
        }
        if (!it->is_string())
            return fail(where + ": " + Data::quoted(key) + " is not a string");
        value = it->get<std::string>();
        return true;
    }
    bool flag(const Json& o, const char* key, bool& value, const std::string& where) {
        auto it = o.find(key);
        if (it == o.end())
            return true;
        if (!it->is_boolean())
            return fail(where + ": " + Data::quoted(key) + " is not true or false");
        value = it->get<bool>();
        return true;
    }
    bool gid(const Json& value, std::uint32_t& gid, const std::string& where) {
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFFFFFFull)
            return fail(where + " holds a GID that is not a number below 2^32");
        gid = static_cast<std::uint32_t>(value.get<std::uint64_t>());
        return true;
    }
    // An array member, or an empty array when absent; false when it is something else.
    bool array(const Json& o, const char* key, const Json*& out, const std::string& where) {
        static const Json empty = Json::array();
        auto it = o.find(key);
        out = it == o.end() ? &empty : &*it;
        if (!out->is_array())
            return fail(where + ": " + Data::quoted(key) + " is not an array");
        return true;
    }

    // A property's value as Tiled writes it in XML.
    void propertyValue(const Json& value, Map::Property& property) {
        if (value.is_null())
            property.value.clear();
        else if (value.is_string())
            property.value = value.get<std::string>();
        else if (value.is_boolean())
            property.value = value.get<bool>() ? "true" : "false";
        else if (value.is_number())
            property.value = value.dump();
        else
            map.warn_("class-typed custom properties");
    }

    bool properties(const Json& owner, Map::Properties& list, const std::string& where) {
        auto found = owner.find("properties");
        if (found != owner.end() && found->is_object()) {
            // Tiled 1.1 and earlier: {"name": value}, the types in "propertytypes".
            auto types = owner.find("propertytypes");
            for (auto it = found->begin(); it != found->end(); ++it) {
                Map::Property property;
                property.name = it.key();
                property.type = "string";
                if (types != owner.end() && types->is_object() && types->contains(it.key()) &&
                    (*types)[it.key()].is_string())
                    property.type = (*types)[it.key()].get<std::string>();
                propertyValue(it.value(), property);
                list.push_back(property);
            }
            return true;
        }
        const Json* items;
        if (!array(owner, "properties", items, where))
            return false;
        for (const Json& p : *items) {
            if (!p.is_object())
                return fail(where + ": a property is not an object");
            Map::Property property;
            if (!text(p, "name", property.name, where) || !text(p, "type", property.type, where))
                return false;
            if (property.type.empty())
                property.type = "string";
            auto value = p.find("value");
            if (value != p.end())
                propertyValue(*value, property);
            list.push_back(property);
        }
        return true;
    }

    // Visibility, opacity, tint, offsets and parallax of any layer kind, within outer.
    bool layerLook(const Json& node, const Data::Look& outer, Data::Look& look,
                   const std::string& where) {
        Data::OwnLook own;
        std::string tint;
        if (!flag(node, "visible", own.visible, where) ||
            !number(node, "opacity", own.opacity, 1, where) ||
            !number(node, "offsetx", own.drawn.offsetX, 0, where) ||
            !number(node, "offsety", own.drawn.offsetY, 0, where) ||
            !number(node, "parallaxx", own.drawn.parallaxX, 1, where) ||
            !number(node, "parallaxy", own.drawn.parallaxY, 1, where) ||
            !text(node, "tintcolor", tint, where))
            return false;
        if (!tint.empty() && !Data::parseArgb(tint, own.drawn.tint))
            return fail(where + ": \"tintcolor\" is not a colour");
        look = Data::nestedLook(outer, own);
        return true;
    }

    bool tileLayer(const Json& node, const Data::Look& outer, const std::string& name) {
        Map::TileLayer layer;
        layer.name = name;
        std::string named = "layer " + Data::quoted(name);
        Data::Look look;
        if (!layerLook(node, outer, look, named) || !properties(node, layer.properties, named))
            return false;
        Data::giveLook(look, layer);
        if (!check(Check::chunking(map, name, node.contains("chunks"), node.contains("data"))))
            return false;
        map.chunks.emplace_back();
        if (map.infinite) {
            const Json* list;
            if (!array(node, "chunks", list, named))
                return false;
            for (const Json& c : *list) {
                Map::Chunk chunk;
                if (!c.is_object())
                    return fail(named + ": a chunk is not an object");
                if (!integer(c, "x", chunk.x, 0, named) || !integer(c, "y", chunk.y, 0, named) ||
                    !integer(c, "width", chunk.width, 0, named) ||
                    !integer(c, "height", chunk.height, 0, named) ||
                    !check(Check::chunk(map, name, chunk.x, chunk.y, chunk.width, chunk.height)) ||
                    !readCells(node, c, name, chunk.cells(), chunk.gids))
                    return false;
                map.chunks.back().push_back(std::move(chunk));
            }
        } else {
            int w, h;
            if (!integer(node, "width", w, map.width, named) ||
                !integer(node, "height", h, map.height, named) ||
                !check(Check::layerSize(map, name, w, h)) ||
                !check(map.charge_(Check::cellBytes(map), "the layers' cells")) ||
                !readCells(node, node, name,
                           static_cast<std::size_t>(map.width) *
                               static_cast<std::size_t>(map.height),
                           layer.gids))
                return false;
        }
        map.layerOrder.push_back({Map::LayerKind::Tiles, static_cast<int>(map.tileLayers.size())});
        map.tileLayers.push_back(std::move(layer));
        map.layerLines.push_back(0);
        return true;
    }

    // The GIDs of holder's "data" (the layer's, or one of its chunks'): an array of numbers,
    // or a string in the layer's encoding; exactly cells of them.
    bool readCells(const Json& node, const Json& holder, const std::string& name, std::size_t cells,
                   std::vector<std::uint32_t>& gids) {
        const std::string named = "layer " + Data::quoted(name);
        auto data = holder.find("data");
        if (data == holder.end())
            return fail(named + " has no \"data\"");
        std::string encoding, compression;
        Data::CellCount count;
        if (!text(node, "encoding", encoding, named) ||
            !text(node, "compression", compression, named))
            return false;
        if (data->is_binary() && data->get_binary().subtype() == TrelJsonCells::kCells) {
            if (!encoding.empty() && encoding != "csv")
                return fail(named + " has an array of cells but encoding " +
                            Data::quoted(encoding));
            const Json::binary_t& packed = data->get_binary();
            count.found = packed.size() / 4;
            if (count.found == cells) {
                gids.resize(cells);
                for (std::size_t i = 0; i < cells; ++i)
                    gids[i] = TrelJsonCells::unpack(packed.data() + 4 * i);
            }
        } else if (data->is_array()) {
            if (!encoding.empty() && encoding != "csv")
                return fail(named + " has an array of cells but encoding " +
                            Data::quoted(encoding));
            count.found = data->size();
            if (count.found == cells) {
                gids.resize(cells);
                for (std::size_t i = 0; i < cells; ++i)
                    if (!gid((*data)[i], gids[i], named))
                        return false;
            }
        } else if (data->is_string()) {
            if (encoding.empty())
                encoding = "csv";
            const std::string& payload = data->get_ref<const std::string&>();
            std::string reason;
            if (!Data::decodeLayer(encoding, compression, payload.data(), payload.size(), cells,
                                   gids, count, reason))
                return fail(named + " " + reason);
        } else {
            return fail(named + ": \"data\" is neither an array nor a string");
        }
        return check(Check::cellCount(cells, name, count));
    }

    bool imageLayer(const Json& node, const Data::Look& outer, const std::string& name) {
        Map::ImageLayer layer;
        layer.name = name;
        const std::string named = "image layer " + Data::quoted(name);
        Data::Look look;
        std::string image, transparent;
        if (!layerLook(node, outer, look, named) || !properties(node, layer.properties, named) ||
            !flag(node, "repeatx", layer.repeatX, named) ||
            !flag(node, "repeaty", layer.repeatY, named) || !text(node, "image", image, named) ||
            !text(node, "transparentcolor", transparent, named))
            return false;
        if (!transparent.empty() && !Data::parseColor(transparent, layer.transparent))
            return fail(named + ": \"transparentcolor\" is not a colour");
        Data::giveLook(look, layer);
        if (!image.empty())
            layer.image = map.resolve_(folder, image);
        map.layerOrder.push_back({Map::LayerKind::Image, static_cast<int>(map.imageLayers.size())});
        map.imageLayers.push_back(std::move(layer));
        return true;
    }

    bool object(const Json& node, Map::ObjectGroup& group, const std::string& where) {
        if (!node.is_object())
            return fail(where + ": an object is not a JSON object");
        Map::Object object;
        std::string type, klass;
        if (!integer(node, "id", object.id, 0, where) || !number(node, "x", object.x, 0, where) ||
            !number(node, "y", object.y, 0, where) ||
            !number(node, "width", object.width, 0, where) ||
            !number(node, "height", object.height, 0, where) ||
            !number(node, "rotation", object.rotation, 0, where) ||
            !flag(node, "visible", object.visible, where) ||
            !text(node, "name", object.name, where) || !text(node, "type", type, where) ||
            !text(node, "class", klass, where))
            return false;
        object.type = !klass.empty() ? klass : type;
        if (node.contains("gid") &&
            !gid(node["gid"], object.gid, "object " + std::to_string(object.id)))
            return false;
        bool point = false, ellipse = false;
        if (!flag(node, "point", point, where) || !flag(node, "ellipse", ellipse, where))
            return false;
        if (point)
            object.shape = Map::Shape::Point;
        else if (ellipse)
            object.shape = Map::Shape::Ellipse;
        else if (node.contains("polygon"))
            object.shape = Map::Shape::Polygon;
        else if (node.contains("polyline"))
            object.shape = Map::Shape::Polyline;
        else if (node.contains("text"))
            object.shape = Map::Shape::Text;
        if ((object.shape == Map::Shape::Polygon || object.shape == Map::Shape::Polyline) &&
            !points(node[object.shape == Map::Shape::Polygon ? "polygon" : "polyline"], object,
                    where))
            return false;
        if (node.contains("template"))
            map.warn_("object templates");
        if (!properties(node, object.properties, where))
            return false;
        group.objects.push_back(std::move(object));
        return true;
    }

    // [{"x": .., "y": ..}, ...]: a polygon's or polyline's points.
    bool points(const Json& list, Map::Object& object, const std::string& where) {
        if (!list.is_array())
            return fail(where + ": object " + std::to_string(object.id) +
                        " has points that are not an array");
        for (const Json& p : list) {
            Map::Point point;
            if (!p.is_object() || !number(p, "x", point.x, 0, where) ||
                !number(p, "y", point.y, 0, where))
                return fail(where + ": object " + std::to_string(object.id) +
                            " has a point that is not {\"x\", \"y\"}");
            object.points.push_back(point);
        }
        return check(map.charge_(object.points.size() * sizeof(Map::Point), "the objects' points"));
    }

    // The tile layers of the map and of its groups, refused at once when their cells go beyond
    // the memory limit (see TrelTiledCheck::cellsAhead); what is not a layer is left to layers.
    bool cellsAhead(const Json& root) {
        std::size_t count = 0;
        std::vector<std::pair<const Json*, int>> open{{&root, 0}};
        while (!open.empty()) {
            const auto [parent, depth] = open.back();
            open.pop_back();
            auto list = parent->find("layers");
            if (list == parent->end() || !list->is_array())
                continue;
            for (const Json& node : *list) {
                auto type = node.is_object() ? node.find("type") : node.end();
                if (type == node.end() || !type->is_string())
                    continue;
                if (*type == "tilelayer")
                    ++count;
                else if (*type == "group" && depth < Data::kMaxGroupDepth)
                    open.emplace_back(&node, depth + 1);
            }
        }
        std::size_t first;
        return check(Check::cellsAhead(map, count, first));
    }

    bool layers(const Json& parent, const Data::Look& outer, const std::string& where) {
        const Json* list;
        if (!array(parent, "layers", list, where))
            return false;
        for (const Json& node : *list) {
            if (!node.is_object())
                return fail(where + ": a layer is not an object");
            std::string type, name;
            if (!text(node, "type", type, where) || !text(node, "name", name, where))
                return false;
            std::string named = "layer " + Data::quoted(name);
            if (type == "tilelayer") {
                if (!tileLayer(node, outer, name))
                    return false;
            } else if (type == "objectgroup") {
                Map::ObjectGroup group;
                group.name = name;
                Data::Look look;
                const Json* objects;
                std::string order;
                if (!layerLook(node, outer, look, named) ||
                    !text(node, "draworder", order, named) ||
                    !properties(node, group.properties, named) ||
                    !array(node, "objects", objects, named))
                    return false;
                Data::giveLook(look, group);
                group.indexOrder = order == "index";
                for (const Json& o : *objects)
                    if (!object(o, group, named))
                        return false;
                map.layerOrder.push_back(
                    {Map::LayerKind::Objects, static_cast<int>(map.objectGroups.size())});
                map.objectGroups.push_back(std::move(group));
            } else if (type == "imagelayer") {
                if (!imageLayer(node, outer, name))
                    return false;
            } else if (type == "group") {
                Data::Look look;
                if (!check(Check::groupDepth(outer.depth)) || !layerLook(node, outer, look, named))
                    return false;
                look.depth = outer.depth + 1;
                if (!layers(node, look, named))
                    return false;
            } else {
                return fail(named + " has the unknown type " + Data::quoted(type));
            }
        }
        return true;
    }

    bool tileset(const Json& node, Map::Tileset& set) {
        std::string where = "a tileset";
        if (!text(node, "name", set.name, where))
            return false;
        where = "tileset " + Data::quoted(set.name);
        if (!integer(node, "tilewidth", set.tileWidth, 0, where) ||
            !integer(node, "tileheight", set.tileHeight, 0, where) ||
            !integer(node, "spacing", set.spacing, 0, where) ||
            !integer(node, "margin", set.margin, 0, where) ||
            !integer(node, "tilecount", set.tileCount, 0, where) ||
            !integer(node, "columns", set.columns, 0, where) ||
            !integer(node, "imagewidth", set.imageWidth, 0, where) ||
            !integer(node, "imageheight", set.imageHeight, 0, where))
            return false;
        auto offset = node.find("tileoffset");
        if (offset != node.end()) {
            if (!offset->is_object() || !integer(*offset, "x", set.offsetX, 0, where) ||
                !integer(*offset, "y", set.offsetY, 0, where))
                return fail(where + ": \"tileoffset\" is not an object of whole numbers");
        }
        std::string image, trans;
        if (!text(node, "image", image, where) || !text(node, "transparentcolor", trans, where))
            return false;
        if (!image.empty())
            set.image = map.resolve_(folder, image);
        if (!trans.empty() && !Data::parseColor(trans, set.transparent))
            return fail(where + ": \"transparentcolor\" is not a colour");
        // Tiled 1.1 and earlier wrote "tiles" as an object keyed by tile id.
        auto tiles = node.find("tiles");
        if (tiles == node.end())
            return true;
        if (tiles->is_object()) {
            for (auto it = tiles->begin(); it != tiles->end(); ++it) {
                char* end = nullptr;
                long id = std::strtol(it.key().c_str(), &end, 10);
                if (it.key().empty() || *end != '\0' || id < 0 || id >= Map::kMaxFrames)
                    return fail(where + " has the tile id " + Data::quoted(it.key()));
                if (!tile(it.value(), static_cast<int>(id), set, where))
                    return false;
            }
            return true;
        }
        if (!tiles->is_array())
            return fail(where + ": \"tiles\" is not an array");
        for (const Json& t : *tiles) {
            int id = -1;
            if (t.is_object() && !integer(t, "id", id, -1, where))
                return false;
            if (!tile(t, id, set, where))
                return false;
        }
        return true;
    }

    bool tile(const Json& t, int id, Map::Tileset& set, const std::string& where) {
        if (!t.is_object())
            return fail(where + ": a tile is not an object");
        Map::Tile tile;
        tile.id = id;
        if (!check(Check::tileId(set, tile.id)))
            return false;
        std::string tileImage;
        if (!text(t, "image", tileImage, where) ||
            !integer(t, "imagewidth", tile.imageWidth, 0, where) ||
            !integer(t, "imageheight", tile.imageHeight, 0, where) ||
            !properties(t, tile.properties, where))
            return false;
        if (!tileImage.empty())
            tile.image = map.resolve_(folder, tileImage);
        std::string klass;
        if (!text(t, "type", tile.type, where) || !text(t, "class", klass, where) ||
            !animation(t, set, tile, where) || !collision(t, tile, where))
            return false;
        if (!klass.empty())
            tile.type = klass;
        set.tiles.push_back(std::move(tile));
        return true;
    }

    // The shapes of the tile collision editor: an object group of the tile's own.
    bool collision(const Json& t, Map::Tile& tile, const std::string& where) {
        auto group = t.find("objectgroup");
        if (group == t.end())
            return true;
        const Json* objects;
        if (!group->is_object() || !array(*group, "objects", objects, where))
            return fail(where + ": a tile's \"objectgroup\" has no objects");
        Map::ObjectGroup shapes;
        for (const Json& o : *objects)
            if (!object(o, shapes, where))
                return false;
        tile.collision = std::move(shapes.objects);
        return true;
    }

    bool animation(const Json& t, const Map::Tileset& set, Map::Tile& tile,
                   const std::string& where) {
        auto frames = t.find("animation");
        if (frames == t.end())
            return true;
        if (!frames->is_array())
            return fail(where + ": a tile's \"animation\" is not an array");
        for (const Json& f : *frames) {
            Map::AnimationFrame frame;
            if (!f.is_object())
                return fail(where + ": a frame of a tile's animation is not an object");
            if (!integer(f, "tileid", frame.tileId, -1, where) ||
                !integer(f, "duration", frame.duration, 0, where) ||
                !check(Check::animationFrame(set, tile.id, frame.tileId, frame.duration)))
                return false;
            tile.animation.push_back(frame);
        }
        tile.animated = !tile.animation.empty();
        return true;
    }

    bool parse(const std::string& text, Json& document) {
        TrelJsonCells packer(document, map.memoryLeft);
        bool parsed;
        try {
            parsed = Json::sax_parse(text, &packer);
        } catch (const Json::exception& e) {
            return fail(std::string("JSON error: ") + e.what());
        }
        const std::string problem = map.charge_(packer.spent, "the file's JSON values");
        if (!problem.empty())
            return fail(problem);
        if (!parsed && packer.syntaxError) {
            std::size_t at = packer.errorPosition;
            int line = Data::lineAt(Data::lineStarts(text), at > 0 ? at - 1 : 0);
            return map.fail_(file, line,
                             at >= text.size() ? "the file is cut short"
                                               : "JSON error: " + packer.error);
        }
        // A number too large for a double, for one: the parser says so without a place.
        if (!parsed)
            return fail("JSON error: " + packer.error);
        if (!document.is_object())
            return fail("this is JSON but not a Tiled file (not an object)");
        return true;
    }
};

bool TrelTmjReader::readMap(TrelTiledMap& map, const std::string& file, const std::string& text) {
    Reader reader{map, file, TrelTiledData::folderOf(file)};
    Json root;
    if (!reader.parse(text, root))
        return false;
    std::string type;
    if (!reader.text(root, "type", type, "the map"))
        return false;
    // Maps of Tiled 1.1 and earlier have no "type"; they do have layers.
    if (type != "map" && !(type.empty() && root.contains("layers")))
        return reader.fail("this is JSON but not a Tiled map (its \"type\" is not \"map\")");
    const std::string where = "the map";
    std::string background;
    if (!reader.text(root, "orientation", map.orientation, where) ||
        !reader.text(root, "renderorder", map.renderOrder, where) ||
        !reader.flag(root, "infinite", map.infinite, where) ||
        !reader.integer(root, "width", map.width, 0, where) ||
        !reader.integer(root, "height", map.height, 0, where) ||
        !reader.integer(root, "tilewidth", map.tileWidth, 0, where) ||
        !reader.integer(root, "tileheight", map.tileHeight, 0, where) ||
        !reader.text(root, "backgroundcolor", background, where) ||
        !reader.number(root, "parallaxoriginx", map.parallaxOriginX, 0, where) ||
        !reader.number(root, "parallaxoriginy", map.parallaxOriginY, 0, where))
        return false;
    if (map.orientation.empty())
        map.orientation = "orthogonal";
    if (map.renderOrder.empty())
        map.renderOrder = "right-down";
    if (!background.empty() && !TrelTiledData::parseColor(background, map.backgroundColor))
        return reader.fail("the map's backgroundcolor is not a colour");
    if (!reader.check(TrelTiledCheck::shape(map)) ||
        !reader.properties(root, map.properties, where))
        return false;
    const Json* sets;
    if (!reader.array(root, "tilesets", sets, where))
        return false;
    for (const Json& node : *sets) {
        if (!node.is_object())
            return reader.fail("a tileset is not an object");
        TrelTiledMap::Tileset set;
        int firstGid;
        if (!reader.integer(node, "firstgid", firstGid, 1, "a tileset") ||
            !reader.check(TrelTiledCheck::firstGid(firstGid)))
            return false;
        set.firstGid = static_cast<std::uint32_t>(firstGid);
        if (!reader.text(node, "source", set.source, "a tileset"))
            return false;
        if (!set.source.empty()) {
            if (!map.loadExternalTileset_(set, 0))
                return false;
        } else if (!reader.tileset(node, set)) {
            return false;
        }
        map.tilesets.push_back(std::move(set));
    }
    return reader.cellsAhead(root) && reader.layers(root, TrelTiledData::Look(), where);
}

bool TrelTmjReader::readTileset(TrelTiledMap& map, TrelTiledMap::Tileset& set,
                                const std::string& file, const std::string& text) {
    Reader reader{map, file, TrelTiledData::folderOf(file)};
    Json root;
    if (!reader.parse(text, root))
        return false;
    return reader.tileset(root, set);
}
