#include "map/internal/TrelTiledFrames.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>
#include <new>
#include <unordered_map>
#include <utility>
#include <vector>

#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"
#include "image/TrelImageFile.h"
#include "map/internal/TrelTiledCheck.h"

namespace {

using Map = TrelTiledMap;

// The pixel of a row of size pixels that a scaled picture shows at coordinate at (a pixel's
// centre mapped into the row), as Qt's unsmoothed scaling picks it: a centre that falls on
// the border between two pixels shows the first.
int nearest(double at, int size) {
    return std::min(std::max(static_cast<int>(std::ceil(at - 1)), 0), size - 1);
}

} // namespace

TrelTiledFrames::TrelTiledFrames(Map& source, TrelResource* target)
    : map(source), frames(target), targetDepth(get_color_depth()),
      depth(targetDepth > 8 ? 32 : targetDepth), memoryLeft(TrelLoadLimits::get().mapMemory) {
}

TrelTiledFrames::~TrelTiledFrames() {
    for (auto& image : images)
        destroy_bitmap(image.second);
}

void TrelTiledFrames::Made::release() {
    delete tiles;
    for (auto& set : tinted)
        delete set.second;
    delete images;
    *this = Made();
}

bool TrelTiledFrames::make(Map& map, Made& made) {
    made.tiles = new TrelResource();
    made.images = new TrelResource();
    TrelTiledFrames maker(map, made.tiles);
    try {
        if (!maker.makeAll())
            return false;
        for (const Map::TileLayer& layer : map.tileLayers) {
            bool known = layer.look.tint == 0xFFFFFFFFu;
            for (const auto& set : made.tinted)
                known = known || set.first == layer.look.tint;
            if (known)
                continue;
            made.tinted.emplace_back(layer.look.tint, new TrelResource());
            if (!maker.tintAll(layer.look.tint, made.tinted.back().second))
                return false;
        }
        if (!maker.addLayerImages(made.images) ||
            (map.tileObjects && !maker.addTileObjects(made.images, made.objectCorners)))
            return false;
        bool reduced = maker.reduce(made.tiles) && maker.reduce(made.images);
        for (auto& tinted : made.tinted)
            reduced = reduced && maker.reduce(tinted.second);
        return reduced || map.fail_(map.fileName, 0, "no memory for the tiles");
    } catch (const std::bad_alloc&) {
        return map.fail_(map.fileName, 0, "no memory for the tiles");
    }
}

bool TrelTiledFrames::isTileObject(const Map& map, const Map::Object& object) {
    return object.gid != 0 && map.findTileset(object.gid & ~Map::kFlagBits) != nullptr;
}

bool TrelTiledFrames::tintAll(std::uint32_t tint, TrelResource* out) {
    for (const TrelISprite* frame : frames->frames) {
        BITMAP* base = frame->bitmap;
        if (!charge(base->w, base->h))
            return false;
        BITMAP* copy = tintedCopy(base, tint);
        if (copy == nullptr)
            return map.fail_(map.fileName, 0, "no memory for the tinted tiles");
        auto* sprite = new TrelISprite(copy);
        sprite->offsetX = frame->offsetX;
        sprite->offsetY = frame->offsetY;
        out->frames.push_back(sprite);
    }
    return true;
}

bool TrelTiledFrames::addLayerImages(TrelResource* out) {
    for (const Map::ImageLayer& layer : map.imageLayers) {
        BITMAP* image = nullptr;
        if (!layer.image.empty() && !loadImage(layer.image, layer.transparent, image))
            return false;
        BITMAP* shown = image == nullptr ? blank() : nullptr;
        if (image != nullptr && charge(image->w, image->h))
            shown = tintedCopy(image, layer.look.tint);
        else if (image != nullptr)
            return false;
        if (shown != nullptr && (layer.repeatX || layer.repeatY) && !repeated(shown, layer))
            return false;
        if (shown == nullptr)
            return map.fail_(map.fileName, 0, "no memory for the layers' images");
        out->frames.push_back(new TrelISprite(shown));
    }
    return true;
}

bool TrelTiledFrames::addTileObjects(TrelResource* out, std::vector<std::pair<int, int>>& corners) {
    const std::unordered_map<std::uint32_t, std::uint32_t> animated =
        TrelTiledCheck::firstFrames(map);
    for (const Map::ObjectGroup& group : map.objectGroups) {
        for (const Map::Object& object : group.objects) {
            if (!isTileObject(map, object))
                continue;
            // An animated tile shows its animation's first frame, as Tiled shows it at time 0.
            std::uint32_t shown = object.gid & ~Map::kFlagBits;
            auto first = animated.find(shown);
            if (first != animated.end() && first->second >= 1 &&
                first->second <= frames->frames.size())
                shown = first->second;
            BITMAP* tile = frames->frames[shown - 1]->bitmap;
            BITMAP* flipped = flippedCopy(tile, object.gid);
            BITMAP* tinted = flipped != nullptr ? tintedCopy(flipped, group.look.tint) : nullptr;
            int left = 0, top = 0;
            BITMAP* placed = nullptr;
            const bool made = tinted != nullptr && placedCopy(tinted, object, left, top, placed);
            if (flipped != nullptr)
                destroy_bitmap(flipped);
            if (tinted != nullptr)
                destroy_bitmap(tinted);
            if (!made)
                return tinted == nullptr ? map.fail_(map.fileName, 0, "no memory for the objects")
                                         : false;
            out->frames.push_back(new TrelISprite(placed));
            corners.emplace_back(left, top);
        }
    }
    return true;
}

BITMAP* TrelTiledFrames::tintedCopy(BITMAP* image, std::uint32_t tint) {
    const int depth = bitmap_color_depth(image);
    BITMAP* out = create_bitmap_ex(depth, image->w, image->h);
    if (out == nullptr)
        return nullptr;
    blit(image, out, 0, 0, 0, 0, image->w, image->h);
    if ((tint & 0xFFFFFFu) == 0xFFFFFFu)
        return out;
    const int tr = tint >> 16 & 0xFF, tg = tint >> 8 & 0xFF, tb = tint & 0xFF;
    const int mask = bitmap_mask_color(out);
    // Each channel times the tint's, rounded as a multiply of 8-bit colours is.
    for (int y = 0; y < out->h; ++y) {
        for (int x = 0; x < out->w; ++x) {
            const int c = getpixel(out, x, y);
            if (c == mask)
                continue;
            putpixel(out, x, y,
                     makecol_depth(depth, (getr_depth(depth, c) * tr + 127) / 255,
                                   (getg_depth(depth, c) * tg + 127) / 255,
                                   (getb_depth(depth, c) * tb + 127) / 255));
        }
    }
    return out;
}

bool TrelTiledFrames::repeated(BITMAP*& image, const Map::ImageLayer& layer) {
    // Whole copies side by side along each repeated axis, up to kRepeatSpan pixels: the
    // pattern, and so every pixel drawn, is the same.
    const int w = image->w, h = image->h;
    const int across = layer.repeatX && w < kRepeatSpan ? (kRepeatSpan + w - 1) / w : 1;
    const int down = layer.repeatY && h < kRepeatSpan ? (kRepeatSpan + h - 1) / h : 1;
    if (across == 1 && down == 1)
        return true;
    if (!charge(static_cast<long long>(w) * across, static_cast<long long>(h) * down))
        return false;
    BITMAP* wide = create_bitmap_ex(bitmap_color_depth(image), w * across, h * down);
    if (wide == nullptr)
        return map.fail_(map.fileName, 0, "no memory for the layers' images");
    for (int y = 0; y < down; ++y)
        for (int x = 0; x < across; ++x)
            blit(image, wide, 0, 0, x * w, y * h, w, h);
    destroy_bitmap(image);
    image = wide;
    return true;
}

bool TrelTiledFrames::placedCopy(BITMAP* image, const Map::Object& object, int& left, int& top,
                                 BITMAP*& out) {
    const double w = object.width > 0 ? object.width : image->w;
    const double h = object.height > 0 ? object.height : image->h;
    const double turn = object.rotation * M_PI / 180;
    const double c = std::cos(turn), s = std::sin(turn);
    // The corners of the picture about its bottom-left one, turned clockwise (y points down).
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    for (const auto& corner :
         {std::make_pair(w, 0.0), std::make_pair(0.0, -h), std::make_pair(w, -h)}) {
        const double x = corner.first * c - corner.second * s;
        const double y = corner.first * s + corner.second * c;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
    }
    // Whole pixels; a hair's breadth of rounding error does not add a row.
    const double hair = 1e-6, reach = 1 << 20;
    if (!(std::abs(object.x) + std::max(w, h) * 2 < reach &&
          std::abs(object.y) + std::max(w, h) * 2 < reach))
        return map.fail_(map.fileName, 0,
                         "tile object " + std::to_string(object.id) + " reaches beyond " +
                             std::to_string(static_cast<int>(reach)) + " pixels");
    left = static_cast<int>(std::floor(object.x + minX + hair));
    top = static_cast<int>(std::floor(object.y + minY + hair));
    const int right = static_cast<int>(std::ceil(object.x + maxX - hair));
    const int bottom = static_cast<int>(std::ceil(object.y + maxY - hair));
    if (!charge(right - left, bottom - top))
        return false;
    out = create_bitmap_ex(bitmap_color_depth(image), std::max(right - left, 1),
                           std::max(bottom - top, 1));
    if (out == nullptr)
        return map.fail_(map.fileName, 0, "no memory for the objects");
    clear_to_color(out, bitmap_mask_color(out));
    for (int y = 0; y < bottom - top; ++y) {
        for (int x = 0; x < right - left; ++x) {
            // The pixel's centre about the pivot, turned back, in the unturned picture.
            const double px = left + x + 0.5 - object.x, py = top + y + 0.5 - object.y;
            const double u = px * c + py * s, v = -px * s + py * c + h;
            if (u < 0 || v < 0 || u >= w || v >= h)
                continue;
            putpixel(out, x, y,
                     getpixel(image, nearest(u * image->w / w, image->w),
                              nearest(v * image->h / h, image->h)));
        }
    }
    return true;
}

bool TrelTiledFrames::makeAll() {
    frames->frames.reserve(map.baseFrames + map.flipped.size());
    const Map::Tileset none;
    for (const Map::Tileset& set : map.tilesets) {
        // GIDs between tilesets are never shown.
        while (frames->frames.size() + 1 < set.firstGid)
            add(blank(), none);
        bool made = set.image.empty() ? collectImages(set) : cutSheet(set);
        if (!made)
            return false;
    }
    return addFlipped();
}

bool TrelTiledFrames::cutSheet(const Map::Tileset& set) {
    BITMAP* image;
    if (!loadImage(set.image, set.transparent, image))
        return false;
    const int count = set.getGidCount();
    // Sizes and spacing come from the file: the arithmetic is 64-bit.
    const long long stepX = static_cast<long long>(set.tileWidth) + set.spacing;
    const long long stepY = static_cast<long long>(set.tileHeight) + set.spacing;
    for (int id = 0; id < count; ++id) {
        if (!charge(set.tileWidth, set.tileHeight))
            return false;
        BITMAP* tile = create_bitmap_ex(depth, set.tileWidth, set.tileHeight);
        if (tile == nullptr)
            return map.fail_(map.fileName, 0, "no memory for the tiles");
        clear_to_color(tile, bitmap_mask_color(tile));
        long long column = set.columns > 0 ? id % set.columns : 0;
        long long row = set.columns > 0 ? id / set.columns : id;
        // A tile the sheet does not reach stays blank.
        long long x = set.margin + column * stepX;
        long long y = set.margin + row * stepY;
        if (x < image->w && y < image->h)
            blit(image, tile, static_cast<int>(x), static_cast<int>(y), 0, 0, set.tileWidth,
                 set.tileHeight);
        add(tile, set);
    }
    return true;
}

bool TrelTiledFrames::collectImages(const Map::Tileset& set) {
    std::vector<BITMAP*> shown(static_cast<std::size_t>(set.getGidCount()), nullptr);
    for (const Map::Tile& tile : set.tiles) {
        if (!tile.image.empty() &&
            !loadImage(tile.image, set.transparent, shown[static_cast<std::size_t>(tile.id)]))
            return false;
    }
    // Each frame is a copy: several tiles may show one image.
    for (BITMAP* image : shown) {
        if (image == nullptr) {
            add(blank(), set);
            continue;
        }
        if (!charge(image->w, image->h))
            return false;
        BITMAP* copy = create_bitmap_ex(depth, image->w, image->h);
        if (copy == nullptr)
            return map.fail_(map.fileName, 0, "no memory for the tiles");
        blit(image, copy, 0, 0, 0, 0, image->w, image->h);
        add(copy, set);
    }
    return true;
}

bool TrelTiledFrames::addFlipped() {
    for (std::uint32_t gid : map.flipped) {
        std::uint32_t tile = gid & ~Map::kFlagBits;
        BITMAP* base = frames->frames[tile - 1]->bitmap;
        if (!charge(base->w, base->h))
            return false;
        BITMAP* turned = flippedCopy(base, gid);
        if (turned == nullptr)
            return map.fail_(map.fileName, 0, "no memory for the flipped tiles");
        add(turned, *map.findTileset(tile));
    }
    return true;
}

bool TrelTiledFrames::loadImage(const std::string& path, int transparent, BITMAP*& out) {
    auto known = images.find({path, transparent});
    if (known != images.end()) {
        out = known->second;
        return true;
    }
    if (!map.reachable_(path))
        return map.fail_(map.fileName, 0, TrelImageFile::notFound(path.c_str()));
    TrelResource loader;
    const int shownDepth = get_color_depth();
    set_color_depth(depth); // the file's colours, rounded only when the frames are reduced
    TrelISprite* sprite = loader.loadData(path.c_str());
    set_color_depth(shownDepth);
    if (sprite == nullptr)
        return map.fail_(map.fileName, 0, loader.getLoadError());
    if (!charge(sprite->bitmap->w, sprite->bitmap->h))
        return false;
    // The loaded image is at the working depth already: it is taken, not copied.
    out = std::exchange(sprite->bitmap, nullptr);
    images[{path, transparent}] = out;
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

bool TrelTiledFrames::charge(long long w, long long h) {
    const unsigned long long bytes = static_cast<unsigned long long>(w) * h * 4;
    if (bytes <= memoryLeft) {
        memoryLeft -= bytes;
        return true;
    }
    const TrelFileBytes::Limit limit{TrelLoadLimits::get().mapMemory, "mapMemory"};
    return map.fail_(map.fileName, 0,
                     "the tile images and frames go " + TrelFileBytes::beyond(limit));
}

bool TrelTiledFrames::reduce(TrelResource* resource) const {
    for (TrelISprite* frame : resource->frames) {
        BITMAP* full = frame->bitmap;
        if (full == nullptr || bitmap_color_depth(full) == targetDepth)
            continue;
        BITMAP* shown = create_bitmap_ex(targetDepth, full->w, full->h);
        if (shown == nullptr)
            return false;
        // Allegro's converting blit rounds as makecol does, and its mask colour becomes the
        // mask colour of every depth above 8 bits.
        blit(full, shown, 0, 0, 0, 0, full->w, full->h);
        frame->bitmap = shown;
        destroy_bitmap(full);
    }
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
