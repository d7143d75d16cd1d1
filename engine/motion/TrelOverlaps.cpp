#include "motion/TrelOverlaps.h"

#include <algorithm>
#include <list>

#include "world/TrelLayer.h"
#include "world/TrelObject.h"
#include "world/TrelZone.h"

namespace {

// Boxes are kept at twice their coordinates, so that a box centred on its position is exact
// whatever its size: left = 2 x - w, right = 2 x + w.
bool overlap(std::int64_t l1, std::int64_t t1, std::int64_t r1, std::int64_t b1, std::int64_t l2,
             std::int64_t t2, std::int64_t r2, std::int64_t b2) {
    return l1 < r2 && l2 < r1 && t1 < b2 && t2 < b1;
}

// A box over more grid cells than this is compared with every other box instead.
const std::int64_t kMaxCellsPerBox = 16;

// The object's box at twice its coordinates; false for a destroyed object or an empty box,
// which overlap nothing.
bool doubledBox(TrelObject* object, std::int64_t& left, std::int64_t& top, std::int64_t& right,
                std::int64_t& bottom) {
    if (object == nullptr || object->isDestroyed())
        return false;
    TrelObject::Vec pos, size;
    object->getPos(pos);
    object->getSize(size);
    if (size.x.raw <= 0 || size.y.raw <= 0)
        return false;
    left = 2 * static_cast<std::int64_t>(pos.x.raw) - size.x.raw;
    right = 2 * static_cast<std::int64_t>(pos.x.raw) + size.x.raw;
    top = 2 * static_cast<std::int64_t>(pos.y.raw) - size.y.raw;
    bottom = 2 * static_cast<std::int64_t>(pos.y.raw) + size.y.raw;
    return true;
}

} // namespace

void TrelOverlaps::collect(TrelLayer* layer) {
    Box box;
    for (TrelObject* object : layer->getObjects_()) {
        box.object = object;
        if (doubledBox(object, box.left, box.top, box.right, box.bottom))
            boxes.push_back(box);
    }
}

void TrelOverlaps::findPairs(TrelLayer* layer, std::vector<Pair>& pairs) {
    boxes.clear();
    collect(layer);
    pairUp(pairs);
}

void TrelOverlaps::findPairs(TrelZone* zone, std::vector<Pair>& pairs) {
    boxes.clear();
    for (int i = 0; zone->getLayer(i) != nullptr; ++i)
        if (!zone->getLayer(i)->isDestroyed())
            collect(zone->getLayer(i));
    pairUp(pairs);
}

void TrelOverlaps::fillGrid() {
    // Cells about twice the average box, a power of two of raw units, and no more cells than
    // a few per box.
    std::int64_t extent = 0, maxX = boxes[0].right, maxY = boxes[0].bottom;
    originX = boxes[0].left;
    originY = boxes[0].top;
    for (const Box& b : boxes) {
        extent += (b.right - b.left) + (b.bottom - b.top);
        originX = std::min(originX, b.left);
        originY = std::min(originY, b.top);
        maxX = std::max(maxX, b.right);
        maxY = std::max(maxY, b.bottom);
    }
    const std::int64_t side = std::max<std::int64_t>(
        extent / static_cast<std::int64_t>(boxes.size()), std::int64_t(1) << 17);
    cellShift = 0;
    while ((std::int64_t(1) << cellShift) < side)
        ++cellShift;
    const std::int64_t most = 4 * static_cast<std::int64_t>(boxes.size()) + 16;
    std::int64_t c, r;
    while (true) {
        c = ((maxX - originX) >> cellShift) + 1;
        r = ((maxY - originY) >> cellShift) + 1;
        if (c * r <= most)
            break;
        ++cellShift;
    }
    columns = static_cast<int>(c);
    rows = static_cast<int>(r);
    placeBoxes();
}

void TrelOverlaps::placeBoxes() {
    cellStart.assign(static_cast<std::size_t>(columns * rows + 1), 0);
    oversized.clear();
    // Twice over the boxes: count each cell's boxes, then place them, in list order.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < static_cast<int>(boxes.size()); ++i) {
            const Box& b = boxes[static_cast<std::size_t>(i)];
            const int c0 = static_cast<int>((b.left - originX) >> cellShift);
            const int c1 = static_cast<int>((b.right - 1 - originX) >> cellShift);
            const int r0 = static_cast<int>((b.top - originY) >> cellShift);
            const int r1 = static_cast<int>((b.bottom - 1 - originY) >> cellShift);
            if (static_cast<std::int64_t>(c1 - c0 + 1) * (r1 - r0 + 1) > kMaxCellsPerBox) {
                if (pass == 0)
                    oversized.push_back(i);
                continue;
            }
            for (int y = r0; y <= r1; ++y)
                for (int x = c0; x <= c1; ++x) {
                    const auto cell = static_cast<std::size_t>(y * columns + x);
                    if (pass == 0)
                        ++cellStart[cell + 1];
                    else
                        cellBoxes[static_cast<std::size_t>(cellStart[cell]++)] = i;
                }
        }
        if (pass == 0) {
            for (std::size_t k = 1; k < cellStart.size(); ++k)
                cellStart[k] += cellStart[k - 1];
            cellBoxes.resize(static_cast<std::size_t>(cellStart.back()));
        } else {
            // Placing moved each start to the next cell's: move them back.
            for (std::size_t k = cellStart.size() - 1; k > 0; --k)
                cellStart[k] = cellStart[k - 1];
            cellStart[0] = 0;
        }
    }
}

void TrelOverlaps::pairCell(int cell, std::vector<std::pair<int, int>>& out) {
    const int first = cellStart[static_cast<std::size_t>(cell)];
    const int end = cellStart[static_cast<std::size_t>(cell) + 1];
    for (int m = first; m < end; ++m) {
        const int i = cellBoxes[static_cast<std::size_t>(m)];
        const Box& a = boxes[static_cast<std::size_t>(i)];
        for (int n = m + 1; n < end; ++n) {
            const int j = cellBoxes[static_cast<std::size_t>(n)];
            const Box& b = boxes[static_cast<std::size_t>(j)];
            if (!overlap(a.left, a.top, a.right, a.bottom, b.left, b.top, b.right, b.bottom))
                continue;
            // A pair shares every cell its overlap covers: it is kept in the one that holds
            // the overlap's top-left corner.
            const std::int64_t cx = (std::max(a.left, b.left) - originX) >> cellShift;
            const std::int64_t cy = (std::max(a.top, b.top) - originY) >> cellShift;
            if (cy * columns + cx == cell)
                out.emplace_back(i, j);
        }
    }
}

void TrelOverlaps::pairUp(std::vector<Pair>& pairs) {
    pairs.clear();
    found.clear();
    if (boxes.size() < 2)
        return;
    fillGrid();
    for (int cell = 0; cell < columns * rows; ++cell)
        pairCell(cell, found);
    for (std::size_t k = 0; k < oversized.size(); ++k) {
        const int i = oversized[k];
        const Box& a = boxes[static_cast<std::size_t>(i)];
        for (int j = 0; j < static_cast<int>(boxes.size()); ++j) {
            const Box& b = boxes[static_cast<std::size_t>(j)];
            // Two oversized boxes meet once: from the earlier of the two.
            const bool seen = std::binary_search(oversized.begin(), oversized.end(), j) && j <= i;
            if (j != i && !seen &&
                overlap(a.left, a.top, a.right, a.bottom, b.left, b.top, b.right, b.bottom))
                found.emplace_back(std::min(i, j), std::max(i, j));
        }
    }
    std::sort(found.begin(), found.end());
    pairs.reserve(found.size());
    for (const std::pair<int, int>& f : found)
        pairs.push_back(Pair{boxes[static_cast<std::size_t>(f.first)].object,
                             boxes[static_cast<std::size_t>(f.second)].object});
}

void TrelOverlaps::findInside(TrelLayer* layer, fixedpoint::fix16 x, fixedpoint::fix16 y,
                              fixedpoint::fix16 w, fixedpoint::fix16 h,
                              std::vector<TrelObject*>& found) {
    found.clear();
    if (w.raw <= 0 || h.raw <= 0)
        return;
    const std::int64_t l = 2 * static_cast<std::int64_t>(x.raw);
    const std::int64_t t = 2 * static_cast<std::int64_t>(y.raw);
    const std::int64_t r = l + 2 * static_cast<std::int64_t>(w.raw);
    const std::int64_t b = t + 2 * static_cast<std::int64_t>(h.raw);
    std::int64_t left, top, right, bottom;
    for (TrelObject* object : layer->getObjects_())
        if (doubledBox(object, left, top, right, bottom) &&
            overlap(l, t, r, b, left, top, right, bottom))
            found.push_back(object);
}
