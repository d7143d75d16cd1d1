#include "map/TrelTiledMap.h"

#include <algorithm>
#include <cstring>

#include "core/TrelSystem.h"
#include "gfx/TrelResource.h"
#include "image/TrelImageFile.h"
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

// How many tiles of size (with spacing) fit along a sheet's side, in 64 bits: the sizes come
// from the file.
long long tilesAlong(int side, int tile, int margin, int spacing) {
    long long room = static_cast<long long>(side) - 2LL * margin + spacing;
    return std::max(0LL, room / std::max(1LL, static_cast<long long>(tile) + spacing));
}

} // namespace

int TrelTiledMap::Tileset::getGidCount() const {
    if (!image.empty()) {
        if (tileCount > 0)
            return tileCount;
        // More than a cell can name is as good as any larger count: the checks refuse it.
        long long count = columns * tilesAlong(imageHeight, tileHeight, margin, spacing);
        return static_cast<int>(std::min(count, static_cast<long long>(kMaxFrames) + 1));
    }
    int highest = -1;
    for (const Tile& tile : tiles)
        highest = std::max(highest, tile.id);
    return std::max(tileCount, highest + 1);
}

bool TrelTiledMap::fail_(const std::string& file, int line, const std::string& what) {
    error = file + (line > 0 ? ":" + std::to_string(line) : std::string()) + ": " + what;
    return false;
}

void TrelTiledMap::warn_(const std::string& feature) {
    if (std::find(warnings.begin(), warnings.end(), feature) == warnings.end())
        warnings.push_back(feature);
}

bool TrelTiledMap::load(const char* file) {
    *this = TrelTiledMap();
    fileName = file != nullptr ? file : "";
    if (file == nullptr || *file == '\0')
        return fail_("(no name)", 0, "no map file was given");
    std::string text, reason;
    if (!Data::readFile(fileName, text, reason))
        return fail_(fileName, 0, "the file " + reason);
    if (!read(text)) {
        std::string why = error;
        *this = TrelTiledMap();
        fileName = file;
        error = why;
        return false;
    }
    return true;
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
    return Check::tilesetFields(*this) && readImageSizes() && Check::tilesetRanges(*this) &&
           Check::gidsAndFrames(*this);
}

bool TrelTiledMap::readImageSizes() {
    for (Tileset& set : tilesets) {
        if (set.image.empty())
            continue;
        if ((set.imageWidth <= 0 || set.imageHeight <= 0) &&
            !TrelImageFile::readSize(set.image, set.imageWidth, set.imageHeight))
            return fail_(fileName, 0,
                         "tileset " + Data::quoted(set.name.empty() ? set.source : set.name) +
                             ": the size of the image " + Data::quoted(set.image) +
                             " cannot be read");
        if (set.columns == 0)
            set.columns = static_cast<int>(
                std::min(tilesAlong(set.imageWidth, set.tileWidth, set.margin, set.spacing),
                         static_cast<long long>(kMaxFrames) + 1));
        if (set.tileCount == 0)
            set.tileCount = set.getGidCount();
    }
    return true;
}

bool TrelTiledMap::loadExternalTileset_(Tileset& set, int line) {
    std::string path = Data::resolve(Data::folderOf(fileName), set.source);
    std::string text, reason;
    if (!Data::readFile(path, text, reason)) {
        // Debian ships some tilesets gzip-compressed beside the maps that name them.
        std::string gz = path + ".gz";
        std::string ignored;
        if (reason != "was not found" || !Data::readFile(gz, text, ignored)) {
            return fail_(
                fileName, line,
                "tileset " + Data::quoted(set.source) +
                    (reason == "was not found" ? std::string(" not found") : " " + reason));
        }
        path = gz;
    }
    switch (firstSignificant(text)) {
    case '<':
        return TrelTmxReader::readTileset(*this, set, path, text);
    case '{':
        return TrelTmjReader::readTileset(*this, set, path, text);
    default:
        return fail_(path, 0, "this is not a Tiled tileset (neither XML nor JSON)");
    }
}

const TrelTiledMap::Tileset* TrelTiledMap::findTileset(std::uint32_t tile) const {
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

const TrelTiledMap::Properties* TrelTiledMap::getTileProperties(std::uint32_t gid) {
    std::uint32_t tile = gid & ~kFlagBits;
    const Tileset* set = findTileset(tile);
    if (set == nullptr)
        return nullptr;
    for (const Tile& t : set->tiles)
        if (static_cast<std::uint32_t>(t.id) == tile - set->firstGid)
            return &t.properties;
    return nullptr;
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
    auto* frames = new TrelResource();
    if (!TrelTiledFrames::make(*this, frames)) {
        delete frames;
        return false;
    }
    TrelTiledZone::fill(*this, system, zone, frames);
    error.clear();
    return true;
}

// A member of the core's TrelSystem, defined here, so that the core needs no part of the
// map module while a game that calls it links the module.
bool TrelSystem::newZoneFromMap(const char* file) {
    consprintf("\n\n----------------\n\nRequested new zone from the map:\n%s", file ? file : "");
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
    auto* frames = new TrelResource();
    if (!TrelTiledFrames::make(map, frames)) {
        delete frames;
        giveError(1, "%s", map.getError());
        return false;
    }
    if (!newZone(stemOf(file).c_str())) {
        delete frames; // newZone has said why
        return false;
    }
    TrelTiledZone::fill(map, this, zone, frames);
    return true;
}
