#include "gfx/TrelIGfx.h"

#include <allegro.h>

#include <algorithm>
#include <list>

#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "core/TrelInterface.h"
#include "core/TrelSystem.h"
#include "gfx/internal/TrelLookDrawer.h"
#include "gfx/internal/TrelStackCache.h"
#include "gfx/internal/TrelTileCache.h"
#include "scene/TrelSceneStack.h"
#include "world/TrelLayer.h"
#include "world/TrelObject.h"
#include "world/TrelZone.h"

namespace {

// A layer is drawn while it is visible and not destroyed: a destroyed one keeps its index
// until the purge at the end of the tick, but is not shown again.
bool isShown(TrelLayer* layer) {
    return layer != nullptr && layer->getVisibility() && !layer->isDestroyed();
}

} // namespace

TrelIGfx::~TrelIGfx() {
    releaseTileCaches();
}

int TrelIGfx::init_() {
    TrelSystem* system = owner->system;
    system->consprint("\n\nInitializing video!");

    width = system->screenWidth;
    height = system->screenHeight;
    scale = system->screenScale > 1 ? system->screenScale : 1;
    colorDepth = 16;
    driverAutodetect = GFX_AUTODETECT;
    driverFullscreen = GFX_AUTODETECT_FULLSCREEN;
    driverWindowed = GFX_AUTODETECT_WINDOWED;
    regionClippingDisabled = 0;

    system->consprintf("\nTrying mode: %ix%ix%i...", width * scale, height * scale, colorDepth);
    set_color_depth(colorDepth);
    if (set_gfx_mode(driverWindowed, width * scale, height * scale, 0, 0) != 0)
        system->giveError(0, "Could not open video device!\n%s", allegro_error);

    // The splash stays on screen until the first frame is copied over it.
    int white = makecol(255, 255, 255);
    textprintf_centre_ex(screen, font, SCREEN_W / 2, SCREEN_H - 40, white, -1, "Varnak %s",
                         TREL_VERSION_STRING);
    textprintf_centre_ex(screen, font, SCREEN_W / 2, SCREEN_H - 24, white, -1, "%s",
                         system->getName());

    system->consprint("\nSuccess!\n\nSetting switch mode...");
    owner->allegroState = 2;
    // Keep running while the window is in the background.
    if (set_display_switch_mode(SWITCH_BACKGROUND) != 0 &&
        set_display_switch_mode(SWITCH_BACKAMNESIA) != 0)
        system->consprint("\nFailed. Continuing anyway.");

    system->consprint("\nCreating buffer bitmaps...");
    buffer = create_bitmap(SCREEN_W / scale, SCREEN_H / scale);
    if (buffer == nullptr)
        system->giveError(0, "Could not create buffer bitmap!\n%s", allegro_error);
    target = buffer;
    return 1;
}

int TrelIGfx::initHeadless_() {
    TrelSystem* system = owner->system;
    width = system->screenWidth;
    height = system->screenHeight;
    colorDepth = 16;
    regionClippingDisabled = 0;
    system->consprint("\n\nCreating buffer bitmaps...");
    set_color_depth(colorDepth); // images load at the window's depth, as they would in one
    buffer = create_bitmap(width, height);
    if (buffer == nullptr)
        system->giveError(0, "Could not create buffer bitmap!\n%s", allegro_error);
    clear_bitmap(buffer);
    target = buffer;
    return 1;
}

void TrelIGfx::initOnFrame_(BITMAP* frame) {
    width = frame->w;
    height = frame->h;
    colorDepth = bitmap_color_depth(frame);
    regionClippingDisabled = 0;
    set_color_depth(colorDepth); // images load at the frame's depth
    buffer = target = frame;
    bufferOwned = false;
}

void TrelIGfx::deinit_() {
    if (!bufferOwned) { // the caller's frame: nothing was logged or created for it
        releaseTileCaches();
        buffer = target = nullptr;
        bufferOwned = true;
        return;
    }
    TrelSystem* system = owner->system;
    system->consprint("\n\nDestroying buffer bitmaps...");
    releaseTileCaches();
    target = nullptr;
    if (buffer != nullptr)
        destroy_bitmap(buffer);
    buffer = nullptr;
    if (owner->headless)
        return; // no video mode was opened
    system->consprint("\n\nClosing video device...");
    set_gfx_mode(GFX_TEXT, 0, 0, 0, 0);
    owner->allegroState = 1;
    system->consprint("\nDone!");
}

void TrelIGfx::updateScreen() {
    if (screen == nullptr) // headless there is none
        return;
    if (scale > 1)
        stretch_blit(buffer, screen, 0, 0, buffer->w, buffer->h, 0, 0, buffer->w * scale,
                     buffer->h * scale);
    else
        blit(buffer, screen, 0, 0, 0, 0, SCREEN_W, SCREEN_H);
}

bool TrelIGfx::saveFrame(const char* fileName) {
    if (buffer == nullptr || fileName == nullptr)
        return false;
    drawLoop();
    return save_bitmap(fileName, buffer, nullptr) == 0;
}

void TrelIGfx::disableRegionClipping() {
    if (target == nullptr)
        return;
    set_clip_rect(target, 0, 0, target->w - 1, target->h - 1);
    regionClippingDisabled = 1;
}

void TrelIGfx::releaseTileCaches() {
    for (LayerCache& kept : tileCaches) {
        delete kept.cache;
        delete kept.stack;
    }
    tileCaches.clear();
    delete lookDrawer;
    lookDrawer = nullptr;
}

TrelTileCache* TrelIGfx::tileCacheFor(const TrelLayer* layer) {
    for (LayerCache& kept : tileCaches) {
        if (kept.layer == layer && kept.planes == 0) {
            kept.lastDrawing = drawings;
            return kept.cache;
        }
    }
    if (tileCaches.size() >= kMaxTileCaches)
        return nullptr;
    tileCaches.push_back(LayerCache{layer, 0, new TrelTileCache(), nullptr, drawings});
    return tileCaches.back().cache;
}

TrelStackCache* TrelIGfx::stackCacheFor(const TrelLayer* first, int planes) {
    for (LayerCache& kept : tileCaches) {
        if (kept.layer == first && kept.planes == planes) {
            kept.lastDrawing = drawings;
            return kept.stack;
        }
    }
    if (tileCaches.size() >= kMaxTileCaches)
        return nullptr;
    tileCaches.push_back(LayerCache{first, planes, nullptr, new TrelStackCache(), drawings});
    return tileCaches.back().stack;
}

void TrelIGfx::dropIdleTileCaches() {
    std::size_t kept = 0;
    for (LayerCache& entry : tileCaches) {
        if (entry.lastDrawing + 1 >= drawings) {
            tileCaches[kept++] = entry;
        } else {
            delete entry.cache;
            delete entry.stack;
        }
    }
    tileCaches.resize(kept);
}

void TrelIGfx::drawLoop() {
    TrelSystem* system = owner->system;
    const TrelSceneStack& scenes = system->scenes;
    if (system->zone == nullptr && scenes.getCoveredCount() == 0)
        return;
    // The covered scenes that show, from the lowest up, each veiled by the scene above it.
    for (int i = scenes.getFirstShown(); i < scenes.getCoveredCount(); ++i) {
        drawInRegion(scenes.getCovered(i));
        veil(scenes.getCover(i)->dimColor, scenes.getCover(i)->dimAlpha);
    }
    if (system->zone != nullptr)
        drawInRegion(system->zone);
    int fadeColor = 0;
    const int fade = scenes.getFadeAlpha(fadeColor);
    veil(fadeColor, fade);
    updateScreen();
}

void TrelIGfx::drawInRegion(TrelZone* zone) {
    int x, y, w, h;
    zone->getCameraRegion(x, y, w, h);
    drawZone(zone, x, y, w, h);
}

void TrelIGfx::veil(int rgb, int alpha) {
    if (alpha <= 0 || target == nullptr)
        return;
    const int colour = makecol(rgb >> 16 & 0xff, rgb >> 8 & 0xff, rgb & 0xff);
    // Blending at 8 bits needs a colour map; without one the veil is all or nothing.
    const bool blends = alpha < 255 && (bitmap_color_depth(target) > 8 || color_map != nullptr);
    if (!blends && alpha < 128)
        return;
    if (blends) {
        set_trans_blender(0, 0, 0, alpha);
        drawing_mode(DRAW_MODE_TRANS, nullptr, 0, 0);
    }
    rectfill(target, 0, 0, target->w - 1, target->h - 1, colour); // within the clip
    solid_mode();
}

void TrelIGfx::drawZone(TrelZone* zone, int x, int y, int w, int h) {
    ++drawings;
    zone->setWalking_(true); // an onDraw's travelTo waits for the end of the drawing
    set_clip_rect(target, x, y, x + w - 1, y + h - 1);
    vmath::vec2<fixedpoint::fix16> camera;
    zone->getCameraPos(camera);
    // The world pixel that lands on pixel (0, 0) of the target.
    int shakeX, shakeY;
    zone->getViewShake(shakeX, shakeY);
    int ox = camera.x.toInt() - x + shakeX;
    int oy = camera.y.toInt() - y + shakeY;
    int background = zone->getBackgroundColor();

    animatedSet = nullptr; // the frames shown are worked out afresh for each drawing
    // The zone's time, as animated tiles count it.
    const int framerate = owner->system->framerate > 0 ? owner->system->framerate : 1;
    const std::int64_t ms = zone->getTicks() * 1000 / framerate;
    const int fill = background >= 0 ? makecol(background >> 16 & 0xff, background >> 8 & 0xff,
                                               background & 0xff)
                                     : -1;
    bool bare = background >= 0; // nothing drawn yet over the background
    int count = zone->getNumLayers();
    for (int i = 0; i < count; ++i) {
        TrelLayer* layer = zone->getLayer(i);
        if (!isShown(layer))
            continue;
        int lox = ox, loy = oy;
        layerOrigin(zone, layer, w, h, lox, loy);
        // The layers drawn first over a background can be composed together with it.
        if (bare) {
            i = drawStack(zone, i, count, ms, fill, lox, loy, x, y, w, h);
            bare = false;
        } else {
            drawImage(layer, lox, loy);
            drawTiles(layer, ms, lox, loy);
        }
        drawObjects(zone->getLayer(i), lox, loy, x, y, w, h);
    }
    if (bare) // no layer was drawn
        rectfill(target, x, y, x + w - 1, y + h - 1, fill);
    int veilColor;
    const int veilAlpha = zone->getViewVeil(veilColor);
    veil(veilColor, veilAlpha); // within the region, which the clip holds
    // The HUD, in the region's own pixels.
    TrelLayer* hud = zone->findHud();
    if (hud != nullptr && isShown(hud))
        drawObjects(hud, -x, -y, x, y, w, h);
    set_clip_rect(target, 0, 0, target->w - 1, target->h - 1);
    dropIdleTileCaches();
    zone->setWalking_(false);
}

void TrelIGfx::layerOrigin(TrelZone* zone, TrelLayer* layer, int w, int h, int& ox, int& oy) {
    using Fixed = fixedpoint::fix16;
    vmath::vec2<Fixed> offset, factor, camera, origin;
    layer->getDrawOffset(offset);
    layer->getParallax(factor);
    zone->getCameraPos(camera);
    zone->getParallaxOrigin(origin);
    // The layer's own camera: the zone's, less the draw offset and the parallax shift.
    const Fixed shiftX = offset.x + (Fixed(1) - factor.x) * (camera.x + Fixed(w) / 2 - origin.x);
    const Fixed shiftY = offset.y + (Fixed(1) - factor.y) * (camera.y + Fixed(h) / 2 - origin.y);
    // Whole pixels to the left and above: a shifted layer may sit at negative positions.
    if (shiftX != Fixed(0))
        ox += (camera.x - shiftX).floor() - camera.x.toInt();
    if (shiftY != Fixed(0))
        oy += (camera.y - shiftY).floor() - camera.y.toInt();
}

bool TrelIGfx::stackable(TrelLayer* layer) {
    int cols, rows, tw, th;
    layer->getMapSize(cols, rows);
    layer->getMapTileSize(tw, th);
    return layer->getImage() == nullptr && tw > 0 && th > 0 && layer->getOpacity() > 0 &&
           TrelStackCache::framesFit(layer->getTileset(), tw, th, bitmap_color_depth(target));
}

bool TrelIGfx::drawsObjects(TrelLayer* layer) {
    for (TrelObject* object : layer->getObjects_())
        if (object != nullptr && !object->isDestroyed() && object->getVisibility())
            return true;
    return false;
}

int TrelIGfx::stackEnd(TrelZone* zone, int first, int count, int ox, int oy, int w, int h) {
    TrelLayer* layer = zone->getLayer(first);
    int cols, rows, tw, th;
    layer->getMapSize(cols, rows);
    layer->getMapTileSize(tw, th);
    int last = first;
    // Hidden layers in between draw nothing, so they neither join nor end the stack.
    for (int next = first + 1; next < count && !drawsObjects(zone->getLayer(last)); ++next) {
        TrelLayer* other = zone->getLayer(next);
        if (!isShown(other))
            continue;
        int ncols, nrows, ntw, nth, nox = ox, noy = oy;
        other->getMapSize(ncols, nrows);
        other->getMapTileSize(ntw, nth);
        layerOrigin(zone, other, w, h, nox, noy);
        if (ncols != cols || nrows != rows || ntw != tw || nth != th || nox != ox || noy != oy ||
            !stackable(other))
            break;
        last = next;
    }
    return last;
}

int TrelIGfx::drawStack(TrelZone* zone, int first, int count, std::int64_t ms, int fill, int ox,
                        int oy, int x, int y, int w, int h) {
    TrelLayer* layer = zone->getLayer(first);
    int last = first;
    bool filled = false;
    if (stackable(layer)) {
        int cols, rows, tw, th;
        layer->getMapSize(cols, rows);
        layer->getMapTileSize(tw, th);
        last = stackEnd(zone, first, count, ox, oy, w, h);
        // Each plane's frames are its own: shownFrames reuses one list for animated tilesets.
        stackLayers.clear();
        for (int i = first; i <= last; ++i)
            if (isShown(zone->getLayer(i)))
                stackLayers.push_back(zone->getLayer(i));
        stackFrames.resize(stackLayers.size());
        for (std::size_t i = 0; i < stackLayers.size(); ++i)
            stackFrames[i] = shownFrames(stackLayers[i]->getTileset(), ms);
        int cs = std::max(ox / tw, 0), rs = std::max(oy / th, 0);
        int ce = std::min(ox / tw + target->w / tw + 2, cols);
        int re = std::min(oy / th + target->h / th + 2, rows);
        // The composed cells hold the background: where they cover the whole view, it need
        // not be filled first.
        if (cs * tw - ox > x || ce * tw - ox < x + w || rs * th - oy > y || re * th - oy < y + h) {
            rectfill(target, x, y, x + w - 1, y + h - 1, fill);
            filled = true;
        }
        TrelStackCache* cache = stackCacheFor(layer, last - first + 1);
        if (cache != nullptr &&
            cache->draw(stackLayers, stackFrames, fill, target, cs, ce, rs, re, ox, oy))
            return last;
    }
    if (!filled)
        rectfill(target, x, y, x + w - 1, y + h - 1, fill);
    for (int i = first; i <= last; ++i) {
        TrelLayer* plane = zone->getLayer(i);
        if (isShown(plane)) {
            drawImage(plane, ox, oy);
            drawTiles(plane, ms, ox, oy);
        }
    }
    return last;
}

void TrelIGfx::drawImage(TrelLayer* layer, int ox, int oy) {
    TrelISprite* image = layer->getImage();
    const int opacity = layer->getOpacity();
    if (image == nullptr || image->bitmap == nullptr || opacity <= 0)
        return;
    const int iw = image->bitmap->w, ih = image->bitmap->h;
    if (iw <= 0 || ih <= 0)
        return;
    // A repeated axis starts at the copy that covers the clip's first pixel.
    int x0 = -ox, x1 = x0 + iw;
    if (layer->getImageRepeatX()) {
        x0 = target->cl - ((target->cl - x0) % iw + iw) % iw;
        x1 = target->cr;
    }
    int y0 = -oy, y1 = y0 + ih;
    if (layer->getImageRepeatY()) {
        y0 = target->ct - ((target->ct - y0) % ih + ih) % ih;
        y1 = target->cb;
    }
    for (int sy = y0; sy < y1; sy += ih)
        for (int sx = x0; sx < x1; sx += iw)
            TrelTileCache::drawCell(target, image, 1, sx, sy, iw, ih, opacity);
}

void TrelIGfx::drawTiles(TrelLayer* layer, std::int64_t ms, int ox, int oy) {
    int cols, rows, tw, th;
    layer->getMapSize(cols, rows);
    layer->getMapTileSize(tw, th);
    if (tw <= 0 || th <= 0)
        return; // no tile has an extent to draw

    // Only the cells that can fall on the target are visited. One column and one row more
    // than the whole tiles that fit cover a partly visible last tile at any tile size.
    int c0 = ox / tw;
    int r0 = oy / th;
    int cs = c0, ce = c0 + target->w / tw + 2;
    int rs = r0, re = r0 + target->h / th + 2;
    // Frames drawn away from their cell reach the view from cells around it.
    int left, right, up, down;
    if (offsetReach(layer->getTileset(), tw, th, left, right, up, down)) {
        cs -= (right + tw - 1) / tw;
        ce += (left + tw - 1) / tw;
        rs -= (down + th - 1) / th;
        re += (up + th - 1) / th;
    }
    cs = std::max(cs, 0);
    rs = std::max(rs, 0);
    ce = std::min(std::max(ce, cs), cols);
    re = std::min(std::max(re, rs), rows);
    if (cs >= ce || rs >= re)
        return;

    int opacity = layer->getOpacity();
    if (opacity <= 0)
        return;
    const std::vector<TrelISprite*>& shown = shownFrames(layer->getTileset(), ms);
    // The cache gives the same pixels as drawing each cell; it declines the cells it cannot.
    TrelTileCache* cache = opacity < 255 ? nullptr : tileCacheFor(layer);
    if (cache == nullptr || !cache->draw(layer, shown, target, cs, ce, rs, re, ox, oy))
        drawCells(layer, shown, cs, ce, rs, re, ox, oy, opacity);
}

const std::vector<TrelISprite*>& TrelIGfx::shownFrames(TrelResource* tileset, std::int64_t ms) {
    if (tileset == nullptr)
        return noFrames;
    const std::vector<TrelTileAnimation>& animations = tileset->getTileAnimations();
    if (animations.empty())
        return tileset->frames;
    if (tileset == animatedSet)
        return animatedFrames; // another layer of the same tileset, in the same drawing
    animatedSet = tileset;
    animatedFrames = tileset->frames;
    const std::size_t count = animatedFrames.size();
    for (const TrelTileAnimation& animation : animations) {
        const auto tile = static_cast<std::size_t>(animation.tile);
        const auto frame = static_cast<std::size_t>(animation.frameAt(ms));
        if (tile < count && frame < count)
            animatedFrames[tile] = tileset->frames[frame];
    }
    return animatedFrames;
}

bool TrelIGfx::offsetReach(TrelResource* tileset, int tw, int th, int& left, int& right, int& up,
                           int& down) {
    left = right = up = down = 0;
    if (tileset == nullptr)
        return false;
    bool any = false;
    for (const TrelISprite* frame : tileset->frames) {
        if (frame == nullptr || (frame->offsetX == 0 && frame->offsetY == 0))
            continue;
        any = true;
        left = std::max(left, -frame->offsetX);
        right = std::max(right, frame->offsetX + frame->width - tw);
        up = std::max(up, -frame->offsetY);
        down = std::max(down, frame->offsetY + frame->height - th);
    }
    return any;
}

void TrelIGfx::drawCells(TrelLayer* layer, const std::vector<TrelISprite*>& shown, int cs, int ce,
                         int rs, int re, int ox, int oy, int opacity) {
    int tw, th;
    layer->getMapTileSize(tw, th);
    short** map = layer->getMapData();
    for (int r = rs; r < re; ++r) {
        const short* row = map[r];
        for (int c = cs; c < ce; ++c) {
            int v = row[c];
            if (v == 0)
                continue;
            // A negative value asks for a huge index and so finds no frame.
            const auto index = static_cast<unsigned int>(v - 1);
            TrelISprite* frame = index < shown.size() ? shown[index] : nullptr;
            TrelTileCache::drawCell(target, frame, v, c * tw - ox, r * th - oy, tw, th, opacity);
        }
    }
}

void TrelIGfx::drawSprite(BITMAP* image, int x, int y, bool flipX, bool flipY) {
    if (image == nullptr)
        return;
    if (flipX && flipY)
        draw_sprite_vh_flip(target, image, x, y);
    else if (flipX)
        draw_sprite_h_flip(target, image, x, y);
    else if (flipY)
        draw_sprite_v_flip(target, image, x, y);
    else
        draw_sprite(target, image, x, y);
}

void TrelIGfx::drawObjects(TrelLayer* layer, int ox, int oy, int x, int y, int w, int h) {
    layer->setDrawOrigin_(-ox, -oy);
    std::list<TrelObject*>& objects = layer->getObjects_();
    if (layer->getDrawOrder() != TrelLayer::kListOrder) {
        // A hook may add objects while they are drawn: those are drawn from the next frame.
        ordered.assign(objects.begin(), objects.end());
        const bool byY = layer->getDrawOrder() == TrelLayer::kByY;
        std::stable_sort(ordered.begin(), ordered.end(), [byY](TrelObject* a, TrelObject* b) {
            vmath::vec2<fixedpoint::fix16> pa, pb;
            a->getPos(pa);
            b->getPos(pb);
            return byY ? pa.y < pb.y : a->getDepth() < b->getDepth();
        });
        for (std::size_t i = 0; i < ordered.size(); ++i)
            drawObject(ordered[i], ox, oy, x, y, w, h);
        return;
    }
    // The layer's own cursor, re-read after each hook.
    for (layer->objectCursor = objects.begin(); layer->objectCursor != objects.end();
         ++layer->objectCursor)
        drawObject(*layer->objectCursor, ox, oy, x, y, w, h);
}

void TrelIGfx::drawObject(TrelObject* object, int ox, int oy, int x, int y, int w, int h) {
    if (object == nullptr || object->isDestroyed() || !object->getVisibility())
        return;
    if (!object->isSelfDrawn() && !object->isBlinkedOut()) {
        vmath::vec2<fixedpoint::fix16> pos;
        object->getPos(pos);
        const int px = pos.x.toInt() - ox;
        const int py = pos.y.toInt() - oy;
        TrelISprite* sprite = object->getSprite();
        if (sprite != nullptr && object->getLook() != nullptr) {
            if (lookDrawer == nullptr)
                lookDrawer = new TrelLookDrawer();
            lookDrawer->draw(target, sprite->bitmap, *object->getLook(), px, py,
                             object->getFlippedX(), object->getFlippedY());
        } else if (sprite != nullptr) {
            drawSprite(sprite->bitmap, px - sprite->width / 2, py - sprite->height / 2,
                       object->getFlippedX(), object->getFlippedY());
        } else {
            vmath::vec2<fixedpoint::fix16> size;
            object->getSize(size);
            ellipse(target, px, py, (size.x / 2).toInt(), (size.y / 2).toInt(),
                    makecol(255, 100, 0));
        }
    }
    object->onDraw(target);
    if (regionClippingDisabled)
        set_clip_rect(target, x, y, x + w - 1, y + h - 1);
}
