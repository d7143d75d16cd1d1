#ifndef TREL_TILE_SHAPES_H
#define TREL_TILE_SHAPES_H

#include <cstdint>
#include <vector>

#include "base/TrelExport.h"

class TrelSystem;
class TrelTiledMap;

// What each cell value of a layer is to a moving object: nothing, solid, one-way (solid only
// to an object coming down onto it from above), a rectangle inside the cell, or a slope given
// as a height per pixel column. Every shape is held the same way: in each pixel column of the
// cell, the solid pixels run from a top row down to a bottom row (none when they are equal).
// A cell value without a shape is nothing. One set of shapes serves every layer of its tile
// size; a TrelMover reads it.
class TREL_API TrelTileShapes {
public:
    enum Kind { kNone, kSolid, kOneWay, kRect, kSlope };

    TrelTileShapes(int tileW, int tileH);

    int getTileWidth() const { return tileW; }
    int getTileHeight() const { return tileH; }

    void setNone(int value) { set(value, kNone, 0, 0, 0, 0); }
    void setSolid(int value) { set(value, kSolid, 0, 0, tileW, tileH); }
    // Solid only from above: an object lands on its top row when its bottom was at or above
    // it at the start of the tick (and it does not drop through), and passes through
    // otherwise. The whole cell, or the rectangle given (its top row is the surface).
    void setOneWay(int value) { set(value, kOneWay, 0, 0, tileW, 0); }
    void setOneWay(int value, int x, int y, int w) { set(value, kOneWay, x, y, w, 0); }
    // The pixels [x, x + w) x [y, y + h) of the cell, clipped to it.
    void setRect(int value, int x, int y, int w, int h) { set(value, kRect, x, y, w, h); }
    // heights[i] pixels of column i are solid, counted up from the cell's bottom (clipped to
    // 0 .. tile height); columns beyond the list are empty.
    void setSlope(int value, const std::vector<int>& heights);

    Kind getKind(int value) const {
        return value > 0 && value < static_cast<int>(kinds.size()) ? kinds[value] : kNone;
    }
    // The solid run of pixel column x (0 .. tile width - 1) of a cell of this value: rows
    // [top, bottom), counted from the cell's top; top == bottom when the column is empty. For
    // a one-way cell, top is its surface and bottom = top + 1.
    void getRun(int value, int x, int& top, int& bottom) const {
        const std::size_t at = (static_cast<std::size_t>(value) * tileW + x) * 2;
        if (getKind(value) == kNone || getKind(value) == kSolid) {
            top = 0;
            bottom = getKind(value) == kSolid ? tileH : 0;
            return;
        }
        top = runs[at];
        bottom = runs[at + 1];
    }

    // The columns of row y (0 .. tile height - 1) of a cell of this value that are solid (for a
    // one-way cell: its surface), as bits from bit 0 for column 0; for tiles at most 64 pixels
    // wide (hasRowMasks()).
    bool hasRowMasks() const { return tileW <= 64; }
    std::uint64_t getRowMask(int value, int y) const {
        if (getKind(value) == kSolid)
            return fullRow;
        return getKind(value) == kNone ? 0 : rowMasks[static_cast<std::size_t>(value) * tileH + y];
    }

    // Reads the shapes of every tile of the map's tilesets, for the cell values the map's
    // layers hold (flipped and rotated tiles included, their shapes turned alike): the
    // rectangles and polygons of Tiled's tile collision editor (each column solid from the
    // highest to the lowest pixel the shapes cover there), a tile whose class (type in Tiled
    // 1.8) is "solid" or which has the bool property solid = true is solid whole, and one
    // whose class is "oneway" or which has oneway = true is one-way (at the top of its
    // shapes, else of the cell). A shape that cannot be used (an ellipse, a point, a
    // polyline, text, or a rotated one) is left out, with one warning per map in system's
    // log; so are shapes beyond what can be built in a moment (a tile's shapes of more than
    // kMaxShapePoints points, or shaped tiles beyond kMaxShapePixels pixels in all), with a
    // warning of their own. The tile size must be the map's.
    void readMap(TrelTiledMap& map, TrelSystem* system);

    static const std::size_t kMaxShapePoints = 4096;
    static const unsigned long long kMaxShapePixels = 1ULL << 26;

private:
    void set(int value, Kind kind, int x, int y, int w, int h);
    // Each column of the mask (tile width x height, row after row) from its highest solid
    // pixel to its lowest, or its highest alone for a one-way cell.
    void storeMask(int value, const std::vector<char>& mask, bool oneWay);
    // Makes room for the value; false for a value outside 1 .. 32767.
    bool reserve(int value);
    // Works out the value's row masks from its runs.
    void updateRowMasks(int value);

    int tileW, tileH;
    std::vector<Kind> kinds;             // by cell value
    std::vector<std::uint16_t> runs;     // by cell value, then column: top, bottom
    std::vector<std::uint64_t> rowMasks; // by cell value, then row (tiles up to 64 wide)
    std::uint64_t fullRow;
};

#endif
