#include "map/TrelTiledMap.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "asset/TrelResource.h"
#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"
#include "core/TrelSystem.h"
#include "image/TrelImageFormats.h"
#include "map/internal/TrelTiledCheck.h"
#include "map/internal/TrelTiledData.h"
#include "map/internal/TrelTiledFrames.h"
#include "map/internal/TrelTiledZone.h"
#include "map/internal/TrelTmjReader.h"
#include "map/internal/TrelTmxReader.h"

namespace {

using Data = TrelTiledData;
using Check = TrelTiledCheck;

// The first character that is not white space (after a UTF-8 byte-order mark).
char firstSignificant(const std::string& text) {
    std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < text.size() && std::strchr(" \t\r\n", text[i]) != nullptr)
        ++i;
    return i < text.size() ? text[i] : '\0';
}

// The file's name after its last '/', without ".gz" and then without its extension.
std::string stemOf(const char* file) {
    std::string name = file;
    std::size_t slash = name.find_last_of('/');
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".gz") == 0)
        name.erase(name.size() - 3);
    std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos && dot > 0)
        name.erase(dot);
    return name;
}

// What a tileset takes in memory, its tiles' names, images and properties included.
unsigned long long modelBytes(const TrelTiledMap::Tileset& set) {
    unsigned long long bytes = sizeof set + set.name.size() + set.image.size();
    for (const TrelTiledMap::Tile& tile : set.tiles) {
        bytes += sizeof tile + tile.image.size();
        for (const TrelTiledMap::Property& p : tile.properties)
            bytes += sizeof p + p.name.size() + p.type.size() + p.value.size();
    }
    return bytes;
}

// Whether the path, which starts with folder, stays inside it however its ".." fall.
bool staysInside(const std::string& path, const std::string& folder) {
    if (path.compare(0, folder.size(), folder) != 0)
        return false;
    int depth = 0;
    for (std::size_t at = folder.size(); at <= path.size();) {
        std::size_t slash = std::min(path.find('/', at), path.size());
        std::string part = path.substr(at, slash - at);
        if (part == ".." && --depth < 0)
            return false;
        if (!part.empty() && part != "." && part != "..")
            ++depth;
        at = slash + 1;
    }
    return true;
}

} // namespace

int TrelTiledMap::Tileset::getGidCount() const {
    if (!image.empty()) {
        if (tileCount > 0)
            return tileCount;
        // More than a cell can name is as good as any larger count: the checks refuse it.
        long long count =
            columns * TrelResource::tilesAlong(imageHeight, tileHeight, margin, spacing);
        return static_cast<int>(std::min(count, static_cast<long long>(kMaxFrames) + 1));
    }
    int highest = -1;
    for (const Tile& tile : tiles)
        highest = std::max(highest, tile.id);
    return std::max(tileCount, highest + 1);
}

bool TrelTiledMap::fail_(const std::string& file, int line, const std::string& what) {
    // The name escaped as names are, so the error stays one line.
    error =
        TrelFileBytes::escaped(file) + (line > 0 ? ":" + std::to_string(line) : "") + ": " + what;
    return false;
}

void TrelTiledMap::warn_(const std::string& feature) {
    if (std::find(warnings.begin(), warnings.end(), feature) == warnings.end())
        warnings.push_back(feature);
}

bool TrelTiledMap::load(const char* file) {
    const bool player = fromPlayer, madeObjects = tileObjects;
    *this = TrelTiledMap();
    fromPlayer = player;
    tileObjects = madeObjects;
    fileName = file != nullptr ? file : "";
    bool loaded = false;
    try {
        loaded = loadFile(file);
    } catch (const std::bad_alloc&) {
        fail_(fileName, 0, "out of memory while reading the map");
    }
    tilesetFiles.clear();
    if (!loaded) {
        // Nothing of a map that failed stays: only its name and the reason.
        std::string why = error;
        *this = TrelTiledMap();
        fromPlayer = player;
        tileObjects = madeObjects;
        fileName = file != nullptr ? file : "";
        error = why;
    }
    return loaded;
}

bool TrelTiledMap::loadFile(const char* file) {
    if (file == nullptr || *file == '\0')
        return fail_("(no name)", 0, "no map file was given");
    inputLeft = TrelLoadLimits::get().mapInput;
    memoryLeft = TrelLoadLimits::get().mapMemory;
    std::string text, reason;
    if (!readInput(fileName, text, reason))
        return fail_(fileName, 0, "the file " + reason);
    return read(text);
}

bool TrelTiledMap::readInput(const std::string& path, std::string& text, std::string& reason) {
    const TrelFileBytes::Limit limit{inputLeft, "mapInput", TrelLoadLimits::get().mapInput};
    if (!Data::readFile(path, limit, text, reason))
        return false;
    inputLeft -= text.size();
    return true;
}

std::string TrelTiledMap::charge_(unsigned long long bytes, const std::string& what) {
    if (bytes <= memoryLeft) {
        memoryLeft -= static_cast<std::size_t>(bytes);
        return "";
    }
    const TrelFileBytes::Limit limit{TrelLoadLimits::get().mapMemory, "mapMemory"};
    return what + " need " + std::to_string(bytes) + " bytes more, " + TrelFileBytes::beyond(limit);
}

std::string TrelTiledMap::resolve_(const std::string& folder, const std::string& path) {
    std::string resolved = Data::resolve(folder, path);
    if (resolved == path && !path.empty() && path[0] == '/')
        absolutePaths.insert(path);
    return resolved;
}

bool TrelTiledMap::reachable_(const std::string& path) const {
    if (!fromPlayer || !TrelLoadLimits::get().confinePlayerPaths)
        return true;
    const std::string folder = Data::folderOf(fileName);
    return absolutePaths.count(path) == 0 && staysInside(path, folder) &&
           TrelFileBytes::reallyInside(path, folder);
}

bool TrelTiledMap::read(const std::string& text) {
    bool readable;
    switch (firstSignificant(text)) {
    case '<':
        readable = TrelTmxReader::readMap(*this, fileName, text);
        break;
    case '{':
        readable = TrelTmjReader::readMap(*this, fileName, text);
        break;
    case '\0':
        return fail_(fileName, 0, "the file is empty");
    default:
        return fail_(fileName, 0, "this is not a Tiled map (neither XML nor JSON)");
    }
    if (!readable)
        return false;
    if (renderOrder != "right-down")
        warn_("the render order " + Data::quoted(renderOrder));
    return Check::chunks(*this) && Check::layerCells(*this) && Check::tilesetFields(*this) &&
           readImageSizes() && Check::tilesetRanges(*this) && Check::gidsAndFrames(*this);
}

bool TrelTiledMap::readImageSizes() {
    // An image that several tilesets name is read once.
    std::unordered_map<std::string, std::pair<int, int>> sizes;
    for (Tileset& set : tilesets) {
        if (set.image.empty() || (set.imageWidth > 0 && set.imageHeight > 0))
            continue;
        auto known = sizes.find(set.image);
        if (known != sizes.end()) {
            set.imageWidth = known->second.first;
            set.imageHeight = known->second.second;
        } else if (!reachable_(set.image) ||
                   !TrelImageFormats::readSize(set.image, set.imageWidth, set.imageHeight)) {
            return fail_(fileName, 0,
                         "tileset " + Data::quoted(set.name.empty() ? set.source : set.name) +
                             ": the size of the image " + Data::quoted(set.image) +
                             " cannot be read");
        }
        sizes[set.image] = {set.imageWidth, set.imageHeight};
    }
    for (Tileset& set : tilesets) {
        if (set.image.empty())
            continue;
        if (set.columns == 0)
            set.columns = static_cast<int>(std::min(
                TrelResource::tilesAlong(set.imageWidth, set.tileWidth, set.margin, set.spacing),
                static_cast<long long>(kMaxFrames) + 1));
        if (set.tileCount == 0)
            set.tileCount = set.getGidCount();
    }
    return true;
}

bool TrelTiledMap::loadExternalTileset_(Tileset& set, int line) {
    std::string path = resolve_(Data::folderOf(fileName), set.source);
    auto known = tilesetFiles.find(path);
    if (known == tilesetFiles.end()) {
        Tileset read;
        if (!readTilesetFile(path, set.source, line, read))
            return false;
        known = tilesetFiles.emplace(path, std::move(read)).first;
    }
    const std::string cost = charge_(modelBytes(known->second), "the tilesets");
    if (!cost.empty())
        return fail_(fileName, line, cost);
    Tileset copy = known->second;
    copy.firstGid = set.firstGid;
    copy.source = set.source;
    set = std::move(copy);
    return true;
}

bool TrelTiledMap::readTilesetFile(const std::string& path, const std::string& source, int line,
                                   Tileset& set) {
    // A path a player's map may not reach reads as a missing file.
    std::string text, reason = "was not found";
    std::string read = path;
    if (!reachable_(path) || !readInput(path, text, reason)) {
        // Debian ships some tilesets gzip-compressed beside the maps that name them.
        read = path + ".gz";
        std::string ignored;
        if (reason != "was not found" || !reachable_(read) || !readInput(read, text, ignored))
            return fail_(
                fileName, line,
                "tileset " + Data::quoted(source) +
                    (reason == "was not found" ? std::string(" not found") : " " + reason));
    }
    switch (firstSignificant(text)) {
    case '<':
        return TrelTmxReader::readTileset(*this, set, read, text);
    case '{':
        return TrelTmjReader::readTileset(*this, set, read, text);
    default:
        return fail_(read, 0, "this is not a Tiled tileset (neither XML nor JSON)");
    }
}

const TrelTiledMap::Tileset* TrelTiledMap::findTileset(std::uint32_t tile) const {
    // The checks build the table once the tilesets are known; until then, a search.
    if (!tilesetOfGid.empty())
        return tile < tilesetOfGid.size() && tilesetOfGid[tile] != 0
                   ? &tilesets[tilesetOfGid[tile] - 1u]
                   : nullptr;
    for (const Tileset& set : tilesets)
        if (set.hasGid(tile))
            return &set;
    return nullptr;
}

const TrelTiledMap::ObjectGroup* TrelTiledMap::findObjectGroup(const char* name) {
    for (const ObjectGroup& group : objectGroups)
        if (name != nullptr && group.name == name)
            return &group;
    return nullptr;
}

const TrelTiledMap::Tile* TrelTiledMap::findTile(std::uint32_t gid) const {
    std::uint32_t tile = gid & ~kFlagBits;
    const Tileset* set = findTileset(tile);
    if (set == nullptr)
        return nullptr;
    for (const Tile& t : set->tiles)
        if (static_cast<std::uint32_t>(t.id) == tile - set->firstGid)
            return &t;
    return nullptr;
}

const TrelTiledMap::Properties* TrelTiledMap::getTileProperties(std::uint32_t gid) {
    const Tile* tile = findTile(gid);
    return tile != nullptr ? &tile->properties : nullptr;
}

const char* TrelTiledMap::findProperty(const Properties& list, const char* name,
                                       const char* fallback) {
    for (const Property& p : list)
        if (name != nullptr && p.name == name)
            return p.value.c_str();
    return fallback;
}

short TrelTiledMap::getCellValue(std::uint32_t gid) {
    gid &= ~kRotateHex120;
    std::uint32_t tile = gid & ~kFlagBits;
    if (tile == 0 || tile > baseFrames)
        return 0;
    if (gid == tile)
        return static_cast<short>(tile);
    auto found = flippedValues.find(gid);
    return found != flippedValues.end() ? found->second : 0;
}

bool TrelTiledMap::addToZone(TrelSystem* system, TrelZone* zone) {
    if (system == nullptr || zone == nullptr)
        return fail_(fileName.empty() ? "(no map)" : fileName, 0, "no system or zone was given");
    if (width == 0)
        return fail_(fileName.empty() ? "(no map)" : fileName, 0, "no map is loaded");
    TrelTiledFrames::Made made;
    if (!TrelTiledFrames::make(*this, made) ||
        !TrelTiledZone::animate(*this, made, system->framerate)) {
        made.release();
        return false;
    }
    TrelTiledZone::fill(*this, system, zone, made);
    error.clear();
    return true;
}

// A member of the core's TrelSystem, defined here, so that the core needs no part of the
// map module while a game that calls it links the module.
bool TrelSystem::newZoneFromMap(const char* file) {
    consprintf("\n\n----------------\n\nRequested new zone from the map:\n%s",
               TrelFileBytes::escaped(file ? file : "").c_str());
    if (!iface.loaded) {
        giveError(1, "You must load the interface before loading any zone.");
        return false;
    }
    TrelTiledMap map;
    if (!map.load(file)) {
        giveError(1, "%s", map.getError());
        return false;
    }
    // The images load before the old zone goes, so a failure leaves the game as it was.
    TrelTiledFrames::Made made;
    if (!TrelTiledFrames::make(map, made) || !TrelTiledZone::animate(map, made, framerate)) {
        made.release();
        giveError(1, "%s", map.getError());
        return false;
    }
    // Named after the file, escaped as names in the log are.
    if (!newZone(TrelFileBytes::escaped(stemOf(file)).c_str())) {
        made.release(); // newZone has said why
        return false;
    }
    TrelTiledZone::fill(map, this, zone, made);
    return true;
}
