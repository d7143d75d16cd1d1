#ifndef TREL_LAYER_H
#define TREL_LAYER_H

#include <cstdint>
#include <list>

#include "base/TrelExport.h"
#include "math/FixedPoint.h"
#include "math/Vec2.h"

class TrelISprite;
class TrelObject;
class TrelResource;
class TrelSystem;
class TrelZone;

// One plane of a zone: a map of 16-bit tile cells with its tileset, a visibility switch and
// the objects that live on it. Made by TrelZone::addLayer and deleted by the zone after
// destroy(). Cell 0 is empty; a cell v >= 1 shows frame v - 1 of the tileset.
class TREL_API TrelLayer {
public:
    using Fixed = fixedpoint::fix16;
    using Vec = vmath::vec2<Fixed>;

    TrelLayer(TrelZone* zone, unsigned mapW, unsigned mapH, unsigned tileW, unsigned tileH);
    ~TrelLayer(); // deletes every object still on the layer

    TrelLayer(const TrelLayer&) = delete;
    TrelLayer& operator=(const TrelLayer&) = delete;

    TrelZone* getZone() { return zone; }
    TrelSystem* getSystem();

    void getMapSize(int& w, int& h) {
        w = static_cast<int>(mapWidth);
        h = static_cast<int>(mapHeight);
    }
    void getMapTileSize(int& w, int& h) {
        w = static_cast<int>(tileWidth);
        h = static_cast<int>(tileHeight);
    }
    // The map's size in pixels.
    void getMapActualSize(int& w, int& h) {
        w = static_cast<int>(tileWidth * mapWidth);
        h = static_cast<int>(tileHeight * mapHeight);
    }
    // The same in 16.16 (exact while a side is at most 32767 pixels).
    void getMapActualSize(Fixed& w, Fixed& h) {
        w = Fixed(static_cast<int>(tileWidth * mapWidth));
        h = Fixed(static_cast<int>(tileHeight * mapHeight));
    }
    // Cells outside the map read 0 and ignore writes.
    short getMapTile(unsigned x, unsigned y) {
        return (x < mapWidth && y < mapHeight) ? rows[y][x] : 0;
    }
    void setMapTile(unsigned x, unsigned y, short value) {
        if (x < mapWidth && y < mapHeight)
            rows[y][x] = value;
    }
    // Unchecked access: getMapData()[y][x] for x < map width, y < map height.
    short** getMapData() { return rows; }

    // Not owned: the resource belongs to the system's registry and must outlive this layer.
    void setTileset(TrelResource* resource) { tileset = resource; }
    TrelResource* getTileset() { return tileset; }

    // Stored for games; the engine neither moves nor draws by them (setDrawOffset and
    // setParallax below move a layer's picture).
    void setOffset(Fixed x, Fixed y) { offset = Vec(x, y); }
    void getOffset(Vec& v) { v = offset; }
    void setScrollSpeed(Fixed x, Fixed y) { scrollSpeed = Vec(x, y); }
    void getScrollSpeed(Vec& v) { v = scrollSpeed; }
    void setScrollSpeedAuto(Fixed x, Fixed y) { scrollSpeedAuto = Vec(x, y); }
    void getScrollSpeedAuto(Vec& v) { v = scrollSpeedAuto; }

    // Where the renderer draws the layer, apart from the camera: shifted by the draw offset,
    // in pixels (a Tiled layer's offsetx/offsety), and moved by (1 - parallax factor) × (the
    // view's centre - the zone's parallax origin) on each axis, so that a factor of 1 (the
    // default) scrolls with the camera, 0 stays on the screen and 0.5 scrolls at half speed.
    // The layer's objects are drawn alike. The camera's clamp and the game's logic never read
    // them. See TrelZone::setParallaxOrigin.
    void setDrawOffset(Fixed x, Fixed y) { drawOffset = Vec(x, y); }
    void getDrawOffset(Vec& v) { v = drawOffset; }
    void setParallax(Fixed x, Fixed y) { parallax = Vec(x, y); }
    void getParallax(Vec& v) { v = parallax; }
    // An image shown under the layer's cells (a Tiled image layer): its top-left corner at the
    // layer's pixel (0, 0), repeated along x and/or y to fill the view, at the layer's
    // opacity. Not owned: it must outlive the layer. Null (the default) shows none.
    void setImage(TrelISprite* shown, bool repeatX = false, bool repeatY = false) {
        image = shown;
        imageRepeatX = repeatX;
        imageRepeatY = repeatY;
    }
    TrelISprite* getImage() { return image; }
    bool getImageRepeatX() { return imageRepeatX; }
    bool getImageRepeatY() { return imageRepeatY; }

    // How opaque the layer's tiles are drawn, 0 (not at all) to 255 (fully, the default);
    // values outside are clamped. Objects are drawn fully whatever it is. At 8 bits per
    // pixel, blending needs Allegro's color_map set; without it the tiles are drawn opaque.
    void setOpacity(int alpha) { opacity = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha); }
    int getOpacity() { return opacity; }

    void setVisibility(bool visible) { flags = visible ? (flags | kVisible) : (flags & ~kVisible); }
    bool getVisibility() { return (flags & kVisible) != 0; }

    // The order its objects are drawn in: the list's (the default), by their y from the top
    // down (a top-down game's: the nearer over the farther), or by their depth
    // (TrelObject::setDepth), lowest first; ties keep the list's order. The hooks run in the
    // list's order whatever this says.
    enum DrawOrder { kListOrder, kByY, kByDepth };
    void setDrawOrder(DrawOrder order) { drawOrder = order; }
    DrawOrder getDrawOrder() const { return drawOrder; }

    // Whether the layer stops while its zone is paused (TrelZone::setPaused): true, the
    // default. A layer that runs on (false) is how a paused zone still reads the key that
    // resumes it.
    void setPausable(bool pausable) {
        flags = pausable ? (flags & ~kRunsWhilePaused) : (flags | kRunsWhilePaused);
    }
    bool getPausable() const { return (flags & kRunsWhilePaused) == 0; }

    // Marks the layer for removal at the end of the zone's tick. A second call does nothing.
    void destroy();
    bool isDestroyed() const { return (flags & kDestroyed) != 0; }
    bool isNew() const { return (flags & kNew) != 0; }

    // One tick: onPreProcess of every object, then onProcess and move() of each, then
    // onPostProcess of every object, then the deletion of destroyed objects. Objects created
    // during a pass are reached in it, but only take part from their second visit. Once a hook
    // halts the zone (a scene change), no further hook or move of the tick runs; the deletion
    // still does.
    void process();
    // Called by the zone only, when it becomes a scene's: the layer and its objects take part
    // from this tick on, rather than from their second visit.
    void clearNew_();
    // Deletes every object at the next purge; objects created after that purge live on.
    void clearObjects() { clearObjectsRequested = true; }
    int getNumObjects() { return static_cast<int>(objects.size()) - pendingObjectRemovals; }

    // The objects in order of creation, destroyed ones included until the purge.
    const std::list<TrelObject*>& getObjects() const { return objects; }
    // The same list and the cursor that process, the purge and the renderer walk them with:
    // the engine's own.
    std::list<TrelObject*>& getObjects_() { return objects; }
    std::list<TrelObject*>::iterator objectCursor;

    // Where the layer's pixel (0, 0) lands on the target while its objects are drawn (the
    // camera, the region, the draw offset, the parallax and the view's shake taken in): for an
    // onDraw that draws in the layer's pixels, such as an emitter's particles.
    void getDrawOrigin(int& x, int& y) const {
        x = drawOriginX;
        y = drawOriginY;
    }
    // Called by the renderer only, before it draws the layer's objects.
    void setDrawOrigin_(int x, int y) {
        drawOriginX = x;
        drawOriginY = y;
    }

    // Called at the end of process and by the destructor.
    void purgeObjects_();
    // Called by the TrelObject constructor only.
    void addObject_(TrelObject* object) { objects.push_back(object); }
    // Called by TrelObject::destroy only.
    void noteObjectDestroyed_() { ++pendingObjectRemovals; }

    static const std::uint32_t kNew = 1;
    static const std::uint32_t kDestroyed = 2;
    static const std::uint32_t kVisible = 4;
    static const std::uint32_t kRunsWhilePaused = 8;

private:
    TrelZone* zone; // not owned: the zone that owns this layer
    unsigned mapWidth;
    unsigned mapHeight;
    unsigned tileWidth;
    unsigned tileHeight;
    short* cells; // owned: every cell, row after row
    short** rows; // owned: rows[r] points at row r inside cells
    Vec offset;
    Vec scrollSpeed;
    Vec scrollSpeedAuto;
    std::list<TrelObject*> objects; // owned
    TrelResource* tileset;
    std::int32_t pendingObjectRemovals;
    bool clearObjectsRequested;
    DrawOrder drawOrder = kListOrder;
    int drawOriginX = 0, drawOriginY = 0;
    std::uint32_t flags;
    int opacity = 255;
    Vec drawOffset;
    Vec parallax{Fixed(1), Fixed(1)};
    TrelISprite* image = nullptr; // not owned
    bool imageRepeatX = false;
    bool imageRepeatY = false;
};

#endif
