#include "motion/TrelMover.h"

#include <cstdint>

#include "motion/TrelTileShapes.h"
#include "world/TrelLayer.h"
#include "world/TrelObject.h"
#include "world/TrelState.h"

namespace {

// The pixels a box covers along one axis: from its centre c and size s (16.16), the first
// and one past the last, computed at twice the scale so that any size is exact.
void cover(std::int32_t c, std::int32_t s, int& first, int& end) {
    const std::int64_t low = 2 * static_cast<std::int64_t>(c) - s;
    const std::int64_t high = 2 * static_cast<std::int64_t>(c) + s;
    const std::int64_t pixel = std::int64_t(1) << 17;
    first = static_cast<int>(low >= 0 ? low / pixel : -((-low + pixel - 1) / pixel));
    end = static_cast<int>(high >= 0 ? (high + pixel - 1) / pixel : -(-high / pixel));
}

// Splits remainder + speed into whole pixels (floor) and the fraction left.
int wholePixels(fixedpoint::fix16& remainder, fixedpoint::fix16 speed) {
    const std::int64_t total = static_cast<std::int64_t>(remainder.raw) + speed.raw;
    const std::int64_t pixels = total >= 0 ? total / 65536 : -((-total + 65535) / 65536);
    remainder = fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(total - pixels * 65536));
    return static_cast<int>(pixels);
}

// How many steps, at most most, keep the new pixel line (next, then the lines beyond it in
// direction) within cell cell of size pixels.
int stepsInCell(int next, int cell, int size, int direction, int most) {
    const int run = direction > 0 ? (cell + 1) * size - next : next - cell * size + 1;
    return run < most ? run : most;
}

} // namespace

int TrelMover::tileW() const {
    return shapes->getTileWidth();
}

int TrelMover::tileH() const {
    return shapes->getTileHeight();
}

void TrelMover::setGround(TrelLayer* ground, const TrelTileShapes* cellShapes) {
    layer = ground;
    shapes = cellShapes;
    // Tile sizes are mostly powers of two: cells are then found by a shift.
    shiftX = shiftY = -1;
    for (int k = 0; k < 16 && shapes != nullptr; ++k) {
        if (shapes->getTileWidth() == 1 << k)
            shiftX = k;
        if (shapes->getTileHeight() == 1 << k)
            shiftY = k;
    }
}

int TrelMover::valueAt(int column, int row) const {
    if (static_cast<unsigned>(column) >= static_cast<unsigned>(mapW) ||
        static_cast<unsigned>(row) >= static_cast<unsigned>(mapH))
        return 0;
    return cells[row][column];
}

bool TrelMover::columnBlocked(int x, int top, int bottom, Contact* hit) const {
    const int tw = shapes->getTileWidth(), th = shapes->getTileHeight();
    const int column = cellX(x);
    for (int row = cellY(top); row * th < bottom; ++row) {
        const int value = valueAt(column, row);
        const TrelTileShapes::Kind kind = shapes->getKind(value);
        if (kind == TrelTileShapes::kNone || kind == TrelTileShapes::kOneWay)
            continue;
        int runTop, runBottom;
        shapes->getRun(value, x - column * tw, runTop, runBottom);
        if (runTop < runBottom && row * th + runTop < bottom && row * th + runBottom > top) {
            if (hit != nullptr)
                *hit = Contact{true, column, row};
            return true;
        }
    }
    return false;
}

bool TrelMover::rowBlocked(int y, int left, int right, bool oneWay, Contact* hit) const {
    const int tw = shapes->getTileWidth(), th = shapes->getTileHeight();
    const int row = cellY(y);
    const int local = y - row * th;
    for (int column = cellX(left); column * tw < right; ++column) {
        const int value = valueAt(column, row);
        const TrelTileShapes::Kind kind = shapes->getKind(value);
        if (kind == TrelTileShapes::kNone || (kind == TrelTileShapes::kOneWay && !oneWay))
            continue;
        bool blocked = kind == TrelTileShapes::kSolid;
        const int from = left > column * tw ? left - column * tw : 0;
        const int to = right < (column + 1) * tw ? right - column * tw : tw;
        if (!blocked && shapes->hasRowMasks()) {
            // The columns [from, to) as bits, against the row's solid columns.
            const std::uint64_t upTo = to >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << to) - 1;
            blocked =
                (shapes->getRowMask(value, local) & upTo & ~((std::uint64_t(1) << from) - 1)) != 0;
        }
        for (int x = from; x < to && !blocked && !shapes->hasRowMasks(); ++x) {
            int runTop, runBottom;
            shapes->getRun(value, x, runTop, runBottom);
            blocked = runTop <= local && local < runBottom;
        }
        if (blocked) {
            if (hit != nullptr)
                *hit = Contact{true, column, row};
            return true;
        }
    }
    return false;
}

bool TrelMover::supported(const Box& box) const {
    return rowBlocked(box.bottom, box.left, box.right, !dropping, nullptr);
}

bool TrelMover::stepUp(Box& box, int direction, int column) const {
    // Rise k pixels (the rows above must be free), then step across (the column beside must
    // be free at the raised height).
    for (int k = 1; k <= stepHeight; ++k) {
        if (rowBlocked(box.top - k, box.left, box.right, false, nullptr))
            return false;
        if (!columnBlocked(column, box.top - k, box.bottom - k, nullptr)) {
            box.top -= k;
            box.bottom -= k;
            box.left += direction;
            box.right += direction;
            return true;
        }
    }
    return false;
}

bool TrelMover::stepDown(Box& box) const {
    // The nearest ground within the step height below; none: the object walks off and falls.
    for (int k = 1; k <= stepHeight; ++k) {
        // Row bottom + k - 1 is free: had it held ground, the step before would have stopped.
        if (rowBlocked(box.bottom + k, box.left, box.right, !dropping, nullptr)) {
            box.top += k;
            box.bottom += k;
            return true;
        }
    }
    return false;
}

int TrelMover::freeRunX(const Box& box, int direction, int most, bool rising, bool ground) const {
    const int tw = shapes->getTileWidth(), th = shapes->getTileHeight();
    const int next = direction > 0 ? box.right : box.left - 1;
    const int column = cellX(next);
    const int run = stepsInCell(next, column, tw, direction, most);
    for (int row = cellY(box.top); row * th < box.bottom; ++row) {
        const TrelTileShapes::Kind kind = shapes->getKind(valueAt(column, row));
        if (kind != TrelTileShapes::kNone && kind != TrelTileShapes::kOneWay)
            return 0;
    }
    if (rising)
        return run; // nothing to stand on while rising
    // The pixel columns the box passes over, under which the ground must stay as it is: on
    // the ground, whole solid cells whose top row is the one under the box; in the air,
    // nothing to land on.
    const int from = direction > 0 ? box.left + 1 : box.left - run;
    const int to = direction > 0 ? box.right + run : box.right - 1;
    if (!ground)
        return rowBlocked(box.bottom, from, to, !dropping, nullptr) ? 0 : run;
    if (cellY(box.bottom) * th != box.bottom)
        return 0;
    for (int c = cellX(from); c * tw < to; ++c)
        if (shapes->getKind(valueAt(c, cellY(box.bottom))) != TrelTileShapes::kSolid)
            return 0;
    return run;
}

int TrelMover::freeRunY(const Box& box, int direction, int most) const {
    const int tw = shapes->getTileWidth(), th = shapes->getTileHeight();
    const int next = direction > 0 ? box.bottom : box.top - 1;
    const int row = cellY(next);
    const int run = stepsInCell(next, row, th, direction, most);
    for (int column = cellX(box.left); column * tw < box.right; ++column) {
        const TrelTileShapes::Kind kind = shapes->getKind(valueAt(column, row));
        // Going up, one-way cells are no obstacle; going down, their top rows are.
        if (kind != TrelTileShapes::kNone && (direction > 0 || kind != TrelTileShapes::kOneWay))
            return 0;
    }
    return run;
}

int TrelMover::moveX(Box& box, int dx, bool rising) {
    const int direction = dx > 0 ? 1 : -1;
    int left = dx > 0 ? dx : -dx;
    const int startLeft = box.left;
    bool ground = !rising && supported(box);
    while (left > 0) {
        const int run = freeRunX(box, direction, left, rising, ground);
        if (run > 0) {
            // The ground is as it was: kept under the whole run, or none found.
            box.left += direction * run;
            box.right += direction * run;
            left -= run;
            continue;
        }
        const int column = direction > 0 ? box.right : box.left - 1;
        Contact hit;
        if (!columnBlocked(column, box.top, box.bottom, &hit)) {
            box.left += direction;
            box.right += direction;
            const bool stands = supported(box);
            ground = !rising && (stands || (ground && stepDown(box)));
        } else if (ground && stepUp(box, direction, column)) {
            ground = supported(box);
        } else {
            (direction > 0 ? rightWall : leftWall) = hit;
            break;
        }
        --left;
    }
    return box.left - startLeft;
}

int TrelMover::moveY(Box& box, int dy) {
    const int direction = dy > 0 ? 1 : -1;
    int left = dy > 0 ? dy : -dy;
    const int startTop = box.top;
    while (left > 0) {
        const int run = freeRunY(box, direction, left);
        if (run > 0) {
            box.top += direction * run;
            box.bottom += direction * run;
            left -= run;
            continue;
        }
        Contact hit;
        const bool blocked = direction > 0
                                 ? rowBlocked(box.bottom, box.left, box.right, !dropping, &hit)
                                 : rowBlocked(box.top - 1, box.left, box.right, false, &hit);
        if (blocked) {
            (direction > 0 ? floor : ceiling) = hit;
            break;
        }
        box.top += direction;
        box.bottom += direction;
        --left;
    }
    return box.top - startTop;
}

void TrelMover::move(TrelObject* object) {
    floor = ceiling = leftWall = rightWall = Contact();
    object->setSelfMoving(true);
    if (layer == nullptr || shapes == nullptr) {
        object->move(); // no ground to meet
        return;
    }
    layer->getMapSize(mapW, mapH);
    cells = layer->getMapData();
    TrelObject::Vec pos, size, speed, gravity;
    object->getPos(pos);
    object->getSize(size);
    object->getSpeed(speed);
    object->getGravity(gravity);
    Box box;
    cover(pos.x.raw, size.x.raw, box.left, box.right);
    cover(pos.y.raw, size.y.raw, box.top, box.bottom);
    const int startTop = box.top;
    startDrop(box);

    speed.x += gravity.x;
    const int dx = wholePixels(remainderX, speed.x);
    const int movedX = dx != 0 ? moveX(box, dx, speed.y + gravity.y < 0) : 0;
    pos.x.raw += movedX * 65536;
    if (movedX != dx) {
        speed.x = remainderX = fixedpoint::fix16();
    } else if (speed.x != 0) {
        // Pushed against a wall without moving into it: touching it all the same.
        const int column = speed.x > 0 ? box.right : box.left - 1;
        columnBlocked(column, box.top, box.bottom, speed.x > 0 ? &rightWall : &leftWall);
    }
    pos.y.raw += (box.top - startTop) * 65536; // climbed or kept on the ground
    speed.y += gravity.y;
    const int dy = wholePixels(remainderY, speed.y);
    const int movedY = dy != 0 ? moveY(box, dy) : 0;
    pos.y.raw += movedY * 65536;
    if (movedY != dy) {
        speed.y = remainderY = fixedpoint::fix16();
    } else if (speed.y >= 0) {
        // Resting on the ground (or on a one-way top) counts as touching it.
        rowBlocked(box.bottom, box.left, box.right, !dropping, &floor);
    } else {
        rowBlocked(box.top - 1, box.left, box.right, false, &ceiling);
    }
    object->setPos(pos.x, pos.y);
    object->setSpeed(speed.x, speed.y);
    if (box.bottom != dropLine)
        dropLine = kNoDrop; // below the tops it stood on (or risen): the drop is done
}

void TrelMover::startDrop(const Box& box) {
    const bool onSolid = rowBlocked(box.bottom, box.left, box.right, false, nullptr);
    if (dropRequested) {
        dropRequested = false;
        dropping = true;
        if (!onSolid && rowBlocked(box.bottom, box.left, box.right, true, nullptr))
            dropLine = box.bottom; // on one-way tops alone: in force until below them
    } else {
        if (dropLine != box.bottom || onSolid)
            dropLine = kNoDrop;
        dropping = dropLine != kNoDrop;
    }
}

void TrelMover::writeState(TrelState& state) const {
    state.add("mover remainder", remainderX, remainderY);
    if (dropLine != kNoDrop) // added only while in force, so that states without drops keep
        state.add("mover drop line", dropLine); // the values they always had
}
