#ifndef TREL_CAMERA_H
#define TREL_CAMERA_H

#include "base/TrelExport.h"
#include "world/TrelObject.h"
#include "world/TrelObjectRef.h"

class TrelRandom;

// A zone's camera work, counted in ticks: following a target with the dead zones authors
// know, shaking, flashing and fading. An object the game puts on the zone's HUD (which runs
// after every layer, so the target has moved when the camera looks), hidden, drawing nothing:
// it sets the zone's camera (kept inside the zone's bounds as ever) and its view effects
// (TrelZone::setViewShake, setViewVeil), which the renderer shows. It stands still with its
// layer, in a paused zone and in a covered scene.
class TREL_API TrelCamera : public TrelObject {
public:
    // How the camera follows: kLockOn keeps the target centred; kPlatformer lets it move in a
    // box an eighth of the view wide and a third high, a quarter of its height above the
    // middle; kTopDown in a square a quarter of the view's larger side, kTopDownTight an
    // eighth; kScreenByScreen moves a whole view at a time when the target leaves it.
    enum Style { kLockOn, kPlatformer, kTopDown, kTopDownTight, kScreenByScreen };

    // shakes draws the shakes' offsets: the system's effects generator, so that a shake
    // never shifts the play's numbers (not owned; it must outlive the camera).
    TrelCamera(TrelLayer* hud, TrelRandom* shakes);

    // Follows the target (null: stops following) with the style; each tick the camera closes
    // the share lerp of its way to where the style puts it (1, the default: at once; 1/8: a
    // smooth drift), rounded toward minus infinity. The target is held by a reference: once
    // it is destroyed the camera stays where it is.
    void follow(TrelObject* target, Style style, Fixed lerp = Fixed(1));
    // The dead zone the style gave, in the view's pixels (x, y, w, h), or another of the game's.
    void setDeadZone(int x, int y, int w, int h);
    void getDeadZone(int& x, int& y, int& w, int& h) const;

    // Shakes the view by up to amplitude whole pixels each way, drawn anew each tick for ticks
    // ticks, falling off in a straight line to nothing when fallOff is set.
    void shake(Fixed amplitude, int ticks, bool fallOff = true);
    // The view under the colour (0xRRGGBB), from whole to nothing over ticks ticks.
    void flash(int rgb, int ticks);
    // The view into the colour over ticks ticks, where it stays (out), or out of it (in).
    void fade(int rgb, int ticks, bool in = false);
    bool isShaking() const { return shakeLeft > 0; }
    bool isFlashing() const { return flashLeft > 0; }
    bool isFading() const { return fadeLeft > 0; }

    void onProcess() override;

private:
    void followTarget();
    Fixed closer(Fixed from, Fixed to) const;

    TrelRandom* random; // not owned
    TrelObjectRef target;
    Style style = kLockOn;
    Fixed lerp = Fixed(1);
    int deadX = 0, deadY = 0, deadW = 0, deadH = 0;
    Fixed amplitude;
    int shakeTicks = 0, shakeLeft = 0;
    bool fallOff = true;
    int flashColor = 0, flashTicks = 0, flashLeft = 0;
    int fadeColor = 0, fadeTicks = 0, fadeLeft = 0;
    bool fadingIn = false, fadedOut = false;
};

#endif
