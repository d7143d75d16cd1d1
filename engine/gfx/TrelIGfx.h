#ifndef TREL_IGFX_H
#define TREL_IGFX_H

#include "core/TrelExport.h"

struct BITMAP;
class TrelInterface;
class TrelLayer;
class TrelResource;
class TrelZone;

// The graphics device: the window, the one off-screen buffer every frame is composed in,
// the buffer's clip rectangle, and the copy to the screen. Held by value as
// TrelInterface::gfx.
class TREL_API TrelIGfx {
public:
    TrelIGfx() = default;

    // Draws the zone's visible layers in order (tiles, then each object's sprite centred on
    // its position followed by its onDraw hook) into target, clipped to the viewport at
    // (x, y) of w by h pixels. The buffer is not cleared first. Leaves the clip rectangle at
    // the whole bitmap. A tile is drawn at its cell plus its frame's drawing offset, at the
    // layer's opacity. The opaque tiles of each layer are kept between frames and copied in
    // a few rectangles; the picture is the same, pixel for pixel, as drawing every cell, and
    // cells written through getMapData are seen at the next frame. A tile image that is drawn
    // into after it was loaded must be loaded again to show the change.
    void drawZone(TrelZone* zone, int x, int y, int w, int h);
    // Draws the system's current zone into its camera region and copies the buffer to the
    // screen.
    void drawLoop();
    // Copies the whole buffer to the top-left of the screen.
    void updateScreen();
    // Lets an onDraw hook draw anywhere on the buffer; the renderer restores the viewport
    // clip after the hook returns. Does nothing while there is no target.
    void disableRegionClipping();

    // Called by TrelInterface::init only. Returns 1 whenever it returns (failures are fatal).
    int init_();
    // Called by TrelInterface::deinit only, at most once after each init_.
    void deinit_();

    int width = 0;
    int height = 0;
    int colorDepth = 0;
    int driverAutodetect = 0;
    int driverFullscreen = 0;
    int driverWindowed = 0;
    TrelInterface* owner = nullptr; // not owned: the interface that holds this device
    int regionClippingDisabled = 0;
    BITMAP* target = nullptr; // not owned: aliases buffer while the device is open
    BITMAP* buffer = nullptr; // owned: created by init_, destroyed by deinit_

private:
    void drawTiles(TrelLayer* layer, int ox, int oy);
    // Each cell of columns [cs, ce) and rows [rs, re) with draw_sprite, in row order.
    void drawCells(TrelLayer* layer, int cs, int ce, int rs, int re, int ox, int oy,
                   int opacity);
    // How far, in pixels, the tileset's frames with a drawing offset reach beyond their
    // cell on each side; false when no frame has an offset.
    static bool offsetReach(TrelResource* tileset, int tw, int th, int& left, int& right,
                            int& up, int& down);
    void drawObjects(TrelLayer* layer, int ox, int oy, int x, int y, int w, int h);
};

#endif
