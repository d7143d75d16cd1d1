#ifndef TREL_IGFX_H
#define TREL_IGFX_H

#include <cstdint>
#include <vector>

#include "base/TrelExport.h"

struct BITMAP;
class TrelISprite;
class TrelInterface;
class TrelLayer;
class TrelLookDrawer;
class TrelObject;
class TrelResource;
class TrelStackCache;
class TrelTileCache;
class TrelZone;

// The graphics device: the window, the one off-screen buffer every frame is composed in,
// the buffer's clip rectangle, and the copy to the screen. Held by value as
// TrelInterface::gfx.
class TREL_API TrelIGfx {
public:
    TrelIGfx() = default;
    // Frees what releaseTileCaches frees, which needs Allegro still running; a device that
    // was opened has done so in deinit_ already.
    ~TrelIGfx();

    TrelIGfx(const TrelIGfx&) = delete;
    TrelIGfx& operator=(const TrelIGfx&) = delete;

    // Draws the zone's visible layers in order (tiles, then each object's sprite centred on
    // its position followed by its onDraw hook) into target, clipped to the viewport at
    // (x, y) of w by h pixels, each layer moved by its draw offset and parallax (see
    // TrelLayer::setParallax) and its image (if any) under its cells. The buffer is not
    // cleared first, unless the zone has a background colour, which fills the viewport; then
    // the first layers that share a grid and a place, with no objects between them, are
    // composed once, masked cells included, and copied whole. Leaves the clip rectangle at
    // the whole bitmap. A tile is drawn at its cell plus its frame's drawing offset, at the
    // layer's opacity; an animated tile at the frame Tiled shows at the zone's time (see
    // TrelZone::getTicks). Each object's sprite is drawn mirrored as the object asks
    // (TrelObject::setFlipped). The opaque tiles of each layer are kept between frames and copied
    // in a few rectangles; the picture is the same, pixel for pixel, as drawing every cell, and
    // cells written through getMapData are seen at the next frame. A tile image that is drawn
    // into after it was loaded shows the change once it is loaded again or releaseTileCaches
    // is called. What is kept of a layer is freed once the layer has not been drawn by this
    // call or the one before.
    void drawZone(TrelZone* zone, int x, int y, int w, int h);
    // Draws the system's current zone into its camera region and copies the buffer to the
    // screen. Under it come the scenes it covers that show (TrelScene::showsBelow), the lowest
    // first, each dimmed as the scene above it says; over it, a transition's fade.
    void drawLoop();
    // Copies the whole buffer to the top-left of the screen, scaled up by the system's
    // screenScale (headless: does nothing).
    void updateScreen();
    // Draws the current frame as drawLoop does and saves the buffer to the file, in the
    // format its extension names (.png, .bmp, .tga, .pcx). False when there is no buffer or
    // the file cannot be written. Lets a test or a replay keep a picture of any tick.
    bool saveFrame(const char* fileName);
    // Lets an onDraw hook draw anywhere on the buffer; the renderer restores the viewport
    // clip after the hook returns. Does nothing while there is no target.
    void disableRegionClipping();
    // Forgets and frees what the renderer keeps of every layer's tiles, so that the next frame
    // reads each tile image afresh. Needs Allegro running; deinit_ calls it.
    void releaseTileCaches();

    // Called by TrelInterface::init only. Returns 1 whenever it returns (failures are fatal).
    int init_();
    // Called by TrelInterface::initHeadless only: the buffer alone, at 16 bits per pixel.
    int initHeadless_();
    // Called by TrelInterface::initOnFrame only: the caller's frame as the buffer, not owned.
    void initOnFrame_(BITMAP* frame);
    // Called by TrelInterface::deinit only, at most once after each init_.
    void deinit_();

    // The bitmap drawZone draws into: the buffer, unless a caller (a test's own renderer,
    // a picture of the zone for a menu) sets another; null sets the buffer again.
    BITMAP* getTarget() { return target; }
    void setTarget(BITMAP* bitmap) { target = bitmap != nullptr ? bitmap : buffer; }

    // The device's state, read-only for games: init_, initHeadless_, initOnFrame_, deinit_ and
    // setTarget set it.
    int width = 0; // the game's screen, as the buffer
    int height = 0;
    int scale = 1; // the window is this many times the screen on each side
    int colorDepth = 0;
    int driverAutodetect = 0;
    int driverFullscreen = 0;
    int driverWindowed = 0;
    TrelInterface* owner = nullptr; // not owned: the interface that holds this device
    int regionClippingDisabled = 0;
    BITMAP* target = nullptr; // not owned: aliases buffer while the device is open
    BITMAP* buffer = nullptr; // owned: created by init_, destroyed by deinit_

private:
    bool bufferOwned = true; // false for a frame handed to initOnFrame_

    // What is kept of one layer's tiles between frames; the layer is only compared, never
    // read through this pointer, so a layer deleted meanwhile does no harm.
    struct LayerCache {
        const TrelLayer* layer; // the layer, or the first of a stack
        int planes;             // 0 for one layer's TrelTileCache, else the stack's layers
        TrelTileCache* cache;   // owned, or null
        TrelStackCache* stack;  // owned, or null
        unsigned long lastDrawing;
    };
    // The most layers (or stacks) whose tiles are kept between frames, each in slots about
    // twice the view's size: the layers beyond them in a drawing are drawn cell by cell.
    static const std::size_t kMaxTileCaches = 32;
    // The cache of this layer, made on first use and marked as used by this drawing; null
    // when kMaxTileCaches are kept already.
    TrelTileCache* tileCacheFor(const TrelLayer* layer);
    // The cache of the stack of layers from first on, likewise (null alike).
    TrelStackCache* stackCacheFor(const TrelLayer* first, int planes);
    // Frees the caches of layers that neither this drawing nor the one before drew.
    void dropIdleTileCaches();

    // The zone in its camera region.
    void drawInRegion(TrelZone* zone);
    // Lays the colour (0xRRGGBB) over the whole target, alpha (0 to 255) opaque.
    void veil(int rgb, int alpha);
    // The world pixel of the layer that lands on the target's (0, 0), from the zone's (ox, oy):
    // moved by the layer's draw offset and parallax for a view of w × h pixels.
    static void layerOrigin(TrelZone* zone, TrelLayer* layer, int w, int h, int& ox, int& oy);
    // The layer's image, once or repeated over the clip rectangle.
    void drawImage(TrelLayer* layer, int ox, int oy);
    // Over a background colour (fill, a pixel of the target): the tiles of the visible layer
    // first, with the layers after it that draw at the same origin (ox, oy) on the same grid
    // and have no objects between them, composed by a TrelStackCache, or drawn one by one
    // where it declines. Returns the index of the last layer drawn, whose objects come next.
    // The background is filled into the viewport (x, y, w, h) first unless the composed
    // cells cover it.
    int drawStack(TrelZone* zone, int first, int count, std::int64_t ms, int fill, int ox, int oy,
                  int x, int y, int w, int h);
    // The last layer of the stack that starts at the stackable layer first, drawn at (ox, oy):
    // later layers join while they share its grid and place and can be stacked, and no
    // objects lie between them.
    int stackEnd(TrelZone* zone, int first, int count, int ox, int oy, int w, int h);
    // Whether the layer's tiles can be part of a stack: no image, every frame inside its cell.
    bool stackable(TrelLayer* layer);
    // Whether any of the layer's objects is drawn.
    static bool drawsObjects(TrelLayer* layer);
    void drawTiles(TrelLayer* layer, std::int64_t ms, int ox, int oy);
    // The frame each cell value shows ms milliseconds into the zone: the tileset's frames, with
    // each animated tile's replaced by its current one.
    const std::vector<TrelISprite*>& shownFrames(TrelResource* tileset, std::int64_t ms);
    // Each cell of columns [cs, ce) and rows [rs, re) with draw_sprite, in row order.
    void drawCells(TrelLayer* layer, const std::vector<TrelISprite*>& shown, int cs, int ce, int rs,
                   int re, int ox, int oy, int opacity);
    // How far, in pixels, the tileset's frames with a drawing offset reach beyond their
    // cell on each side; false when no frame has an offset.
    static bool offsetReach(TrelResource* tileset, int tw, int th, int& left, int& right, int& up,
                            int& down);
    // In the layer's drawing order (TrelLayer::setDrawOrder).
    void drawObjects(TrelLayer* layer, int ox, int oy, int x, int y, int w, int h);
    void drawObject(TrelObject* object, int ox, int oy, int x, int y, int w, int h);
    // An object's image with its top-left at (x, y), mirrored as asked.
    void drawSprite(BITMAP* image, int x, int y, bool flipX, bool flipY);

    std::vector<LayerCache> tileCaches;
    // The layers of the stack being drawn, and the frames each shows.
    std::vector<TrelLayer*> stackLayers;
    std::vector<std::vector<TrelISprite*>> stackFrames;
    // shownFrames' answer for the last animated tileset of this drawing, and that tileset.
    std::vector<TrelISprite*> animatedFrames;
    const TrelResource* animatedSet = nullptr;
    const std::vector<TrelISprite*> noFrames{}; // the frames of no tileset
    unsigned long drawings = 0;                 // drawZone calls so far
    // Draws the sprites whose look was set (owned; made when first needed, freed with the
    // tile caches).
    TrelLookDrawer* lookDrawer = nullptr;
    std::vector<TrelObject*> ordered; // a layer's objects in its drawing order
};

#endif
