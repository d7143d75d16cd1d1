#ifndef TREL_LOOK_DRAWER_H
#define TREL_LOOK_DRAWER_H

#include <vector>

struct BITMAP;
struct TrelObjectLook;

// Draws a sprite with an object's look (TrelObjectLook): flipped, turned and scaled about its
// pivot, tinted, and at its opacity, through Allegro's own functions and blenders, with
// off-screen bitmaps of its own for the steps that Allegro cannot chain. Engine-internal: the
// renderer's (TrelIGfx), which calls release before Allegro stops.
class TrelLookDrawer {
public:
    TrelLookDrawer() = default;
    ~TrelLookDrawer() { release(); }
    TrelLookDrawer(const TrelLookDrawer&) = delete;
    TrelLookDrawer& operator=(const TrelLookDrawer&) = delete;

    // The sprite's pivot lands on (x, y) of the target, which its clip clips.
    void draw(BITMAP* target, BITMAP* image, const TrelObjectLook& look, int x, int y, bool flipX,
              bool flipY);
    // Frees the bitmaps kept between drawings.
    void release();

private:
    struct Scratch {
        BITMAP* bitmap;
        int slot;
        unsigned lastUse;
    };
    // A bitmap of w × h at the target's depth, cleared to its mask colour; the slot tells the
    // steps of one drawing apart. At most kKept are kept, the least lately used going first.
    BITMAP* scratch(BITMAP* like, int w, int h, int slot);
    static const std::size_t kKept = 16;

    std::vector<Scratch> kept;
    unsigned uses = 0;
};

#endif
