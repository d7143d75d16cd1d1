#ifndef TREL_STACK_CACHE_H
#define TREL_STACK_CACHE_H

#include <cstdint>
#include <utility>
#include <vector>

struct BITMAP;
class TrelISprite;
class TrelLayer;
class TrelResource;

// The renderer's memory of a stack of layers drawn over a known background colour: layers of
// one map and tile size, drawn at one place, with no objects between them, whose frames all
// lie inside their cells. Each cell of the stack is composed once into a slot of a bitmap
// (the background, then each layer's frame at the layer's opacity, as the renderer draws
// them), so that a frame copies the whole view in one or two rectangles, masked tiles and
// empty cells included. Slots wrap around like TrelTileCache's, and each frame the visited
// cells are compared with what their slots hold (each layer's value, its frame's serial
// number and bitmap), so cells written through getMapData and animated tiles are seen.
//
// The picture is the one drawing every cell in row order, layer after layer, over the
// background gives, pixel for pixel: a frame inside its cell touches no other cell, and
// a cell's pixels go through the same operations in the same order. Engine-internal:
// TrelIGfx keeps one for each stack it draws.
class TrelStackCache {
public:
    TrelStackCache() = default;
    ~TrelStackCache();

    TrelStackCache(const TrelStackCache&) = delete;
    TrelStackCache& operator=(const TrelStackCache&) = delete;

    // Whether the frames of the tileset all lie inside a tw × th cell, at the depth given:
    // what a layer needs to be part of a stack.
    static bool framesFit(TrelResource* tileset, int tw, int th, int depth);

    // Draws the cells of columns [cs, ce) and rows [rs, re) of the layers, each showing its
    // frames (see TrelIGfx::shownFrames), over the background (a pixel of the target) into
    // target, the world pixel (ox, oy) at the target's (0, 0). False, with nothing drawn,
    // when a visited cell shows no frame (its marker may leave the cell), there are more
    // cells than slots, or there is no memory for the slots.
    bool draw(const std::vector<TrelLayer*>& layers,
              const std::vector<std::vector<TrelISprite*>>& frames, int background, BITMAP* target,
              int cs, int ce, int rs, int re, int ox, int oy);

private:
    // What one slot holds of one plane.
    struct Held {
        short value = 0;
        std::uint64_t serial = 0;
        const BITMAP* bitmap = nullptr;
    };

    bool matches(int background, BITMAP* target) const;
    void reset(int background, BITMAP* target);
    // Composes each visited cell whose slot holds something else; false when a cell shows no
    // frame.
    bool update(int cs, int ce, int rs, int re);
    void compose(int slot, int column, int row);

    BITMAP* slots = nullptr; // owned: columns × rows slots of tileW × tileH pixels, twice over
    int columns = 0;
    int rows = 0;
    int tileW = 0;
    int tileH = 0;
    int depth = 0;
    int targetW = 0;
    int targetH = 0;
    int fill = 0; // the background, as a pixel of the target
    // What the slots were made for: each plane's tileset and opacity.
    std::vector<std::pair<const TrelResource*, int>> made;
    std::vector<int> cells; // the cell each slot holds: column, row; -1 for none
    std::vector<Held> held; // each slot's planes
    // The stack being drawn: its layers and the frames each shows.
    const std::vector<TrelLayer*>* planes = nullptr;
    const std::vector<std::vector<TrelISprite*>>* shown = nullptr;
};

#endif
