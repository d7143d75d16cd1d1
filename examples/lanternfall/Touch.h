#ifndef LANTERNFALL_TOUCH_H
#define LANTERNFALL_TOUCH_H

#include <trel.h>

// True when the two objects' boxes (their size, centred on their position) overlap.
inline bool touching(TrelObject* a, TrelObject* b) {
    vmath::vec2<fixedpoint::fix16> pa, pb, sa, sb;
    a->getPos(pa);
    b->getPos(pb);
    a->getSize(sa);
    b->getSize(sb);
    fixedpoint::fix16 dx = pa.x - pb.x, dy = pa.y - pb.y;
    fixedpoint::fix16 w = (sa.x + sb.x) / 2, h = (sa.y + sb.y) / 2;
    return -w < dx && dx < w && -h < dy && dy < h;
}

#endif
