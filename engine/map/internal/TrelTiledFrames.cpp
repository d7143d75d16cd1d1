#include "map/internal/TrelTiledFrames.h"

#include <allegro.h>

#include <utility>
#include <vector>

#include "gfx/TrelISprite.h"
#include "gfx/TrelResource.h"
#include "map/internal/TrelTiledData.h"

namespace {

using Map = TrelTiledMap;

// Bitmaps destroyed on every way out unless taken.
struct OwnedBitmaps {
    std::vector<BITMAP*> bitmaps;
    explicit OwnedBitmaps(std::size_t count) : bitmaps(count, nullptr) {}
    ~OwnedBitmaps() {
        for (BITMAP* b : bitmaps)
            if (b != nullptr)
                destroy_bitmap(b);
    }
    OwnedBitmaps(const OwnedBitmaps&) = delete;
    OwnedBitmaps& operator=(const OwnedBitmaps&) = delete;
    BITMAP* take(std::size_t i) { return std::exchange(bitmaps[i], nullptr); }
};

} // namespace

TrelTiledFrames::TrelTiledFrames(Map& source, TrelResource* target)
    : map(source), frames(target), depth(get_color_depth()) {
}

bool TrelTiledFrames::make(Map& map, TrelResource* frames) {
    TrelTiledFrames maker(map, frames);
    frames->frames.reserve(map.baseFrames + map.flipped.size());
    const Map::Tileset none;
    for (const Map::Tileset& set : map.tilesets) {
        // GIDs between tilesets are never shown.
        while (frames->frames.size() + 1 < set.firstGid)
            maker.add(maker.blank(), none);
        bool made = set.image.empty() ? maker.collectImages(set) : maker.cutSheet(set);
        if (!made)
            return false;
    }
    return maker.addFlipped();
}

bool TrelTiledFrames::cutSheet(const Map::Tileset& set) {
    OwnedBitmaps sheet(1);
    if (!loadImage(set.image, set.transparent, sheet.bitmaps[0]))
        return false;
    const BITMAP* image = sheet.bitmaps[0];
    const int count = set.getGidCount();
    for (int id = 0; id < count; ++id) {
        BITMAP* tile = create_bitmap_ex(depth, set.tileWidth, set.tileHeight);
        if (tile == nullptr)
            return map.fail_(map.fileName, 0, "no memory for the tiles");
        clear_to_color(tile, bitmap_mask_color(tile));
        long long column = set.columns > 0 ? id % set.columns : 0;
        long long row = set.columns > 0 ? id / set.columns : id;
        // A tile the sheet does not reach stays blank.
        long long x = set.margin + column * (set.tileWidth + set.spacing);
        long long y = set.margin + row * (set.tileHeight + set.spacing);
        if (x < image->w && y < image->h)
            blit(sheet.bitmaps[0], tile, static_cast<int>(x), static_cast<int>(y), 0, 0,
                 set.tileWidth, set.tileHeight);
        add(tile, set);
    }
    return true;
}

bool TrelTiledFrames::collectImages(const Map::Tileset& set) {
    OwnedBitmaps images(static_cast<std::size_t>(set.getGidCount()));
    for (const Map::Tile& tile : set.tiles) {
        std::size_t id = static_cast<std::size_t>(tile.id);
        if (tile.image.empty() || images.bitmaps[id] != nullptr)
            continue;
        if (!loadImage(tile.image, set.transparent, images.bitmaps[id]))
            return false;
    }
    for (std::size_t id = 0; id < images.bitmaps.size(); ++id) {
        BITMAP* image = images.take(id);
        add(image != nullptr ? image : blank(), set);
    }
    return true;
}

bool TrelTiledFrames::addFlipped() {
    for (std::uint32_t gid : map.flipped) {
        std::uint32_t tile = gid & ~Map::kFlagBits;
        BITMAP* turned = flippedCopy(frames->frames[tile - 1]->bitmap, gid);
        if (turned == nullptr)
            return map.fail_(map.fileName, 0, "no memory for the flipped tiles");
        add(turned, *map.findTileset(tile));
    }
    return true;
}

bool TrelTiledFrames::loadImage(const std::string& path, int transparent, BITMAP*& out) {
    TrelResource loader;
    TrelISprite* sprite = loader.loadData(path.c_str());
    if (sprite == nullptr)
        return map.fail_(map.fileName, 0, loader.getLoadError());
    out = create_bitmap_ex(depth, sprite->bitmap->w, sprite->bitmap->h);
    if (out == nullptr)
        return map.fail_(map.fileName, 0, "no memory for the image " + TrelTiledData::quoted(path));
    blit(sprite->bitmap, out, 0, 0, 0, 0, out->w, out->h);
    if (transparent < 0)
        return true;
    int colourKey =
        makecol_depth(depth, transparent >> 16 & 0xFF, transparent >> 8 & 0xFF, transparent & 0xFF);
    int mask = bitmap_mask_color(out);
    for (int y = 0; y < out->h; ++y)
        for (int x = 0; x < out->w; ++x)
            if (getpixel(out, x, y) == colourKey)
                putpixel(out, x, y, mask);
    return true;
}

BITMAP* TrelTiledFrames::blank() {
    BITMAP* b = create_bitmap_ex(depth, 1, 1);
    if (b != nullptr)
        clear_to_color(b, bitmap_mask_color(b));
    return b;
}

void TrelTiledFrames::add(BITMAP* bitmap, const Map::Tileset& set) {
    auto* sprite = new TrelISprite(bitmap);
    // Tiled anchors a tile's image at its cell's bottom-left corner.
    sprite->offsetX = set.offsetX;
    sprite->offsetY = map.tileHeight - sprite->height + set.offsetY;
    frames->frames.push_back(sprite);
}

BITMAP* TrelTiledFrames::flippedCopy(BITMAP* image, std::uint32_t flags) {
    // The diagonal flip (a swap of x and y) first, then the horizontal, then the vertical.
    const bool d = (flags & Map::kFlipDiagonal) != 0;
    const bool fh = (flags & Map::kFlipHorizontal) != 0;
    const bool fv = (flags & Map::kFlipVertical) != 0;
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
