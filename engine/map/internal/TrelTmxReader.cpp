#include "map/internal/TrelTmxReader.h"

#include <pugixml.hpp>

#include <algorithm>
#include <string>
#include <vector>

#include "map/internal/TrelTiledCheck.h"
#include "map/internal/TrelTiledData.h"

namespace {

using Map = TrelTiledMap;
using Data = TrelTiledData;
using Check = TrelTiledCheck;

} // namespace

// One file being read: its name and text for error lines, and the map it fills.
struct TrelTmxReader::Reader {
    Map& map;
    const std::string& file;
    const std::string& text;
    std::string folder;                          // what the file's relative paths start from
    mutable std::vector<std::size_t> lines = {}; // where each line starts, once a line is asked

    int lineAt(std::size_t offset) const {
        if (lines.empty())
            lines = Data::lineStarts(text);
        return Data::lineAt(lines, offset);
    }
    int lineOf(const pugi::xml_node& node) const {
        return node.offset_debug() >= 0 ? lineAt(static_cast<std::size_t>(node.offset_debug())) : 0;
    }
    bool fail(const pugi::xml_node& node, const std::string& what) {
        return map.fail_(file, lineOf(node), what);
    }
    // A check's verdict on the element read from node: "" passes, a problem fails at its line.
    bool check(const pugi::xml_node& node, const std::string& problem) {
        return problem.empty() || fail(node, problem);
    }

    // An attribute that must be a whole number when present.
    bool intAttribute(const pugi::xml_node& node, const char* name, int& value, int fallback) {
        pugi::xml_attribute a = node.attribute(name);
        if (!a) {
            value = fallback;
            return true;
        }
        if (!Data::parseInt(a.value(), value))
            return fail(node, std::string("<") + node.name() + "> has " + name + "=" +
                                  Data::quoted(a.value()) + ", which is not a whole number");
        return true;
    }
    bool doubleAttribute(const pugi::xml_node& node, const char* name, double& value,
                         double fallback) {
        pugi::xml_attribute a = node.attribute(name);
        if (!a) {
            value = fallback;
            return true;
        }
        if (!Data::parseDouble(a.value(), value))
            return fail(node, std::string("<") + node.name() + "> has " + name + "=" +
                                  Data::quoted(a.value()) + ", which is not a number");
        return true;
    }
    bool boolAttribute(const pugi::xml_node& node, const char* name, bool& value) {
        int number;
        if (!intAttribute(node, name, number, value ? 1 : 0))
            return false;
        value = number != 0;
        return true;
    }

    bool properties(const pugi::xml_node& owner, Map::Properties& list) {
        for (pugi::xml_node p : owner.child("properties").children("property")) {
            Map::Property property;
            property.name = p.attribute("name").value();
            property.type = p.attribute("type") ? p.attribute("type").value() : "string";
            // A multi-line string is the element's text instead of its value attribute.
            property.value = p.attribute("value") ? p.attribute("value").value() : p.text().get();
            if (property.type == "class")
                map.warn_("class-typed custom properties");
            list.push_back(property);
        }
        return true;
    }

    // Visibility, opacity, tint, offsets and parallax of any layer kind, within outer.
    bool layerLook(const pugi::xml_node& node, const Data::Look& outer, Data::Look& look) {
        Data::OwnLook own;
        if (!boolAttribute(node, "visible", own.visible) ||
            !doubleAttribute(node, "opacity", own.opacity, 1) ||
            !doubleAttribute(node, "offsetx", own.drawn.offsetX, 0) ||
            !doubleAttribute(node, "offsety", own.drawn.offsetY, 0) ||
            !doubleAttribute(node, "parallaxx", own.drawn.parallaxX, 1) ||
            !doubleAttribute(node, "parallaxy", own.drawn.parallaxY, 1))
            return false;
        pugi::xml_attribute tint = node.attribute("tintcolor");
        if (tint && !Data::parseArgb(tint.value(), own.drawn.tint))
            return fail(node, std::string("<") + node.name() + "> has tintcolor=" +
                                  Data::quoted(tint.value()) + ", which is not a colour");
        look = Data::nestedLook(outer, own);
        return true;
    }

    bool tileLayer(const pugi::xml_node& node, const Data::Look& outer) {
        Map::TileLayer layer;
        Data::Look look;
        if (!layerLook(node, outer, look))
            return false;
        layer.name = node.attribute("name").value();
        Data::giveLook(look, layer);
        properties(node, layer.properties);
        std::string named = "layer " + Data::quoted(layer.name);
        pugi::xml_node data = node.child("data");
        if (!data)
            return fail(node, named + " has no <data>");
        if (!check(data, Check::chunking(map, layer.name, static_cast<bool>(data.child("chunk")),
                                         holdsCells(data))))
            return false;
        map.chunks.emplace_back();
        if (map.infinite) {
            for (pugi::xml_node c : data.children("chunk")) {
                Map::Chunk chunk;
                if (!intAttribute(c, "x", chunk.x, 0) || !intAttribute(c, "y", chunk.y, 0) ||
                    !intAttribute(c, "width", chunk.width, 0) ||
                    !intAttribute(c, "height", chunk.height, 0) ||
                    !check(c, Check::chunk(map, layer.name, chunk.x, chunk.y, chunk.width,
                                           chunk.height)) ||
                    !readCells(data, c, layer.name, chunk.cells(), chunk.gids))
                    return false;
                map.chunks.back().push_back(std::move(chunk));
            }
        } else {
            int w, h;
            if (!intAttribute(node, "width", w, map.width) ||
                !intAttribute(node, "height", h, map.height) ||
                !check(node, Check::layerSize(map, layer.name, w, h)) ||
                !check(node, map.charge_(Check::cellBytes(map), "the layers' cells")) ||
                !readCells(data, data, layer.name,
                           static_cast<std::size_t>(map.width) *
                               static_cast<std::size_t>(map.height),
                           layer.gids))
                return false;
        }
        map.layerOrder.push_back({Map::LayerKind::Tiles, static_cast<int>(map.tileLayers.size())});
        map.tileLayers.push_back(std::move(layer));
        map.layerLines.push_back(lineOf(node));
        return true;
    }

    // Whether the layer's data holds cells of its own: text other than white space, or tiles.
    static bool holdsCells(const pugi::xml_node& data) {
        const std::string text = data.text().get();
        return data.child("tile") || text.find_first_not_of(" \t\r\n") != std::string::npos;
    }

    // The GIDs held by cells (the layer's <data>, or one of its chunks), encoded as data
    // says: exactly count of them.
    bool readCells(const pugi::xml_node& data, const pugi::xml_node& holder,
                   const std::string& name, std::size_t count, std::vector<std::uint32_t>& gids) {
        std::string named = "layer " + Data::quoted(name);
        Data::CellCount found;
        pugi::xml_node counted = holder; // where a wrong count shows: the cells, or an extra one
        if (!data.attribute("encoding")) {
            // The oldest format: one <tile gid="..."/> per cell.
            for (pugi::xml_node tile : holder.children("tile")) {
                std::uint32_t gid = 0;
                if (tile.attribute("gid") && !Data::parseGid(tile.attribute("gid").value(), gid))
                    return fail(tile, named + " has a <tile> whose gid is not a number below 2^32");
                if (gids.size() == count) {
                    found.beyond = true;
                    counted = tile;
                    break;
                }
                gids.push_back(gid);
            }
            found.found = gids.size();
        } else {
            const char* payload = holder.text().get();
            std::string reason;
            if (!Data::decodeLayer(
                    data.attribute("encoding").value(), data.attribute("compression").value(),
                    payload, std::char_traits<char>::length(payload), count, gids, found, reason))
                return fail(holder, named + " " + reason);
        }
        return check(counted, Check::cellCount(count, name, found));
    }

    bool object(const pugi::xml_node& node, Map::ObjectGroup& group) {
        Map::Object object;
        if (!intAttribute(node, "id", object.id, 0) || !doubleAttribute(node, "x", object.x, 0) ||
            !doubleAttribute(node, "y", object.y, 0) ||
            !doubleAttribute(node, "width", object.width, 0) ||
            !doubleAttribute(node, "height", object.height, 0) ||
            !doubleAttribute(node, "rotation", object.rotation, 0) ||
            !boolAttribute(node, "visible", object.visible))
            return false;
        if (node.attribute("gid") && !Data::parseGid(node.attribute("gid").value(), object.gid))
            return fail(node, "object " + std::to_string(object.id) +
                                  " has a gid that is not a number below 2^32");
        object.name = node.attribute("name").value();
        object.type = node.attribute("class") ? node.attribute("class").value()
                                              : node.attribute("type").value();
        if (node.child("point"))
            object.shape = Map::Shape::Point;
        else if (node.child("ellipse"))
            object.shape = Map::Shape::Ellipse;
        else if (node.child("polygon"))
            object.shape = Map::Shape::Polygon;
        else if (node.child("polyline"))
            object.shape = Map::Shape::Polyline;
        else if (node.child("text"))
            object.shape = Map::Shape::Text;
        pugi::xml_node line = node.child(node.child("polygon") ? "polygon" : "polyline");
        if (line && !points(line, object))
            return false;
        if (node.attribute("template"))
            map.warn_("object templates");
        properties(node, object.properties);
        group.objects.push_back(std::move(object));
        return true;
    }

    // "x,y x,y ...": a polygon's or polyline's points.
    bool points(const pugi::xml_node& node, Map::Object& object) {
        const std::string list = node.attribute("points").value();
        std::size_t at = 0;
        while (at < list.size()) {
            std::size_t end = list.find(' ', at);
            if (end == std::string::npos)
                end = list.size();
            const std::string pair = list.substr(at, end - at);
            const std::size_t comma = pair.find(',');
            Map::Point point;
            if (!pair.empty() && (comma == std::string::npos ||
                                  !Data::parseDouble(pair.substr(0, comma).c_str(), point.x) ||
                                  !Data::parseDouble(pair.substr(comma + 1).c_str(), point.y)))
                return fail(node, "object " + std::to_string(object.id) + " has the point " +
                                      Data::quoted(pair) + ", which is not \"x,y\"");
            if (!pair.empty())
                object.points.push_back(point);
            at = end + 1;
        }
        return check(node,
                     map.charge_(object.points.size() * sizeof(Map::Point), "the objects' points"));
    }

    bool objectGroup(const pugi::xml_node& node, const Data::Look& outer) {
        Map::ObjectGroup group;
        Data::Look look;
        if (!layerLook(node, outer, look))
            return false;
        group.name = node.attribute("name").value();
        group.indexOrder = std::string(node.attribute("draworder").value()) == "index";
        Data::giveLook(look, group);
        properties(node, group.properties);
        for (pugi::xml_node o : node.children("object"))
            if (!object(o, group))
                return false;
        map.layerOrder.push_back(
            {Map::LayerKind::Objects, static_cast<int>(map.objectGroups.size())});
        map.objectGroups.push_back(std::move(group));
        return true;
    }

    bool imageLayer(const pugi::xml_node& node, const Data::Look& outer) {
        Map::ImageLayer layer;
        Data::Look look;
        if (!layerLook(node, outer, look) || !boolAttribute(node, "repeatx", layer.repeatX) ||
            !boolAttribute(node, "repeaty", layer.repeatY))
            return false;
        layer.name = node.attribute("name").value();
        Data::giveLook(look, layer);
        properties(node, layer.properties);
        pugi::xml_node image = node.child("image");
        if (image && !image.child("data") && *image.attribute("source").value() != '\0')
            layer.image = map.resolve_(folder, image.attribute("source").value());
        else if (image && image.child("data"))
            return fail(image, "image layer " + Data::quoted(layer.name) +
                                   " has an embedded image, which is not supported");
        if (image && image.attribute("trans") &&
            !Data::parseColor(image.attribute("trans").value(), layer.transparent))
            return fail(image, "image layer " + Data::quoted(layer.name) +
                                   " has trans=" + Data::quoted(image.attribute("trans").value()) +
                                   ", which is not a colour");
        map.layerOrder.push_back({Map::LayerKind::Image, static_cast<int>(map.imageLayers.size())});
        map.imageLayers.push_back(std::move(layer));
        return true;
    }

    // The tile layers of the map and of its groups, in file order, refused at once when their
    // cells go beyond the memory limit (see TrelTiledCheck::cellsAhead). Groups nested deeper
    // than a map may hold are refused later, as they are read.
    bool cellsAhead(pugi::xml_node& root) {
        // pugixml walks the tree in file order without recursing.
        struct Finder : pugi::xml_tree_walker {
            std::vector<pugi::xml_node> found;
            bool for_each(pugi::xml_node& node) override {
                const std::string parent = node.parent().name();
                if (std::string(node.name()) == "layer" && (parent == "map" || parent == "group") &&
                    depth() <= Data::kMaxGroupDepth)
                    found.push_back(node);
                return true;
            }
        } finder;
        root.traverse(finder);
        std::size_t first;
        const std::string problem = Check::cellsAhead(map, finder.found.size(), first);
        return problem.empty() || fail(finder.found[first], problem);
    }

    // The layers of the map or of a group, in file order.
    bool layers(const pugi::xml_node& parent, const Data::Look& outer) {
        for (pugi::xml_node node : parent.children()) {
            std::string kind = node.name();
            bool ok = true;
            if (kind == "layer") {
                ok = tileLayer(node, outer);
            } else if (kind == "objectgroup") {
                ok = objectGroup(node, outer);
            } else if (kind == "imagelayer") {
                ok = imageLayer(node, outer);
            } else if (kind == "group") {
                Data::Look look;
                if (!check(node, Check::groupDepth(outer.depth)))
                    return false;
                ok = layerLook(node, outer, look);
                look.depth = outer.depth + 1;
                ok = ok && layers(node, look);
            }
            if (!ok)
                return false;
        }
        return true;
    }

    bool tileset(const pugi::xml_node& node, Map::Tileset& set) {
        set.name = node.attribute("name").value();
        if (!intAttribute(node, "tilewidth", set.tileWidth, 0) ||
            !intAttribute(node, "tileheight", set.tileHeight, 0) ||
            !intAttribute(node, "spacing", set.spacing, 0) ||
            !intAttribute(node, "margin", set.margin, 0) ||
            !intAttribute(node, "tilecount", set.tileCount, 0) ||
            !intAttribute(node, "columns", set.columns, 0))
            return false;
        if (pugi::xml_node offset = node.child("tileoffset")) {
            if (!intAttribute(offset, "x", set.offsetX, 0) ||
                !intAttribute(offset, "y", set.offsetY, 0))
                return false;
        }
        if (pugi::xml_node image = node.child("image")) {
            if (!image.attribute("source"))
                return fail(image, "tileset " + Data::quoted(set.name) +
                                       " has an embedded image, which is not supported");
            set.image = map.resolve_(folder, image.attribute("source").value());
            if (!intAttribute(image, "width", set.imageWidth, 0) ||
                !intAttribute(image, "height", set.imageHeight, 0))
                return false;
            if (image.attribute("trans") &&
                !Data::parseColor(image.attribute("trans").value(), set.transparent))
                return fail(image, "tileset " + Data::quoted(set.name) + " has trans=" +
                                       Data::quoted(image.attribute("trans").value()) +
                                       ", which is not a colour");
        }
        for (pugi::xml_node t : node.children("tile")) {
            Map::Tile tile;
            if (!intAttribute(t, "id", tile.id, -1) || !check(t, Check::tileId(set, tile.id)))
                return false;
            if (pugi::xml_node image = t.child("image")) {
                tile.image = map.resolve_(folder, image.attribute("source").value());
                if (!intAttribute(image, "width", tile.imageWidth, 0) ||
                    !intAttribute(image, "height", tile.imageHeight, 0))
                    return false;
                if (tile.image == folder)
                    return fail(image, "tileset " + Data::quoted(set.name) +
                                           " has a tile image without a source");
            }
            tile.type =
                t.attribute("class") ? t.attribute("class").value() : t.attribute("type").value();
            if (!animation(t.child("animation"), set, tile))
                return false;
            Map::ObjectGroup shapes;
            for (pugi::xml_node o : t.child("objectgroup").children("object"))
                if (!object(o, shapes))
                    return false;
            tile.collision = std::move(shapes.objects);
            properties(t, tile.properties);
            set.tiles.push_back(std::move(tile));
        }
        return true;
    }

    bool animation(const pugi::xml_node& node, const Map::Tileset& set, Map::Tile& tile) {
        for (pugi::xml_node f : node.children("frame")) {
            Map::AnimationFrame frame;
            if (!intAttribute(f, "tileid", frame.tileId, -1) ||
                !intAttribute(f, "duration", frame.duration, 0) ||
                !check(f, Check::animationFrame(set, tile.id, frame.tileId, frame.duration)))
                return false;
            tile.animation.push_back(frame);
        }
        tile.animated = !tile.animation.empty();
        return true;
    }

    bool parse(pugi::xml_document& document) {
        // The parsed document's memory, counted before it is made: a copy of the text, and
        // about one node per '<' and one attribute per '='.
        const unsigned long long nodes = std::count(text.begin(), text.end(), '<');
        const unsigned long long attributes = std::count(text.begin(), text.end(), '=');
        std::string problem =
            map.charge_(text.size() + nodes * 64 + attributes * 40, "the file's XML elements");
        if (!problem.empty())
            return map.fail_(file, 0, problem);
        pugi::xml_parse_result result = document.load_buffer(
            text.data(), text.size(), pugi::parse_default, pugi::encoding_utf8);
        if (result)
            return true;
        int line = lineAt(static_cast<std::size_t>(result.offset));
        // Every cut-short file ends in the middle of some element.
        bool cutShort = static_cast<std::size_t>(result.offset) + 1 >= text.size() &&
                        result.status != pugi::status_no_document_element;
        return map.fail_(file, line,
                         cutShort
                             ? std::string("the file is cut short (") + result.description() + ")"
                             : std::string("XML error: ") + result.description());
    }
};

bool TrelTmxReader::readMap(TrelTiledMap& map, const std::string& file, const std::string& text) {
    Reader reader{map, file, text, TrelTiledData::folderOf(file)};
    pugi::xml_document document;
    if (!reader.parse(document))
        return false;
    pugi::xml_node root = document.child("map");
    if (!root)
        return map.fail_(file, 0, "this is XML but not a Tiled map (no <map> element)");
    map.orientation =
        root.attribute("orientation") ? root.attribute("orientation").value() : "orthogonal";
    map.renderOrder =
        root.attribute("renderorder") ? root.attribute("renderorder").value() : "right-down";
    if (!reader.boolAttribute(root, "infinite", map.infinite) ||
        !reader.intAttribute(root, "width", map.width, 0) ||
        !reader.intAttribute(root, "height", map.height, 0) ||
        !reader.intAttribute(root, "tilewidth", map.tileWidth, 0) ||
        !reader.intAttribute(root, "tileheight", map.tileHeight, 0))
        return false;
    if (!reader.doubleAttribute(root, "parallaxoriginx", map.parallaxOriginX, 0) ||
        !reader.doubleAttribute(root, "parallaxoriginy", map.parallaxOriginY, 0))
        return false;
    if (root.attribute("backgroundcolor") &&
        !TrelTiledData::parseColor(root.attribute("backgroundcolor").value(), map.backgroundColor))
        return reader.fail(root, "the map's backgroundcolor is not a colour");
    // The shape of the map comes first: its layers cannot be read without it.
    if (!reader.check(root, TrelTiledCheck::shape(map)))
        return false;
    reader.properties(root, map.properties);
    for (pugi::xml_node node : root.children("tileset")) {
        TrelTiledMap::Tileset set;
        int firstGid;
        if (!reader.intAttribute(node, "firstgid", firstGid, 1) ||
            !reader.check(node, TrelTiledCheck::firstGid(firstGid)))
            return false;
        set.firstGid = static_cast<std::uint32_t>(firstGid);
        if (node.attribute("source")) {
            set.source = node.attribute("source").value();
            if (!map.loadExternalTileset_(set, reader.lineOf(node)))
                return false;
        } else if (!reader.tileset(node, set)) {
            return false;
        }
        map.tilesets.push_back(std::move(set));
    }
    return reader.cellsAhead(root) && reader.layers(root, TrelTiledData::Look());
}

bool TrelTmxReader::readTileset(TrelTiledMap& map, TrelTiledMap::Tileset& set,
                                const std::string& file, const std::string& text) {
    Reader reader{map, file, text, TrelTiledData::folderOf(file)};
    pugi::xml_document document;
    if (!reader.parse(document))
        return false;
    pugi::xml_node root = document.child("tileset");
    if (!root)
        return map.fail_(file, 0, "this is XML but not a Tiled tileset (no <tileset> element)");
    return reader.tileset(root, set);
}
