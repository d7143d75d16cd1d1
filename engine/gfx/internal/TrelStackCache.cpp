#include "gfx/internal/TrelStackCache.h"

#include <allegro.h>

#include <algorithm>

#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "gfx/internal/TrelTileCache.h"
#include "world/TrelLayer.h"

TrelStackCache::~TrelStackCache() {
    if (slots != nullptr)
        destroy_bitmap(slots);
}

bool TrelStackCache::framesFit(TrelResource* tileset, int tw, int th, int depth) {
    if (tileset == nullptr)
        return true; // every cell shows the marker, found out cell by cell
    for (const TrelISprite* frame : tileset->frames) {
        if (frame == nullptr || frame->bitmap == nullptr)
            continue;
        if (frame->offsetX < 0 || frame->offsetY < 0 || frame->offsetX + frame->width > tw ||
            frame->offsetY + frame->height > th || bitmap_color_depth(frame->bitmap) != depth)
            return false;
    }
    return true;
}

bool TrelStackCache::matches(int background, BITMAP* target) const {
    const std::vector<TrelLayer*>& layers = *planes;
    if (slots == nullptr || target->w != targetW || target->h != targetH ||
        bitmap_color_depth(target) != depth || background != fill || layers.size() != made.size())
        return false;
    int tw, th;
    layers[0]->getMapTileSize(tw, th);
    if (tw != tileW || th != tileH)
        return false;
    for (std::size_t i = 0; i < layers.size(); ++i)
        if (made[i].first != layers[i]->getTileset() || made[i].second != layers[i]->getOpacity())
            return false;
    return true;
}

void TrelStackCache::reset(int background, BITMAP* target) {
    const std::vector<TrelLayer*>& layers = *planes;
    if (slots != nullptr)
        destroy_bitmap(slots);
    layers[0]->getMapTileSize(tileW, tileH);
    // Enough slots for the most cells the renderer visits on this target.
    columns = target->w / tileW + 2;
    rows = target->h / tileH + 2;
    depth = bitmap_color_depth(target);
    targetW = target->w;
    targetH = target->h;
    fill = background;
    made.clear();
    for (TrelLayer* layer : layers)
        made.emplace_back(layer->getTileset(), layer->getOpacity());
    // Two copies of the ring side by side, so that any run of visited columns is one piece.
    slots = TrelTileCache::createSlots(depth, columns, rows, tileW, tileH);
    const std::size_t count = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    cells.assign(2 * count, -1);
    held.assign(count * layers.size(), Held());
}

void TrelStackCache::compose(int slot, int column, int row) {
    const int sx = slot % columns * tileW, sy = slot / columns * tileH;
    rectfill(slots, sx, sy, sx + tileW - 1, sy + tileH - 1, fill);
    for (std::size_t p = 0; p < planes->size(); ++p) {
        TrelLayer* layer = (*planes)[p];
        const short value = layer->getMapData()[row][column];
        const auto index = static_cast<unsigned>(value - 1);
        if (value != 0)
            TrelTileCache::drawCell(slots, (*shown)[p][index], value, sx, sy, tileW, tileH,
                                    layer->getOpacity());
    }
    blit(slots, slots, sx, sy, sx + columns * tileW, sy, tileW, tileH);
}

bool TrelStackCache::update(int cs, int ce, int rs, int re) {
    const std::size_t count = planes->size();
    int slotRow = rs % rows;
    for (int r = rs; r < re; ++r) {
        int slotColumn = cs % columns;
        for (int c = cs; c < ce; ++c) {
            const int slot = slotRow * columns + slotColumn;
            bool same = cells[2 * slot] == c && cells[2 * slot + 1] == r;
            Held* kept = &held[static_cast<std::size_t>(slot) * count];
            for (std::size_t p = 0; p < count; ++p) {
                const short value = (*planes)[p]->getMapData()[r][c];
                // A negative value asks for a huge index and so finds no frame.
                const auto index = static_cast<unsigned>(value - 1);
                const std::vector<TrelISprite*>& frames = (*shown)[p];
                const TrelISprite* frame = index < frames.size() ? frames[index] : nullptr;
                if (value != 0 && frame == nullptr)
                    return false;
                Held now{value, frame != nullptr ? frame->getSerial() : 0,
                         frame != nullptr ? frame->bitmap : nullptr};
                same = same && kept[p].value == now.value && kept[p].serial == now.serial &&
                       kept[p].bitmap == now.bitmap;
                kept[p] = now;
            }
            if (!same) {
                cells[2 * slot] = c;
                cells[2 * slot + 1] = r;
                compose(slot, c, r);
            }
            if (++slotColumn == columns)
                slotColumn = 0;
        }
        if (++slotRow == rows)
            slotRow = 0;
    }
    return true;
}

bool TrelStackCache::draw(const std::vector<TrelLayer*>& layers,
                          const std::vector<std::vector<TrelISprite*>>& frames, int background,
                          BITMAP* target, int cs, int ce, int rs, int re, int ox, int oy) {
    if (layers.empty() || cs >= ce || rs >= re)
        return true;
    planes = &layers;
    shown = &frames;
    if (!matches(background, target))
        reset(background, target);
    if (slots == nullptr || ce - cs > columns || re - rs > rows)
        return false;
    if (!update(cs, ce, rs, re)) {
        // Slots left half-checked are composed again next time.
        std::fill(cells.begin(), cells.end(), -1);
        return false;
    }
    TrelTileCache::copyRing(slots, columns, rows, tileW, tileH, target, cs, ce, rs, re, ox, oy);
    return true;
}
