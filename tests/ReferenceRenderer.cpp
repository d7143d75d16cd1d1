#include "ReferenceRenderer.h"

#include <allegro.h>

#include <algorithm>
#include <cmath>

#include "trel.h"

namespace {

// The frame a cell of value v shows at ms into the zone: its tile animation's, if any.
TrelISprite* shownFrame(TrelResource* tileset, int v, long long ms) {
    if (tileset == nullptr)
        return nullptr;
    int index = v - 1;
    for (const TrelTileAnimation& animation : tileset->getTileAnimations())
        if (animation.tile == index)
            index = animation.frameAt(ms);
    return tileset->getData(static_cast<unsigned>(index));
}

} // namespace

void referenceDrawZone(TrelIGfx& gfx, BITMAP* target, TrelZone* zone, int x, int y, int w, int h) {
    BITMAP* engineTarget = gfx.getTarget();
    gfx.setTarget(target);
    set_clip_rect(target, x, y, x + w - 1, y + h - 1);
    vmath::vec2<fixedpoint::fix16> camera;
    zone->getCameraPos(camera);
    const int zoneX = camera.x.toInt() - x;
    const int zoneY = camera.y.toInt() - y;
    if (zone->getBackgroundColor() >= 0) {
        int rgb = zone->getBackgroundColor();
        rectfill(target, x, y, x + w - 1, y + h - 1, makecol(rgb >> 16, rgb >> 8 & 255, rgb & 255));
    }
    const long long ms = zone->getTicks() * 1000 / zone->getSystem()->framerate;
    for (int i = 0; i < zone->getNumLayers(); ++i) {
        TrelLayer* layer = zone->getLayer(i);
        if (layer == nullptr || layer->isDestroyed() || !layer->getVisibility())
            continue;
        // Shifted by the draw offset and by (1 - factor) x (view centre - parallax origin).
        vmath::vec2<fixedpoint::fix16> offset, factor, origin;
        layer->getDrawOffset(offset);
        layer->getParallax(factor);
        zone->getParallaxOrigin(origin);
        const double shiftX =
            offset.x.toDouble() +
            (1 - factor.x.toDouble()) * (camera.x.toDouble() + w / 2.0 - origin.x.toDouble());
        const double shiftY =
            offset.y.toDouble() +
            (1 - factor.y.toDouble()) * (camera.y.toDouble() + h / 2.0 - origin.y.toDouble());
        const int ox =
            shiftX == 0 ? zoneX : static_cast<int>(std::floor(camera.x.toDouble() - shiftX)) - x;
        const int oy =
            shiftY == 0 ? zoneY : static_cast<int>(std::floor(camera.y.toDouble() - shiftY)) - y;
        const int opacity = layer->getOpacity();
        set_trans_blender(0, 0, 0, opacity);
        if (TrelISprite* image = layer->getImage(); image != nullptr && opacity > 0) {
            // Every copy within 4096 pixels, repeated along the axes asked.
            const int iw = image->width, ih = image->height;
            const int reachX = layer->getImageRepeatX() ? 4096 / iw + 1 : 0;
            const int reachY = layer->getImageRepeatY() ? 4096 / ih + 1 : 0;
            for (int ky = -reachY; ky <= reachY; ++ky)
                for (int kx = -reachX; kx <= reachX; ++kx) {
                    if (opacity < 255)
                        draw_trans_sprite(target, image->bitmap, kx * iw - ox, ky * ih - oy);
                    else
                        draw_sprite(target, image->bitmap, kx * iw - ox, ky * ih - oy);
                }
        }
        int cols, rows, tw, th;
        layer->getMapSize(cols, rows);
        layer->getMapTileSize(tw, th);
        if (tw > 0 && th > 0) {
            int c0 = ox / tw, r0 = oy / th;
            int cs = std::max(c0, 0), rs = std::max(r0, 0);
            int ce = std::min(std::max(c0 + target->w / tw + 2, cs), cols);
            int re = std::min(std::max(r0 + target->h / th + 2, rs), rows);
            TrelResource* tileset = layer->getTileset();
            for (int r = rs; r < re; ++r) {
                for (int c = cs; c < ce; ++c) {
                    int v = layer->getMapData()[r][c];
                    if (v == 0)
                        continue;
                    int sx = c * tw - ox, sy = r * th - oy;
                    TrelISprite* frame = shownFrame(tileset, v, ms);
                    if (frame != nullptr && opacity < 255) {
                        draw_trans_sprite(target, frame->bitmap, sx, sy);
                    } else if (frame != nullptr) {
                        draw_sprite(target, frame->bitmap, sx, sy);
                    } else {
                        rect(target, sx, sy, sx + tw - 1, sy + th - 1, makecol(255, 0, 0));
                        textprintf_ex(target, font, sx, sy, makecol(255, 255, 255),
                                      makecol(255, 0, 0), "%i", v);
                    }
                }
            }
        }
        for (TrelObject* object : layer->getObjects()) {
            if (object == nullptr || object->isDestroyed() || !object->getVisibility())
                continue;
            vmath::vec2<fixedpoint::fix16> pos, size;
            object->getPos(pos);
            object->getSize(size);
            int px = pos.x.toInt() - ox, py = pos.y.toInt() - oy;
            if (TrelISprite* sprite = object->getSprite()) {
                BITMAP* flipped = create_bitmap(sprite->width, sprite->height);
                clear_to_color(flipped, bitmap_mask_color(flipped));
                for (int sy = 0; sy < sprite->height; ++sy)
                    for (int sx = 0; sx < sprite->width; ++sx)
                        putpixel(flipped, object->getFlippedX() ? sprite->width - 1 - sx : sx,
                                 object->getFlippedY() ? sprite->height - 1 - sy : sy,
                                 getpixel(sprite->bitmap, sx, sy));
                draw_sprite(target, flipped, px - sprite->width / 2, py - sprite->height / 2);
                destroy_bitmap(flipped);
            } else
                ellipse(target, px, py, (size.x / 2).toInt(), (size.y / 2).toInt(),
                        makecol(255, 100, 0));
            object->onDraw(target);
            if (gfx.regionClippingDisabled)
                set_clip_rect(target, x, y, x + w - 1, y + h - 1);
        }
    }
    set_clip_rect(target, 0, 0, target->w - 1, target->h - 1);
    gfx.setTarget(engineTarget);
}

int differingPixels(BITMAP* a, BITMAP* b, std::string* first) {
    int count = 0;
    for (int y = 0; y < a->h; ++y) {
        for (int x = 0; x < a->w; ++x) {
            if (getpixel(a, x, y) != getpixel(b, x, y)) {
                if (count == 0 && first != nullptr)
                    *first = "(" + std::to_string(x) + ", " + std::to_string(y) + ")";
                ++count;
            }
        }
    }
    return count;
}

void fillWithNoise(BITMAP* bitmap, unsigned seed) {
    for (int y = 0; y < bitmap->h; ++y) {
        for (int x = 0; x < bitmap->w; ++x) {
            unsigned h = (static_cast<unsigned>(x) * 73856093u) ^
                         (static_cast<unsigned>(y) * 19349663u) ^ seed;
            h *= 2654435761u;
            putpixel(bitmap, x, y, makecol(h >> 24, (h >> 16) & 255, (h >> 8) & 255));
        }
    }
}
