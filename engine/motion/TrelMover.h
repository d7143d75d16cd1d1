#ifndef TREL_MOVER_H
#define TREL_MOVER_H

#include "base/TrelExport.h"
#include "math/FixedPoint.h"

class TrelLayer;
class TrelObject;
class TrelState;
class TrelTileShapes;

// Moves one object by its speed through the solid cells of a layer, exactly: in whole pixels,
// one at a time (so that nothing is passed through, at any speed), with the fraction of a
// pixel carried to the next tick, as integer platformers move. Each object that collides
// keeps a mover of its own and calls move(this) from onProcess, in place of the layer's
// move(); the first call marks the object so that the layer leaves it alone
// (TrelObject::setSelfMoving).
//
// The box is the object's size centred on its position; it covers the pixels it overlaps.
// Along x, then along y: speed += gravity; the whole pixels of remainder + speed are moved
// one by one, and what is left carries over. A pixel step is refused where the box would
// cover a solid pixel; the object then touches a wall, floor or ceiling there, and that
// axis's speed and remainder become 0 (the other axis keeps both). An object that ends a
// move against a wall or ceiling its speed points to, or on the ground while not rising,
// touches it too. One-way cells stop only
// an object coming down onto their top row; a slope or a ledge of at most getStepHeight()
// pixels is climbed by an object standing on something, and one walking off such a ledge or
// down a slope (not rising) is kept on the ground. Cells outside the layer are empty.
class TREL_API TrelMover {
public:
    // The cell a contact was made with, or touched false.
    struct Contact {
        bool touched = false;
        int column = -1;
        int row = -1;
    };

    // The layer whose cells the object meets, and what each cell value is; not owned, and
    // read at every move. The layer's tile size must be the shapes'.
    void setGround(TrelLayer* layer, const TrelTileShapes* shapes);
    // How many pixels a step on the ground may climb or drop (1 by default, enough for a
    // slope of 45 degrees; 2 for one twice as steep). At least 0.
    void setStepHeight(int pixels) { stepHeight = pixels > 0 ? pixels : 0; }
    int getStepHeight() const { return stepHeight; }
    // Lets the object pass down through one-way cells. Called while it stands on one-way tops
    // (and nothing solid), the drop lasts until it has passed below them, however many ticks
    // its speed takes to carry it a pixel down (isOnFloor() reads false meanwhile), or until
    // cancelDrop(), or until it rises or comes to stand on something solid; otherwise it lets
    // only the next move pass through them. One call, on the tick Down is pressed, is enough.
    void dropThrough() { dropRequested = true; }
    void cancelDrop() { dropRequested = false, dropLine = kNoDrop; }
    // Whether a drop is asked for or in force.
    bool isDropping() const { return dropRequested || dropLine != kNoDrop; }

    // One tick of the object's movement, as described above; without a ground set, as the
    // layer's move() would move it.
    void move(TrelObject* object);

    // What the last move touched.
    const Contact& getFloor() const { return floor; }
    const Contact& getCeiling() const { return ceiling; }
    const Contact& getLeftWall() const { return leftWall; }
    const Contact& getRightWall() const { return rightWall; }
    bool isOnFloor() const { return floor.touched; }
    // The fraction of a pixel carried to the next tick, on each axis: in [0, 1).
    fixedpoint::fix16 getRemainderX() const { return remainderX; }
    fixedpoint::fix16 getRemainderY() const { return remainderY; }
    // Adds the remainders (and a drop in force) to a state, for a game's state function: they
    // decide the next moves.
    void writeState(TrelState& state) const;

private:
    struct Box {
        int left, right, top, bottom; // the pixels covered: [left, right) x [top, bottom)
    };

    // Whether a solid pixel lies in pixel column x, rows [top, bottom); the first one's cell.
    bool columnBlocked(int x, int top, int bottom, Contact* hit) const;
    // Whether a solid pixel (or, with oneWay, a one-way cell's top row) lies in row y,
    // columns [left, right); the first one's cell.
    bool rowBlocked(int y, int left, int right, bool oneWay, Contact* hit) const;
    bool supported(const Box& box) const;
    int valueAt(int column, int row) const;
    // The cell column of pixel column x, and the cell row of pixel row y.
    int cellX(int x) const { return shiftX >= 0 ? x >> shiftX : floorDiv(x, tileW()); }
    int cellY(int y) const { return shiftY >= 0 ? y >> shiftY : floorDiv(y, tileH()); }
    int tileW() const;
    int tileH() const;
    static int floorDiv(int a, int b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

    // Moves by dx whole pixels along x; returns the pixels moved.
    int moveX(Box& box, int dx, bool rising);
    int moveY(Box& box, int dy);
    // Pixels the box can move along x at once with no step to check (nothing ahead, and the
    // ground under it neither lost nor found): 0 when the next step must be checked alone.
    int freeRunX(const Box& box, int direction, int most, bool rising, bool ground) const;
    int freeRunY(const Box& box, int direction, int most) const;
    bool stepUp(Box& box, int direction, int column) const;
    // Keeps an object that walked off its ground on the ground within the step height below;
    // false when there is none.
    bool stepDown(Box& box) const;
    // Whether this move drops through one-way tops, and whether a drop starts or ends.
    void startDrop(const Box& box);

    TrelLayer* layer = nullptr;
    const TrelTileShapes* shapes = nullptr;
    short** cells = nullptr; // the layer's, read at the start of each move
    int mapW = 0, mapH = 0;
    int shiftX = -1, shiftY = -1; // log2 of the tile size, or -1 when it is no power of two
    int stepHeight = 1;
    static const int kNoDrop = -2147483647 - 1;
    // Whether this move passes through one-way tops: asked for, or a drop still in force.
    bool dropping = false;
    bool dropRequested = false;
    int dropLine = kNoDrop; // the one-way tops a drop in force started on: the box's bottom
    fixedpoint::fix16 remainderX, remainderY;
    Contact floor, ceiling, leftWall, rightWall;
};

#endif
