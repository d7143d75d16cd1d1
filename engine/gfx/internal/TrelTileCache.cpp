#include "gfx/internal/TrelTileCache.h"

#include <allegro.h>

#include <algorithm>
#include <cstring>

#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "world/TrelLayer.h"

namespace {

// 0 stands for no frame.
std::uint64_t serialOf(const TrelISprite* frame) {
    return frame != nullptr ? frame->getSerial() : 0;
}

} // namespace

TrelTileCache::~TrelTileCache() {
    if (slots != nullptr)
        destroy_bitmap(slots);
}

bool TrelTileCache::matches(BITMAP* target, int tw, int th, TrelResource* set) const {
    return slots != nullptr && target->w == targetW && target->h == targetH &&
           bitmap_color_depth(target) == depth && tw == tileW && th == tileH && set == tileset;
}

void TrelTileCache::reset(BITMAP* target, int tw, int th, TrelResource* set) {
    if (slots != nullptr)
        destroy_bitmap(slots);
    // Enough slots for the most cells the renderer visits on this target.
    columns = target->w / tw + 2;
    rows = target->h / th + 2;
    tileW = tw;
    tileH = th;
    depth = bitmap_color_depth(target);
    targetW = target->w;
    targetH = target->h;
    tileset = set;
    // Two copies of the ring side by side, so that any run of visited columns lies in one
    // piece and each row of the view is copied in one go.
    slots = createSlots(depth, columns, rows, tw, th);
    shadow.assign(static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows), Slot());
    opaqueImages.clear();
    lastCe = -1; // no update since: the next frame composes every visited cell
}

BITMAP* TrelTileCache::createSlots(int depth, int columns, int rows, int tw, int th) {
    const long long w = 2LL * columns * tw, h = static_cast<long long>(rows) * th;
    if (w <= 0 || h <= 0 || w * h > kMaxSlotPixels)
        return nullptr;
    return create_bitmap_ex(depth, static_cast<int>(w), static_cast<int>(h));
}

bool TrelTileCache::isOpaque(const TrelISprite* frame) {
    BITMAP* bitmap = frame->bitmap;
    auto known = opaqueImages.find(frame->getSerial());
    if (known != opaqueImages.end() && known->second.first == bitmap)
        return known->second.second;
    const int mask = bitmap_mask_color(bitmap);
    bool opaque = true;
    for (int y = 0; y < bitmap->h && opaque; ++y)
        for (int x = 0; x < bitmap->w && opaque; ++x)
            opaque = getpixel(bitmap, x, y) != mask;
    opaqueImages[frame->getSerial()] = std::make_pair(bitmap, opaque);
    return opaque;
}

void TrelTileCache::compose(Slot& slot, int sx, int sy, int column, int row, short value,
                            const TrelISprite* frame) {
    slot.column = column;
    slot.row = row;
    slot.value = value;
    slot.frame = frame;
    slot.serial = serialOf(frame);
    slot.bitmap = frame != nullptr ? frame->bitmap : nullptr;
    // Only a frame that fills the cell with no mask colour is kept here: the cell's picture
    // then does not depend on what lies beneath it. Other cells are drawn as they stand.
    bool opaque = frame != nullptr && frame->offsetX == 0 && frame->offsetY == 0 &&
                  frame->bitmap->w == tileW && frame->bitmap->h == tileH &&
                  bitmap_color_depth(frame->bitmap) == depth && isOpaque(frame);
    slot.kind = value == 0 ? kEmpty : (opaque ? kOpaque : kDrawn);
    if (opaque) {
        blit(frame->bitmap, slots, 0, 0, sx, sy, tileW, tileH);
        blit(frame->bitmap, slots, 0, 0, sx + columns * tileW, sy, tileW, tileH);
    }
}

void TrelTileCache::drawCell(BITMAP* target, const TrelISprite* frame, int value, int sx, int sy,
                             int tw, int th, int opacity) {
    if (frame != nullptr) {
        // At 8 bits Allegro blends through a colour map the game must set up; without one
        // the tiles are drawn opaque.
        if (opacity >= 255 || (bitmap_color_depth(target) == 8 && color_map == nullptr)) {
            draw_sprite(target, frame->bitmap, sx + frame->offsetX, sy + frame->offsetY);
        } else if (opacity > 0) {
            set_trans_blender(0, 0, 0, opacity);
            draw_trans_sprite(target, frame->bitmap, sx + frame->offsetX, sy + frame->offsetY);
        }
    } else {
        int red = makecol(255, 0, 0);
        rect(target, sx, sy, sx + tw - 1, sy + th - 1, red);
        textprintf_ex(target, font, sx, sy, makecol(255, 255, 255), red, "%i", value);
    }
}

bool TrelTileCache::sameAsLastFrame(short** map, const std::vector<TrelISprite*>& shown, int cs,
                                    int ce, int rs, int re) const {
    if (cs != lastCs || ce != lastCe || rs != lastRs || re != lastRe)
        return false;
    const std::size_t frames = shown.size();
    if (frames != lastFrames.size())
        return false;
    for (std::size_t i = 0; i < frames; ++i) {
        const TrelISprite* frame = shown[i];
        if (serialOf(frame) != lastFrames[i].first ||
            (frame != nullptr && frame->bitmap != lastFrames[i].second))
            return false;
    }
    const std::size_t width = static_cast<std::size_t>(ce - cs);
    for (int r = rs; r < re; ++r) {
        if (std::memcmp(map[r] + cs, &lastCells[static_cast<std::size_t>(r - rs) * width],
                        width * sizeof(short)) != 0)
            return false;
    }
    return true;
}

void TrelTileCache::update(short** map, const std::vector<TrelISprite*>& shown, int cs, int ce,
                           int rs, int re) {
    // Bring every visited cell's slot up to date. The slot indices advance with the cells
    // and wrap, rather than being divided out for each cell.
    bool allOpaque = true;
    const int firstColumn = cs % columns;
    int slotRow = rs % rows;
    for (int r = rs; r < re; ++r) {
        const short* cells = map[r];
        Slot* rowSlots =
            &shadow[static_cast<std::size_t>(slotRow) * static_cast<std::size_t>(columns)];
        int slotColumn = firstColumn;
        for (int c = cs; c < ce; ++c) {
            short value = cells[c];
            // A negative value asks for a huge index and so finds no frame.
            const auto index = static_cast<unsigned>(value - 1);
            const TrelISprite* frame =
                (value != 0 && index < shown.size()) ? shown[index] : nullptr;
            Slot& slot = rowSlots[slotColumn];
            if (slot.column != c || slot.row != r || slot.value != value ||
                slot.serial != serialOf(frame) ||
                (frame != nullptr && slot.bitmap != frame->bitmap))
                compose(slot, slotColumn * tileW, slotRow * tileH, c, r, value, frame);
            allOpaque = allOpaque && slot.kind == kOpaque;
            if (++slotColumn == columns)
                slotColumn = 0;
        }
        if (++slotRow == rows)
            slotRow = 0;
    }

    // What the next frame compares with.
    lastCs = cs;
    lastCe = ce;
    lastRs = rs;
    lastRe = re;
    lastAllOpaque = allOpaque;
    lastFrames.clear();
    for (const TrelISprite* frame : shown)
        lastFrames.emplace_back(serialOf(frame), frame != nullptr ? frame->bitmap : nullptr);
    // Frames replaced over a long game would otherwise pile up here.
    if (opaqueImages.size() > 2 * shown.size() + 64)
        opaqueImages.clear();
    const std::size_t width = static_cast<std::size_t>(ce - cs);
    lastCells.resize(width * static_cast<std::size_t>(re - rs));
    for (int r = rs; r < re; ++r)
        std::memcpy(&lastCells[static_cast<std::size_t>(r - rs) * width], map[r] + cs,
                    width * sizeof(short));
}

void TrelTileCache::copyRing(BITMAP* slots, int columns, int rows, int tileW, int tileH,
                             BITMAP* target, int cs, int ce, int rs, int re, int ox, int oy) {
    // The visited columns lie in one piece of the doubled ring; the rows wrap at most once.
    int srcX = (cs % columns) * tileW;
    int w = (ce - cs) * tileW;
    int firstRow = rs % rows;
    int topRows = std::min(re - rs, rows - firstRow);
    blit(slots, target, srcX, firstRow * tileH, cs * tileW - ox, rs * tileH - oy, w,
         topRows * tileH);
    if (topRows < re - rs) {
        blit(slots, target, srcX, 0, cs * tileW - ox, (rs + topRows) * tileH - oy, w,
             (re - rs - topRows) * tileH);
    }
}

bool TrelTileCache::draw(TrelLayer* layer, const std::vector<TrelISprite*>& shown, BITMAP* target,
                         int cs, int ce, int rs, int re, int ox, int oy) {
    int tw, th;
    layer->getMapTileSize(tw, th);
    TrelResource* set = layer->getTileset();
    if (!matches(target, tw, th, set))
        reset(target, tw, th, set);
    if (slots == nullptr)
        return false;
    if (ce - cs > columns || re - rs > rows)
        return false; // more cells than slots: not a range the renderer visits

    // The slots already hold every visited cell when the same cells are visited again with
    // the same values and frames: the usual frame, where the camera moved within a tile.
    short** map = layer->getMapData();
    if (!sameAsLastFrame(map, shown, cs, ce, rs, re))
        update(map, shown, cs, ce, rs, re);
    if (lastAllOpaque) {
        copyRing(slots, columns, rows, tileW, tileH, target, cs, ce, rs, re, ox, oy);
        return true;
    }
    // Row by row, in the renderer's order: runs of opaque cells copied from the slots, the
    // other cells drawn as they stand (a picture that overhangs its cell to the right or below
    // is covered by the later cells just as it would be), empty ones passed over, so that
    // what lay there shows.
    const int firstColumn = cs % columns;
    int slotRow = rs % rows;
    for (int r = rs; r < re; ++r) {
        const Slot* rowSlots =
            &shadow[static_cast<std::size_t>(slotRow) * static_cast<std::size_t>(columns)];
        int slotColumn = firstColumn;
        int c = cs;
        while (c < ce) {
            const Slot& slot = rowSlots[slotColumn];
            if (slot.kind != kOpaque) {
                if (slot.kind == kDrawn)
                    drawCell(target, slot.frame, slot.value, c * tw - ox, r * th - oy, tw, th);
                ++c;
                if (++slotColumn == columns)
                    slotColumn = 0;
                continue;
            }
            // An opaque run ends at another kind of cell or where the slots wrap.
            int runStart = c;
            int runSlot = slotColumn;
            do {
                ++c;
                ++slotColumn;
            } while (c < ce && slotColumn < columns && rowSlots[slotColumn].kind == kOpaque);
            if (slotColumn == columns)
                slotColumn = 0;
            blit(slots, target, runSlot * tw, slotRow * th, runStart * tw - ox, r * th - oy,
                 (c - runStart) * tw, th);
        }
        if (++slotRow == rows)
            slotRow = 0;
    }
    return true;
}
