#ifndef TREL_OBJECT_H
#define TREL_OBJECT_H

#include <cstdint>

#include "anim/TrelAnimator.h"
#include "base/TrelExport.h"
#include "math/FixedPoint.h"
#include "math/Vec2.h"
#include "world/TrelObjectLook.h"

struct BITMAP;
class TrelISprite;
class TrelLayer;
class TrelObjectRef;
class TrelSystem;
class TrelZone;

// Base class of everything that moves or acts in a zone. Create objects with new; the
// constructor hands the object to its layer, which owns it from then on and deletes it at
// the end of the tick after destroy(). Never delete an object yourself.
class TREL_API TrelObject {
public:
    using Fixed = fixedpoint::fix16;
    using Vec = vmath::vec2<Fixed>;

    TrelObject(TrelLayer* layer, Fixed x, Fixed y, Fixed w, Fixed h);

    // The hooks a game overrides; the defaults do nothing. onDraw gets the renderer's
    // off-screen buffer right after the object's own image has been drawn.
    virtual void onDraw(BITMAP* buffer);
    virtual void onPreProcess();
    virtual void onProcess();
    virtual void onPostProcess();
    // Declared after the hooks so that they keep the first four slots; lets the layer
    // delete a derived object through this base.
    virtual ~TrelObject();

    TrelObject(const TrelObject&) = delete;
    TrelObject& operator=(const TrelObject&) = delete;

    TrelLayer* getLayer() { return layer; }
    TrelZone* getZone();
    TrelSystem* getSystem();

    // speed += gravity, then position += speed, x first. Called by the layer after onProcess.
    void move() {
        speed.x += gravity.x;
        pos.x += speed.x;
        speed.y += gravity.y;
        pos.y += speed.y;
    }

    void setPos(Fixed x, Fixed y) { pos = Vec(x, y); }
    void getPos(Vec& v) { v = pos; }
    void setSpeed(Fixed x, Fixed y) { speed = Vec(x, y); }
    void getSpeed(Vec& v) { v = speed; }
    void setAccel(Fixed x, Fixed y) { accel = Vec(x, y); }
    void getAccel(Vec& v) { v = accel; }
    void setDecel(Fixed x, Fixed y) { decel = Vec(x, y); }
    void getDecel(Vec& v) { v = decel; }
    void setGravity(Fixed x, Fixed y) { gravity = Vec(x, y); }
    void getGravity(Vec& v) { v = gravity; }
    void setSize(Fixed x, Fixed y) { size = Vec(x, y); }
    void getSize(Vec& v) { v = size; }
    // Not owned: the sprite belongs to a resource of the system's registry and must outlive
    // this object.
    void setSprite(TrelISprite* s) { sprite = s; }
    TrelISprite* getSprite() { return sprite; }

    // Plays the animation on this object: its sprite becomes the animation's current frame,
    // now and whenever the frame changes. The layer steps it at the start of each of the
    // object's ticks, before onPreProcess, so the hooks see that tick's frame and
    // getAnimator()'s hasFrameChanged() and hasJustFinished(). Playing the animation that is
    // already playing (finished or not) changes nothing unless restart is true, so a hook may
    // call play every tick. Null stops, as stopAnimation does. The animation must outlive its
    // playing (an animation of a resource lives as long as the resource's frames).
    void play(const TrelAnimation* animation, bool restart = false);
    // Stops the animation; the sprite stays at the frame shown.
    void stopAnimation() { animator.stop(); }
    const TrelAnimator& getAnimator() const { return animator; }

    // Whether the layer leaves moving this object to the game: true, move() is not called
    // after onProcess (a TrelMover sets it, as it moves the object itself). False by default.
    void setSelfMoving(bool self) { flags = self ? (flags | kSelfMoving) : (flags & ~kSelfMoving); }
    bool isSelfMoving() const { return (flags & kSelfMoving) != 0; }

    // Whether the object draws itself alone: true, the renderer draws neither its sprite nor
    // the placeholder ring and calls its onDraw only (a HUD's counter, a title's text). False by
    // default.
    void setSelfDrawn(bool self) { flags = self ? (flags | kSelfDrawn) : (flags & ~kSelfDrawn); }
    bool isSelfDrawn() const { return (flags & kSelfDrawn) != 0; }

    // Moves the object, as it is, to another layer, of this zone or of another (the hero
    // through a door into the next scene's level): at once when its zone is not being
    // processed or drawn, else once the zone's tick (or drawing) is over, so that the tick's
    // walks of both layers stay whole. It keeps its position, speed, flags and animation;
    // getLayer() names the new layer from then on. The target must live until then. Nothing
    // for a null target, its own layer, or a destroyed object.
    void travelTo(TrelLayer* target);
    // The layer travelTo is taking it to, until it has arrived; else null.
    TrelLayer* getTravelTarget() { return travelTarget; }

    // Draws the sprite mirrored: left to right, and/or top to bottom, about its centre.
    void setFlipped(bool horizontal, bool vertical) {
        flags = (flags & ~(kFlipX | kFlipY)) | (horizontal ? kFlipX : 0) | (vertical ? kFlipY : 0);
    }
    bool getFlippedX() const { return (flags & kFlipX) != 0; }
    bool getFlippedY() const { return (flags & kFlipY) != 0; }

    // A hidden object is not drawn at all (no sprite, no placeholder ring, no onDraw) but is
    // processed as any other: a controller, a trigger zone, or a HUD drawn by another object.
    // Objects are visible from the start; a visible object without a sprite is drawn as a
    // ring of its size.
    void setVisibility(bool visible) { flags = visible ? (flags & ~kHidden) : (flags | kHidden); }
    bool getVisibility() const { return (flags & kHidden) == 0; }

    // The sprite's look (TrelObjectLook): each call makes the object's look if it has none,
    // and the renderer then draws it so (in 15, 16, 24 and 32 bits; at 8 bits opacity is all
    // or nothing and there is no tint). Opacity and tint are Allegro's translucency blender:
    // the opacity with the sprite over what is below it, the tint (before the opacity) with
    // the colour over the sprite. At 15 and 16 bits it takes the amount (0 to 255) in 32
    // steps, (amount + 1) ÷ 8, spreads both pixels into one integer (0x07E0F81F: green apart
    // from red and blue) and makes below + (over - below) × steps ÷ 32 of it, so channels
    // borrow from each other where over is below; at 24 and 32 bits it is Allegro's blender of
    // that depth, in finer steps. A turn and a scale draw through Allegro's
    // pivot_scaled_sprite, the angle in radians turned into its 256 a turn (raw × 2670177 ÷
    // 2^16, rounded down).
    void setOpacity(int alpha);
    int getOpacity() const { return lookState != nullptr ? lookState->opacity : 255; }
    void setTint(int rgb, int amount);
    void setAngle(Fixed radians);
    Fixed getAngle() const { return lookState != nullptr ? lookState->angle : Fixed(); }
    void setScale(Fixed factor);
    Fixed getScale() const { return lookState != nullptr ? lookState->scale : Fixed(1); }
    // The point the sprite turns and scales about, from its centre, in the sprite's pixels;
    // the object's position stays where that point is drawn.
    void setPivot(int dx, int dy);
    // The sprite shown for period ticks and hidden for as many, over ticks ticks, counted by
    // the layer with the animation; the hooks and onDraw go on. 0 ticks stops a blink.
    void blink(int ticks, int period = 4);
    bool isBlinking() const { return lookState != nullptr && lookState->blinkLeft > 0; }
    // Whether the blink hides the sprite in this tick.
    bool isBlinkedOut() const {
        return isBlinking() && lookState->blinkPeriod > 0 &&
               (lookState->blinkLeft - 1) / lookState->blinkPeriod % 2 == 1;
    }
    void setDepth(int depth);
    int getDepth() const { return lookState != nullptr ? lookState->depth : 0; }
    // Null for an object whose look was never set.
    const TrelObjectLook* getLook() const { return lookState; }

    // Marks the object for deletion at the end of its layer's tick; it takes no further part
    // and is no longer drawn. A second call does nothing.
    void destroy();
    bool isDestroyed() const { return (flags & kDestroyed) != 0; }
    bool isNew() const { return (flags & kNew) != 0; }

    static const std::uint32_t kNew = 1; // cleared at the first visit of a pass
    static const std::uint32_t kDestroyed = 2;
    static const std::uint32_t kHidden = 4;
    static const std::uint32_t kFlipX = 8;
    static const std::uint32_t kFlipY = 16;
    static const std::uint32_t kSelfMoving = 32;
    static const std::uint32_t kSelfDrawn = 64;

    // Called by the layer's tick only, at an object's first visit.
    void clearNew_() { flags &= ~kNew; }
    // Called by the zone only, when a travelTo is carried out.
    void arrive_(TrelLayer* target) {
        layer = target;
        travelTarget = nullptr;
    }
    // Called by the layer's tick only: one tick of the animation playing, if any, and of the
    // blink.
    void stepAnimation_() {
        if (lookState != nullptr && lookState->blinkLeft > 0)
            --lookState->blinkLeft;
        if (animator.getAnimation() == nullptr)
            return;
        animator.step();
        if (animator.hasFrameChanged())
            sprite = animator.getSprite();
    }

private:
    TrelLayer* layer;
    Vec pos;     // centre, in pixels of the layer
    Vec speed;   // pixels per tick
    Vec accel;   // stored only
    Vec decel;   // stored only
    Vec gravity; // pixels per tick per tick
    Vec size;
    TrelISprite* sprite;
    std::uint32_t flags;
    TrelAnimator animator;
    TrelLayer* travelTarget = nullptr; // not owned
    // The first of the references to this object (TrelObjectRef), which its destructor clears.
    friend class TrelObjectRef;
    TrelObjectRef* firstRef = nullptr;
    TrelObjectLook* lookState = nullptr; // owned; made by the first setter of the look
    TrelObjectLook& ownLook();
};

#endif
