#include "map/TrelTiledMap.h"

#include <allegro.h>

#include <algorithm>
#include <cstring>

#include "core/TrelSystem.h"
#include "gfx/TrelISprite.h"
#include "gfx/TrelResource.h"
#include "map/TrelTiledData.h"
#include "map/TrelTmjReader.h"
#include "map/TrelTmxReader.h"
#include "world/TrelLayer.h"
#include "world/TrelZone.h"

namespace {

using Data = TrelTiledData;

// newZoneFromMap is a core operation, but the core does not know this module: the module
// hands the system its maker when the library loads.
struct RegisterMapMaker {
    RegisterMapMaker() { TrelSystem::setMapZoneMaker_(&TrelTiledMap::newZoneFromMap_); }
} registerMapMaker;

// The first character that is not white space (after a UTF-8 byte-order mark).
char firstSignificant(const std::string& text) {
    std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < text.size() && std::strchr(" \t\r\n", text[i]) != nullptr)
        ++i;
    return i < text.size() ? text[i] : '\0';
}

std::uint32_t be32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | p[3];
}

std::int32_t le32(const unsigned char* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[3]) << 24 |
                                     static_cast<std::uint32_t>(p[2]) << 16 |
                                     static_cast<std::uint32_t>(p[1]) << 8 | p[0]);
}

// The pixel size of a PNG, BMP or JPEG from its header, for tilesets that do not give it.
bool imageSize(const std::string& path, int& w, int& h) {
    FILE* in = std::fopen(path.c_str(), "rb");
    if (in == nullptr)
        return false;
    unsigned char head[64 * 1024];
    std::size_t n = std::fread(head, 1, sizeof head, in);
    std::fclose(in);
    if (n >= 24 && std::memcmp(head, "\x89PNG\r\n\x1a\n", 8) == 0) {
        w = static_cast<int>(be32(head + 16));
        h = static_cast<int>(be32(head + 20));
        return w > 0 && h > 0;
    }
    if (n >= 26 && head[0] == 'B' && head[1] == 'M') {
        w = le32(head + 18);
        h = le32(head + 22); // negative for a top-down BMP
        h = h < 0 && h != INT32_MIN ? -h : h;
        return w > 0 && h > 0;
    }
    // JPEG: the frame header (SOF0..SOF15 but DHT, JPG and DAC) holds height, then width.
    for (std::size_t i = 2; n >= 4 && head[0] == 0xFF && head[1] == 0xD8 && i + 9 < n;) {
        if (head[i] != 0xFF)
            return false;
        unsigned marker = head[i + 1];
        std::size_t length = static_cast<std::size_t>(head[i + 2] << 8 | head[i + 3]);
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            h = head[i + 5] << 8 | head[i + 6];
            w = head[i + 7] << 8 | head[i + 8];
            return w > 0 && h > 0;
        }
        if (length < 2)
            return false;
        i += 2 + length;
    }
    return false;
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

// A copy of image turned as a cell with these flags shows it: the diagonal flip (a swap of
// x and y) first, then the horizontal, then the vertical.
BITMAP* flippedCopy(BITMAP* image, std::uint32_t flags) {
    const bool d = (flags & TrelTiledMap::kFlipDiagonal) != 0;
    const bool fh = (flags & TrelTiledMap::kFlipHorizontal) != 0;
    const bool fv = (flags & TrelTiledMap::kFlipVertical) != 0;
    const int w = d ? image->h : image->w;
    const int h = d ? image->w : image->h;
    BITMAP* out = create_bitmap_ex(bitmap_color_depth(image), w, h);
    if (out == nullptr)
        return nullptr;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            // Undo the flips in reverse order to find the source pixel.
            int sx = fh ? w - 1 - x : x;
            int sy = fv ? h - 1 - y : y;
            if (d)
                std::swap(sx, sy);
            putpixel(out, x, y, getpixel(image, sx, sy));
        }
    }
    return out;
}

} // namespace

// How many tiles of size (with spacing) fit along a sheet's side, in 64 bits: the sizes come
// from the file.
static long long tilesAlong(int side, int tile, int margin, int spacing) {
    long long room = static_cast<long long>(side) - 2LL * margin + spacing;
    return std::max(0LL, room / std::max(1LL, static_cast<long long>(tile) + spacing));
}

int TrelTiledMap::Tileset::getGidCount() const {
    if (!image.empty()) {
        if (tileCount > 0)
            return tileCount;
        // More than a cell can name is as good as any larger count: validate refuses it.
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
    bool read;
    switch (firstSignificant(text)) {
    case '<':
        read = TrelTmxReader::readMap(*this, fileName, text);
        break;
    case '{':
        read = TrelTmjReader::readMap(*this, fileName, text);
        break;
    case '\0':
        return fail_(fileName, 0, "the file is empty");
    default:
        return fail_(fileName, 0, "this is not a Tiled map (neither XML nor JSON)");
    }
    if (!read || !validate()) {
        std::string why = error;
        *this = TrelTiledMap();
        fileName = file;
        error = why;
        return false;
    }
    return true;
}

bool TrelTiledMap::checkShape_(int line) {
    if (orientation != "orthogonal")
        return fail_(fileName, line, Data::quoted(orientation) +
                                         " maps are not supported, only orthogonal ones");
    if (infinite)
        return fail_(fileName, line, "infinite maps are not supported");
    if (width < 1 || height < 1 || tileWidth < 1 || tileHeight < 1)
        return fail_(fileName, line, "the map's width, height, tilewidth and tileheight must "
                                     "each be at least 1");
    // 2^24 cells of 2 bytes a layer; the camera works in 16.16 fixed point.
    if (static_cast<long long>(width) * height > (1 << 24))
        return fail_(fileName, line, "the map has more than 16777216 cells");
    if (static_cast<long long>(width) * tileWidth > 32767 ||
        static_cast<long long>(height) * tileHeight > 32767)
        return fail_(fileName, line, "the map is larger than 32767 pixels on a side, the "
                                     "camera's reach");
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
            return fail_(fileName, line,
                         "tileset " + Data::quoted(set.source) +
                             (reason == "was not found" ? std::string(" not found")
                                                    : " " + reason));
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

bool TrelTiledMap::validate() {
    if (renderOrder != "right-down")
        warn_("the render order " + Data::quoted(renderOrder));
    std::stable_sort(tilesets.begin(), tilesets.end(),
                     [](const Tileset& a, const Tileset& b) { return a.firstGid < b.firstGid; });
    baseFrames = 0;
    long long sheetPixels = 0;
    for (std::size_t i = 0; i < tilesets.size(); ++i) {
        Tileset& set = tilesets[i];
        std::string named = "tileset " + Data::quoted(set.name.empty() ? set.source : set.name);
        if (set.tileWidth < 1 || set.tileHeight < 1 || set.tileWidth > 4096 || set.tileHeight > 4096)
            return fail_(fileName, 0, named + " has a tile size outside 1 to 4096 pixels");
        if (set.spacing < 0 || set.margin < 0)
            return fail_(fileName, 0, named + " has a negative spacing or margin");
        if (set.tileCount < 0 || set.columns < 0)
            return fail_(fileName, 0, named + " has a negative tilecount or columns");
        if (!set.image.empty()) {
            if ((set.imageWidth <= 0 || set.imageHeight <= 0) &&
                !imageSize(set.image, set.imageWidth, set.imageHeight))
                return fail_(fileName, 0, named + ": the size of the image " +
                                              Data::quoted(set.image) + " cannot be read");
            if (set.columns == 0)
                set.columns = static_cast<int>(
                    std::min(tilesAlong(set.imageWidth, set.tileWidth, set.margin, set.spacing),
                             static_cast<long long>(kMaxFrames) + 1));
            if (set.tileCount == 0)
                set.tileCount = set.getGidCount();
        }
        long long count = set.getGidCount();
        if (count > kMaxFrames || set.firstGid > static_cast<std::uint32_t>(kMaxFrames))
            return fail_(fileName, 0, named + " reaches beyond GID " + std::to_string(kMaxFrames) +
                                          ", the most a 16-bit cell can show");
        if (i > 0 && set.firstGid < tilesets[i - 1].firstGid +
                                        static_cast<std::uint32_t>(tilesets[i - 1].getGidCount()))
            return fail_(fileName, 0, named + " begins at GID " + std::to_string(set.firstGid) +
                                          ", inside the tileset before it");
        baseFrames = std::max(baseFrames, set.firstGid + static_cast<std::uint32_t>(count) - 1);
        // Each tile becomes a bitmap of its own: a sheet that claims more tiles than memory
        // could hold is refused here rather than by the allocator halfway through.
        if (!set.image.empty())
            sheetPixels += count * set.tileWidth * set.tileHeight;
    }
    if (sheetPixels > kMaxTilePixels)
        return fail_(fileName, 0, "the tiles of the tilesets hold more than " +
                                      std::to_string(kMaxTilePixels) +
                                      " pixels, the most a map may load");
    if (baseFrames > static_cast<std::uint32_t>(kMaxFrames))
        return fail_(fileName, 0, "the tilesets hold more than " + std::to_string(kMaxFrames) +
                                      " tiles, the most a 16-bit cell can show");

    // Every GID must name a tile; each flipped one used gets a frame of its own.
    flipped.clear();
    flippedValues.clear();
    for (std::size_t l = 0; l < tileLayers.size(); ++l) {
        const TileLayer& layer = tileLayers[l];
        std::uint32_t lastChecked = 0;
        for (std::size_t i = 0; i < layer.gids.size(); ++i) {
            std::uint32_t gid = layer.gids[i] & ~kRotateHex120;
            std::uint32_t tile = gid & ~kFlagBits;
            if (tile == 0 || gid == lastChecked)
                continue;
            const Tileset* owner = nullptr;
            for (const Tileset& set : tilesets)
                if (tile >= set.firstGid && tile < set.firstGid + static_cast<std::uint32_t>(set.getGidCount()))
                    owner = &set;
            if (owner == nullptr) {
                int x = static_cast<int>(i % static_cast<std::size_t>(width));
                int y = static_cast<int>(i / static_cast<std::size_t>(width));
                return fail_(fileName, layerLines[l],
                             "layer " + Data::quoted(layer.name) + ", cell (" + std::to_string(x) +
                                 ", " + std::to_string(y) + "): GID " + std::to_string(tile) +
                                 (tile > baseFrames ? " is beyond the tilesets, which end at " +
                                                          std::to_string(baseFrames)
                                                    : " belongs to no tileset"));
            }
            lastChecked = gid;
            if (gid != tile && flippedValues.find(gid) == flippedValues.end()) {
                flippedValues.emplace(gid, 0);
                flipped.push_back(gid);
            }
        }
    }
    if (baseFrames + flipped.size() > static_cast<std::size_t>(kMaxFrames))
        return fail_(fileName, 0, "the map needs " + std::to_string(baseFrames + flipped.size()) +
                                      " frames (" + std::to_string(baseFrames) + " tiles and " +
                                      std::to_string(flipped.size()) +
                                      " flipped ones); a 16-bit cell can show at most " +
                                      std::to_string(kMaxFrames));
    for (std::size_t i = 0; i < flipped.size(); ++i)
        flippedValues[flipped[i]] = static_cast<short>(baseFrames + i + 1);
    return true;
}

const TrelTiledMap::ObjectGroup* TrelTiledMap::findObjectGroup(const char* name) {
    for (const ObjectGroup& group : objectGroups)
        if (name != nullptr && group.name == name)
            return &group;
    return nullptr;
}

const TrelTiledMap::Properties* TrelTiledMap::getTileProperties(std::uint32_t gid) {
    std::uint32_t tile = gid & ~kFlagBits;
    for (const Tileset& set : tilesets) {
        if (tile < set.firstGid || tile >= set.firstGid + static_cast<std::uint32_t>(set.getGidCount()))
            continue;
        for (const Tile& t : set.tiles)
            if (static_cast<std::uint32_t>(t.id) == tile - set.firstGid)
                return &t.properties;
    }
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

bool TrelTiledMap::makeFrames(TrelResource* frames) {
    const int depth = get_color_depth();
    frames->frames.reserve(baseFrames + flipped.size());
    // A frame that no cell can show: one masked pixel.
    auto blank = [&]() {
        BITMAP* b = create_bitmap_ex(depth, 1, 1);
        if (b != nullptr)
            clear_to_color(b, bitmap_mask_color(b));
        return b;
    };
    // Loads an image through the engine's checks; the copy made has the tileset's colour
    // key made transparent.
    auto loadImage = [&](const std::string& path, int transparent, BITMAP*& out) {
        TrelResource loader;
        TrelISprite* sprite = loader.loadData(path.c_str());
        if (sprite == nullptr)
            return fail_(fileName, 0, loader.getLoadError());
        out = create_bitmap_ex(depth, sprite->bitmap->w, sprite->bitmap->h);
        if (out == nullptr)
            return fail_(fileName, 0, "no memory for the image " + Data::quoted(path));
        blit(sprite->bitmap, out, 0, 0, 0, 0, out->w, out->h);
        if (transparent >= 0) {
            int key = makecol_depth(depth, transparent >> 16 & 0xFF, transparent >> 8 & 0xFF,
                                    transparent & 0xFF);
            int mask = bitmap_mask_color(out);
            for (int y = 0; y < out->h; ++y)
                for (int x = 0; x < out->w; ++x)
                    if (getpixel(out, x, y) == key)
                        putpixel(out, x, y, mask);
        }
        return true;
    };
    auto add = [&](BITMAP* bitmap, const Tileset& set) {
        auto* sprite = new TrelISprite(bitmap);
        // Tiled anchors a tile's image at its cell's bottom-left corner.
        sprite->offsetX = set.offsetX;
        sprite->offsetY = tileHeight - sprite->height + set.offsetY;
        frames->frames.push_back(sprite);
    };

    const Tileset none;
    for (const Tileset& set : tilesets) {
        // GIDs between tilesets are never shown.
        while (frames->frames.size() + 1 < set.firstGid)
            add(blank(), none);
        const int count = set.getGidCount();
        if (!set.image.empty()) {
            BITMAP* sheet = nullptr;
            if (!loadImage(set.image, set.transparent, sheet))
                return false;
            for (int id = 0; id < count; ++id) {
                BITMAP* tile = create_bitmap_ex(depth, set.tileWidth, set.tileHeight);
                if (tile == nullptr) {
                    destroy_bitmap(sheet);
                    return fail_(fileName, 0, "no memory for the tiles");
                }
                clear_to_color(tile, bitmap_mask_color(tile));
                long long column = set.columns > 0 ? id % set.columns : 0;
                long long row = set.columns > 0 ? id / set.columns : id;
                // A tile the sheet does not reach stays blank.
                long long x = set.margin + column * (set.tileWidth + set.spacing);
                long long y = set.margin + row * (set.tileHeight + set.spacing);
                if (x < sheet->w && y < sheet->h)
                    blit(sheet, tile, static_cast<int>(x), static_cast<int>(y), 0, 0,
                         set.tileWidth, set.tileHeight);
                add(tile, set);
            }
            destroy_bitmap(sheet);
        } else {
            std::vector<BITMAP*> images(static_cast<std::size_t>(count), nullptr);
            for (const Tile& tile : set.tiles) {
                if (tile.image.empty() || images[static_cast<std::size_t>(tile.id)] != nullptr)
                    continue;
                if (!loadImage(tile.image, set.transparent, images[static_cast<std::size_t>(tile.id)])) {
                    for (BITMAP* b : images)
                        if (b != nullptr)
                            destroy_bitmap(b);
                    return false;
                }
            }
            for (BITMAP* image : images)
                add(image != nullptr ? image : blank(), set);
        }
    }

    for (std::uint32_t gid : flipped) {
        std::uint32_t tile = gid & ~kFlagBits;
        const TrelISprite* base = frames->frames[tile - 1];
        const Tileset* owner = nullptr;
        for (const Tileset& set : tilesets)
            if (tile >= set.firstGid)
                owner = &set;
        BITMAP* turned = flippedCopy(base->bitmap, gid);
        if (turned == nullptr)
            return fail_(fileName, 0, "no memory for the flipped tiles");
        add(turned, owner != nullptr ? *owner : none);
    }
    return true;
}

void TrelTiledMap::fillZone(TrelSystem* system, TrelZone* zone, TrelResource* frames) {
    system->spriteResources.push_back(frames);
    for (const std::string& feature : warnings)
        system->giveError(2, "The map \"%s\" uses %s, which the engine does not show.",
                          fileName.c_str(), feature.c_str());
    for (const TileLayer& source : tileLayers) {
        zone->addLayer(static_cast<unsigned>(width), static_cast<unsigned>(height),
                       static_cast<unsigned>(tileWidth), static_cast<unsigned>(tileHeight));
        // The new layer is the last of the array, destroyed ones included.
        int last = zone->getNumLayers();
        while (zone->getLayer(last) != nullptr)
            ++last;
        TrelLayer* layer = zone->getLayer(last - 1);
        layer->setTileset(frames);
        layer->setVisibility(source.visible);
        layer->setOpacity(static_cast<int>(source.opacity * 255 + 0.5));
        short** cells = layer->getMapData();
        std::uint32_t lastGid = 0;
        short lastValue = 0;
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* row = &source.gids[static_cast<std::size_t>(y) * static_cast<std::size_t>(width)];
            for (int x = 0; x < width; ++x) {
                if (row[x] != lastGid) {
                    lastGid = row[x];
                    lastValue = getCellValue(lastGid);
                }
                cells[y][x] = lastGid == 0 ? 0 : lastValue;
            }
        }
    }
}

bool TrelTiledMap::addToZone(TrelSystem* system, TrelZone* zone) {
    if (system == nullptr || zone == nullptr)
        return fail_(fileName.empty() ? "(no map)" : fileName, 0, "no system or zone was given");
    if (width == 0)
        return fail_(fileName.empty() ? "(no map)" : fileName, 0, "no map is loaded");
    auto* frames = new TrelResource();
    if (!makeFrames(frames)) {
        delete frames;
        return false;
    }
    fillZone(system, zone, frames);
    error.clear();
    return true;
}

bool TrelTiledMap::newZoneFromMap_(TrelSystem* system, const char* file, TrelCString& reason) {
    TrelTiledMap map;
    if (!map.load(file)) {
        reason.set(map.getError());
        return false;
    }
    // The images load before the old zone goes, so a failure leaves the game as it was.
    auto* frames = new TrelResource();
    if (!map.makeFrames(frames)) {
        delete frames;
        reason.set(map.getError());
        return false;
    }
    if (!system->newZone(stemOf(file).c_str())) {
        delete frames;
        reason.set("");
        return false;
    }
    map.fillZone(system, system->zone, frames);
    return true;
}
