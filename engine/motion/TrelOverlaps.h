#ifndef TREL_OVERLAPS_H
#define TREL_OVERLAPS_H

#include <cstdint>
#include <vector>

#include "base/TrelExport.h"
#include "math/FixedPoint.h"

class TrelLayer;
class TrelObject;
class TrelZone;

// Which objects touch: every pair of objects whose boxes overlap, and every object whose box
// overlaps a rectangle. An object's box is its size centred on its position, in 16.16 exactly;
// boxes that only share an edge do not overlap, and a box of no width or height overlaps
// nothing. Destroyed objects take no part. Answers come in list order, the same in every run.
// Pairs are found through a uniform grid, so that n objects spread over a level cost about
// n, not n × n, comparisons; keep one finder and reuse it, so that its memory is reused too.
class TREL_API TrelOverlaps {
public:
    struct Pair {
        TrelObject* first; // the earlier of the two in list order
        TrelObject* second;
    };

    // The overlapping pairs of the layer's objects, each once, ordered by their first object's
    // place in the list, then their second's. Replaces what pairs held.
    void findPairs(TrelLayer* layer, std::vector<Pair>& pairs);
    // The same over every layer of the zone together, layer after layer in order (for games
    // whose layers share one set of coordinates).
    void findPairs(TrelZone* zone, std::vector<Pair>& pairs);
    // The layer's objects whose boxes overlap the rectangle whose top-left corner is (x, y),
    // in list order. Replaces what found held.
    static void findInside(TrelLayer* layer, fixedpoint::fix16 x, fixedpoint::fix16 y,
                           fixedpoint::fix16 w, fixedpoint::fix16 h,
                           std::vector<TrelObject*>& found);

private:
    struct Box {
        std::int64_t left, top, right, bottom; // 16.16, right and bottom excluded
        TrelObject* object;
    };

    void collect(TrelLayer* layer);
    void pairUp(std::vector<Pair>& pairs);
    // Sizes the grid to the boxes, then places them.
    void fillGrid();
    // Places each box in the grid cells it covers (cellStart, cellBoxes), or among the
    // oversized ones.
    void placeBoxes();
    void pairCell(int cell, std::vector<std::pair<int, int>>& found);

    std::vector<Box> boxes; // in list order
    std::int64_t originX = 0, originY = 0;
    int cellShift = 0; // grid cells are 2^cellShift raw units on a side
    int columns = 0, rows = 0;
    std::vector<int> cellStart; // boxes of cell c: cellBoxes[cellStart[c] .. cellStart[c + 1])
    std::vector<int> cellBoxes;
    std::vector<int> oversized; // boxes over more cells than the grid should hold: tested alone
    std::vector<std::pair<int, int>> found;
};

#endif
