#include "gfx/internal/TrelLookDrawer.h"

#include <allegro.h>

#include <algorithm>
#include <cstdint>

#include "math/FixedMath.h"
#include "world/TrelObjectLook.h"

namespace {

// Radians in 16.16 as Allegro's angles, 256 a turn: raw × 256 ÷ 2π, rounded down.
fixed allegroAngle(fixedpoint::fix16 radians) {
    const std::int64_t scaled =
        static_cast<std::int64_t>(radians.raw) * 2670177; // 40.74... × 65536
    return static_cast<fixed>(scaled >= 0 ? scaled >> 16 : -((-scaled + 65535) >> 16));
}

void drawFlipped(BITMAP* to, BITMAP* image, int x, int y, bool flipX, bool flipY) {
    if (flipX && flipY)
        draw_sprite_vh_flip(to, image, x, y);
    else if (flipX)
        draw_sprite_h_flip(to, image, x, y);
    else if (flipY)
        draw_sprite_v_flip(to, image, x, y);
    else
        draw_sprite(to, image, x, y);
}

} // namespace

BITMAP* TrelLookDrawer::scratch(BITMAP* like, int w, int h, int slot) {
    ++uses;
    for (Scratch& entry : kept) {
        if (entry.slot == slot && entry.bitmap->w == w && entry.bitmap->h == h &&
            bitmap_color_depth(entry.bitmap) == bitmap_color_depth(like)) {
            entry.lastUse = uses;
            clear_to_color(entry.bitmap, bitmap_mask_color(entry.bitmap));
            return entry.bitmap;
        }
    }
    if (kept.size() >= kKept) {
        auto oldest =
            std::min_element(kept.begin(), kept.end(), [](const Scratch& a, const Scratch& b) {
                return a.lastUse < b.lastUse;
            });
        destroy_bitmap(oldest->bitmap);
        kept.erase(oldest);
    }
    BITMAP* made = create_bitmap_ex(bitmap_color_depth(like), w, h);
    if (made == nullptr)
        return nullptr;
    clear_to_color(made, bitmap_mask_color(made));
    kept.push_back(Scratch{made, slot, uses});
    return made;
}

void TrelLookDrawer::release() {
    for (Scratch& entry : kept)
        destroy_bitmap(entry.bitmap);
    kept.clear();
}

void TrelLookDrawer::draw(BITMAP* target, BITMAP* image, const TrelObjectLook& look, int x, int y,
                          bool flipX, bool flipY) {
    if (image == nullptr || look.opacity == 0 || look.scale.raw == 0)
        return;
    const bool turned = look.angle.raw != 0 || look.scale != fixedpoint::fix16(1);
    const bool eightBits = bitmap_color_depth(target) == 8;
    const bool tinted = look.tintAmount > 0 && !eightBits;
    const bool translucent = look.opacity < 255 && !eightBits;
    if (eightBits && look.opacity < 128)
        return; // no blender at 8 bits: all or nothing
    // The pivot, in the sprite's pixels from its top-left.
    const int cx = image->w / 2 + look.pivotX, cy = image->h / 2 + look.pivotY;
    if (!turned && !tinted && !translucent) {
        drawFlipped(target, image, x - cx, y - cy, flipX, flipY);
        return;
    }
    // Steps Allegro cannot chain go through bitmaps of their own: the flips first (the turn
    // and the blenders have none of their own), then the turn, then the tint, then the opacity.
    BITMAP* source = image;
    if ((flipX || flipY) && (turned || tinted || translucent)) {
        source = scratch(target, image->w, image->h, 0);
        if (source == nullptr)
            return;
        drawFlipped(source, image, 0, 0, flipX, flipY);
    }
    int left = x - cx, top = y - cy;
    if (turned) {
        // A square that holds the sprite in any turn about its pivot, the pivot at its centre.
        const int reachX = std::max(cx, image->w - cx), reachY = std::max(cy, image->h - cy);
        const std::int64_t reach = (fixedpoint::detail::hypotRaw(reachX, reachY) *
                                        static_cast<std::int64_t>(look.scale.raw) >>
                                    16) +
                                   2;
        const int side = static_cast<int>(std::min<std::int64_t>(2 * reach, 8192));
        if (!tinted && !translucent) {
            pivot_scaled_sprite(target, source, x, y, cx, cy, allegroAngle(look.angle),
                                look.scale.raw);
            return;
        }
        BITMAP* turnedImage = scratch(target, side, side, 1);
        if (turnedImage == nullptr)
            return;
        pivot_scaled_sprite(turnedImage, source, side / 2, side / 2, cx, cy,
                            allegroAngle(look.angle), look.scale.raw);
        source = turnedImage;
        left = x - side / 2;
        top = y - side / 2;
    }
    if (tinted) {
        set_trans_blender(look.tintColor >> 16 & 0xff, look.tintColor >> 8 & 0xff,
                          look.tintColor & 0xff, 0);
        if (!translucent) {
            draw_lit_sprite(target, source, left, top, look.tintAmount);
            return;
        }
        BITMAP* tintedImage = scratch(target, source->w, source->h, 2);
        if (tintedImage == nullptr)
            return;
        draw_lit_sprite(tintedImage, source, 0, 0, look.tintAmount);
        source = tintedImage;
    }
    if (translucent) {
        set_trans_blender(0, 0, 0, look.opacity);
        draw_trans_sprite(target, source, left, top);
    } else {
        draw_sprite(target, source, left, top);
    }
}
