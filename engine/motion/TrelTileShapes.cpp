#include "motion/TrelTileShapes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>

#include "core/TrelSystem.h"
#include "map/TrelTiledMap.h"

namespace {

using Map = TrelTiledMap;

// A cell's solid pixels, row after row.
using Mask = std::vector<char>;

// Where the shape meets the vertical line at x: from low to high; false where it does not.
bool span(const Map::Object& shape, double x, double& low, double& high) {
    if (shape.shape == Map::Shape::Rectangle) {
        low = shape.y;
        high = shape.y + shape.height;
        return x >= shape.x && x <= shape.x + shape.width;
    }
    bool met = false;
    const std::vector<Map::Point>& p = shape.points;
    for (std::size_t i = 0, j = p.size() - 1; i < p.size(); j = i++) {
        const double x1 = shape.x + p[j].x, y1 = shape.y + p[j].y;
        const double x2 = shape.x + p[i].x, y2 = shape.y + p[i].y;
        if (x < std::min(x1, x2) || x > std::max(x1, x2))
            continue;
        double ys[2] = {y1, y2};
        int count = 2;
        if (x1 != x2) { // where the edge crosses the line; a vertical edge gives both ends
            ys[0] = y1 + (y2 - y1) * (x - x1) / (x2 - x1);
            count = 1;
        }
        for (int k = 0; k < count; ++k) {
            low = met ? std::min(low, ys[k]) : ys[k];
            high = met ? std::max(high, ys[k]) : ys[k];
            met = true;
        }
    }
    return met;
}

// The whole number v within [lo, hi], lo for NaN: a point may lie anywhere a double reaches,
// and converting one beyond int is undefined.
int clamped(double v, int lo, int hi) {
    return !(v > lo) ? lo : v >= hi ? hi : static_cast<int>(v);
}

// Adds the pixels whose centres the shape covers, edges included; false for a shape that
// cannot be used.
bool cover(const Map::Object& shape, int w, int h, Mask& mask) {
    const bool rectangle = shape.shape == Map::Shape::Rectangle;
    if (shape.rotation != 0 || !(rectangle || shape.shape == Map::Shape::Polygon) ||
        (!rectangle && shape.points.size() < 3))
        return false;
    for (int x = 0; x < w; ++x) {
        double low, high;
        if (!span(shape, x + 0.5, low, high))
            continue;
        const int top = clamped(std::ceil(low - 0.5), 0, h);
        const int bottom = clamped(std::floor(high - 0.5), -1, h - 1);
        for (int y = top; y <= bottom; ++y)
            mask[static_cast<std::size_t>(y * w + x)] = 1;
    }
    return true;
}

// The mask as a cell shows it with Tiled's flip flags: the diagonal flip (x and y swapped)
// first, then the horizontal, then the vertical, as the tile's image is turned.
Mask turned(const Mask& mask, int w, int h, std::uint32_t flags) {
    Mask out(mask.size(), 0);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int sx = flags & Map::kFlipHorizontal ? w - 1 - x : x;
            int sy = flags & Map::kFlipVertical ? h - 1 - y : y;
            if (flags & Map::kFlipDiagonal)
                std::swap(sx, sy);
            if (sx < w && sy < h)
                out[static_cast<std::size_t>(y * w + x)] =
                    mask[static_cast<std::size_t>(sy * w + sx)];
        }
    }
    return out;
}

bool hasTrue(const Map::Properties& properties, const char* name) {
    const char* value = Map::findProperty(properties, name);
    return value != nullptr && std::strcmp(value, "true") == 0;
}

} // namespace

TrelTileShapes::TrelTileShapes(int tileWidth, int tileHeight)
    : tileW(std::max(1, tileWidth)), tileH(std::max(1, std::min(tileHeight, 65535))),
      fullRow(tileW >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << tileW) - 1) {
}

void TrelTileShapes::updateRowMasks(int value) {
    if (!hasRowMasks())
        return;
    std::uint64_t* masks = &rowMasks[static_cast<std::size_t>(value) * tileH];
    std::fill(masks, masks + tileH, 0);
    for (int c = 0; c < tileW; ++c) {
        const std::size_t at = (static_cast<std::size_t>(value) * tileW + c) * 2;
        for (int y = runs[at]; y < runs[at + 1]; ++y)
            masks[y] |= std::uint64_t(1) << c;
    }
}

bool TrelTileShapes::reserve(int value) {
    if (value < 1 || value > 32767)
        return false;
    if (value >= static_cast<int>(kinds.size())) {
        kinds.resize(static_cast<std::size_t>(value) + 1, kNone);
        runs.resize((static_cast<std::size_t>(value) + 1) * tileW * 2, 0);
        if (hasRowMasks())
            rowMasks.resize((static_cast<std::size_t>(value) + 1) * tileH, 0);
    }
    return true;
}

void TrelTileShapes::set(int value, Kind kind, int x, int y, int w, int h) {
    if (!reserve(value))
        return;
    kinds[static_cast<std::size_t>(value)] = kind;
    const int top = std::max(0, std::min(y, tileH - (kind == kOneWay ? 1 : 0)));
    const int bottom = kind == kOneWay ? top + 1 : std::max(top, std::min(y + h, tileH));
    for (int c = 0; c < tileW; ++c) {
        const bool in = c >= x && c < x + w;
        const std::size_t at = (static_cast<std::size_t>(value) * tileW + c) * 2;
        runs[at] = static_cast<std::uint16_t>(in ? top : 0);
        runs[at + 1] = static_cast<std::uint16_t>(in ? bottom : 0);
    }
    updateRowMasks(value);
}

void TrelTileShapes::setSlope(int value, const std::vector<int>& heights) {
    if (!reserve(value))
        return;
    kinds[static_cast<std::size_t>(value)] = kSlope;
    for (int c = 0; c < tileW; ++c) {
        const int height = c < static_cast<int>(heights.size())
                               ? std::max(0, std::min(heights[static_cast<std::size_t>(c)], tileH))
                               : 0;
        const std::size_t at = (static_cast<std::size_t>(value) * tileW + c) * 2;
        runs[at] = static_cast<std::uint16_t>(tileH - height);
        runs[at + 1] = static_cast<std::uint16_t>(tileH);
    }
    updateRowMasks(value);
}

namespace {

// The mask of a tile's collision shapes (whole tiles, solid or one-way, need none); whether
// any shape was left out.
void tileMask(const Map::Tile& tile, int w, int h, Mask& mask, bool& leftOut) {
    mask.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0);
    for (const Map::Object& shape : tile.collision)
        if (!cover(shape, w, h, mask))
            leftOut = true;
}

std::size_t pointsOf(const Map::Tile& tile) {
    std::size_t points = 0;
    for (const Map::Object& shape : tile.collision)
        points += shape.points.size();
    return points;
}

} // namespace

void TrelTileShapes::storeMask(int value, const std::vector<char>& mask, bool oneWay) {
    if (!reserve(value))
        return;
    // Each column from its highest solid pixel to its lowest.
    bool full = true, empty = true, rectangle = true;
    int firstTop = -1, firstBottom = -1;
    for (int c = 0; c < tileW; ++c) {
        int top = tileH, bottom = 0;
        for (int y = 0; y < tileH; ++y) {
            if (mask[static_cast<std::size_t>(y * tileW + c)]) {
                top = std::min(top, y);
                bottom = y + 1;
            }
        }
        if (top >= bottom)
            top = bottom = 0;
        else if (oneWay)
            bottom = top + 1;
        full = full && top == 0 && bottom == tileH;
        empty = empty && top == bottom;
        if (top != bottom) {
            rectangle = rectangle && (firstTop < 0 || (top == firstTop && bottom == firstBottom));
            firstTop = top;
            firstBottom = bottom;
        }
        const std::size_t at = (static_cast<std::size_t>(value) * tileW + c) * 2;
        runs[at] = static_cast<std::uint16_t>(top);
        runs[at + 1] = static_cast<std::uint16_t>(bottom);
    }
    kinds[static_cast<std::size_t>(value)] = oneWay      ? kOneWay
                                             : full      ? kSolid
                                             : empty     ? kNone
                                             : rectangle ? kRect
                                                         : kSlope;
    updateRowMasks(value);
}

void TrelTileShapes::readMap(TrelTiledMap& map, TrelSystem* system) {
    // The flipped GIDs in use, by tile: each gets the tile's shape turned alike.
    std::unordered_map<std::uint32_t, std::vector<std::uint32_t>> flipsOf;
    for (std::uint32_t flipped : map.getFlippedGids())
        flipsOf[flipped & ~Map::kFlagBits].push_back(flipped);
    bool leftOut = false, tooLarge = false;
    const unsigned long long tilePixels = static_cast<unsigned long long>(tileW) * tileH;
    unsigned long long pixelsLeft = kMaxShapePixels;
    for (const Map::Tileset& tileset : map.getTilesets()) {
        for (const Map::Tile& tile : tileset.tiles) {
            const bool solid = tile.type == "solid" || hasTrue(tile.properties, "solid");
            const bool oneWay = tile.type == "oneway" || hasTrue(tile.properties, "oneway");
            if (!solid && !oneWay && tile.collision.empty())
                continue;
            const std::uint32_t gid = tileset.firstGid + static_cast<std::uint32_t>(tile.id);
            const auto flips = flipsOf.find(gid);
            const std::vector<std::uint32_t> none;
            const std::vector<std::uint32_t>& turns = flips != flipsOf.end() ? flips->second : none;
            if (solid || tile.collision.empty()) {
                // The whole cell, however it is turned; a one-way tile keeps its top.
                const Kind kind = oneWay ? kOneWay : kSolid;
                set(map.getCellValue(gid), kind, 0, 0, tileW, tileH);
                for (std::uint32_t flipped : turns)
                    set(map.getCellValue(flipped), kind, 0, 0, tileW, tileH);
                continue;
            }
            const unsigned long long pixels = tilePixels * (1 + (oneWay ? 0 : turns.size()));
            if (pointsOf(tile) > kMaxShapePoints || pixels > pixelsLeft) {
                tooLarge = true;
                continue;
            }
            pixelsLeft -= pixels;
            Mask mask;
            tileMask(tile, tileW, tileH, mask, leftOut);
            storeMask(map.getCellValue(gid), mask, oneWay);
            // A one-way tile keeps its surface on top, however it is turned.
            for (std::uint32_t flipped : turns)
                storeMask(map.getCellValue(flipped),
                          oneWay ? mask : turned(mask, tileW, tileH, flipped), oneWay);
        }
    }
    if (leftOut && system != nullptr)
        system->giveError(
            2,
            "The map \"%s\" has tile collision shapes the engine cannot use "
            "(ellipses, points, polylines, text or rotated shapes); they are left out.",
            map.getFileName());
    if (tooLarge && system != nullptr)
        system->giveError(2,
                          "The map \"%s\" has tile collision shapes too large to build (more "
                          "than %i points in a tile, or shaped tiles of more than %lli pixels in "
                          "all); they are left out.",
                          map.getFileName(), static_cast<int>(kMaxShapePoints),
                          static_cast<long long>(kMaxShapePixels));
}
