#ifndef TREL_TILE_CACHE_H
#define TREL_TILE_CACHE_H

#include <cstdint>
#include <unordered_map>
#include <utility>
#include <vector>

struct BITMAP;
class TrelISprite;
class TrelLayer;
class TrelResource;

// The renderer's memory of one layer's tiles: each opaque cell around the view (its frame
// fills the cell, has no drawing offset and no pixel of the mask colour) copied once into a
// slot of a bitmap, so that a frame copies the view's opaque tiles in one or two rectangles
// instead of drawing every cell; the other cells are drawn as they stand. Slots wrap around, like a
// ring, in both directions: cell (c, r) lives in slot (c mod columns, r mod rows), so a camera that
// moves only redraws the cells that come into view. Each frame the visited cells are compared with
// what their slots hold (value, the frame's serial number and its bitmap), so cells written
// straight through getMapData are seen, and a frame replaced by another at the same address is told
// apart. A frame's pixels are read when a cell showing it comes into view: a game that draws into a
// tile's bitmap afterwards must load it as a new frame, or call TrelIGfx::releaseTileCaches, for
// the change to show. Nothing is told to the cache: it checks what it holds each frame, so any
// layer's cells can be drawn with it.
//
// The picture is the one drawing every cell with draw_sprite in row order gives, pixel for
// pixel: cells are reached in that order, and an opaque cell's picture is all of its own
// rectangle and nothing else, whatever lay beneath. Engine-internal: TrelIGfx keeps one for
// each layer it draws.
class TrelTileCache {
public:
    TrelTileCache() = default;
    ~TrelTileCache();

    TrelTileCache(const TrelTileCache&) = delete;
    TrelTileCache& operator=(const TrelTileCache&) = delete;

    // Draws the layer's cells of columns [cs, ce) and rows [rs, re) into target, the world
    // pixel (ox, oy) at the target's (0, 0), clipped by the target's clip rectangle; a cell of
    // value v shows shown[v - 1] (the tileset's frames, animated tiles at their current
    // frame). False, with nothing drawn, when the cache has no room for them (more cells than
    // the renderer visits on this target, or no memory for its bitmap).
    bool draw(TrelLayer* layer, const std::vector<TrelISprite*>& shown, BITMAP* target, int cs,
              int ce, int rs, int re, int ox, int oy);

    // One cell as the renderer draws it: the frame with draw_sprite at (sx, sy) plus the
    // frame's drawing offset (blended with draw_trans_sprite below full opacity, left out at
    // 0), or, with no frame, the missing-tile marker (a red outline of the tw × th cell and
    // the value in white on red). Used by the cache and by TrelIGfx's cell-by-cell drawing.
    static void drawCell(BITMAP* target, const TrelISprite* frame, int value, int sx, int sy,
                         int tw, int th, int opacity = 255);

    // Copies the visited cells of columns [cs, ce) and rows [rs, re) from a ring of
    // columns × rows slots of tileW × tileH pixels, held twice side by side in slots (cell
    // (c, r) in slot (c mod columns, r mod rows)), into target, in one or two rectangles.
    static void copyRing(BITMAP* slots, int columns, int rows, int tileW, int tileH, BITMAP* target,
                         int cs, int ce, int rs, int re, int ox, int oy);

    // The most pixels a cache's slots may hold (64 MiB at 32 bits per pixel); larger cells are
    // drawn one by one, as without a cache.
    static const long long kMaxSlotPixels = 16LL << 20;
    // The bitmap of a ring of columns × rows slots of tw × th pixels, held twice side by side;
    // null beyond kMaxSlotPixels, whose byte size Allegro's int arithmetic could not hold.
    static BITMAP* createSlots(int depth, int columns, int rows, int tw, int th);

private:
    // How a cell reaches the target: not at all, copied from its slot, or drawn from its
    // frame (or as the missing-tile marker) as the renderer draws it.
    enum Kind { kEmpty, kOpaque, kDrawn };

    struct Slot {
        int column = -1; // the cell held, or -1 for none
        int row = -1;
        short value = 0;
        const TrelISprite* frame = nullptr; // read only while serial says it is the same sprite
        std::uint64_t serial = 0;
        const BITMAP* bitmap = nullptr;
        Kind kind = kEmpty;
    };

    bool matches(BITMAP* target, int tw, int th, TrelResource* tileset) const;
    void reset(BITMAP* target, int tw, int th, TrelResource* tileset);
    void compose(Slot& slot, int sx, int sy, int column, int row, short value,
                 const TrelISprite* frame);
    // Whether the frame's image has no pixel of the mask colour; worked out once per image.
    bool isOpaque(const TrelISprite* frame);
    // True when the visited cells, their values and the frames shown are those of the last
    // update, so that every slot still holds its cell.
    bool sameAsLastFrame(short** map, const std::vector<TrelISprite*>& shown, int cs, int ce,
                         int rs, int re) const;
    // Composes each visited cell whose slot holds something else (another cell, or another
    // frame of an animated tile), and remembers the frame.
    void update(short** map, const std::vector<TrelISprite*>& shown, int cs, int ce, int rs,
                int re);

    BITMAP* slots = nullptr; // owned: columns × rows slots of tileW × tileH pixels, twice over
    int columns = 0;
    int rows = 0;
    int tileW = 0;
    int tileH = 0;
    int depth = 0;
    int targetW = 0;
    int targetH = 0;
    const TrelResource* tileset = nullptr; // not owned: only compared
    std::vector<Slot> shadow;              // what each slot holds
    // Frames seen so far, by serial number: the bitmap looked at, and whether it is opaque.
    std::unordered_map<std::uint64_t, std::pair<const BITMAP*, bool>> opaqueImages;
    // The last update: the visited cells and their values, and the frames shown.
    int lastCs = 0, lastCe = -1, lastRs = 0, lastRe = -1;
    bool lastAllOpaque = false;
    std::vector<short> lastCells;
    std::vector<std::pair<std::uint64_t, const BITMAP*>> lastFrames; // serial (0: none), bitmap
};

#endif
