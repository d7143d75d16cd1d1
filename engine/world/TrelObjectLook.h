#ifndef TREL_OBJECT_LOOK_H
#define TREL_OBJECT_LOOK_H

#include "math/FixedPoint.h"

// How an object's sprite is drawn beyond its place and flips: opacity, a tint, a turn and a
// scale about a pivot, a blink, and a depth for the layer's drawing order. An object holds one
// only once the game sets any of these (TrelObject::setOpacity and the others), so plain
// objects draw as before, as fast. The defaults are the plain look.
struct TrelObjectLook {
    int opacity = 255;       // 0 (not drawn) to 255 (opaque)
    int tintColor = 0;       // 0xRRGGBB
    int tintAmount = 0;      // 0 (none) to 255 (the colour alone, in the sprite's shape)
    fixedpoint::fix16 angle; // radians, clockwise on the screen
    fixedpoint::fix16 scale = fixedpoint::fix16(1);
    int pivotX = 0, pivotY = 0; // the pivot, from the sprite's centre, in the sprite's pixels
    int blinkLeft = 0;          // ticks of blinking left
    int blinkPeriod = 0;        // ticks shown, then as many hidden
    int depth = 0;              // for TrelLayer::kByDepth
};

#endif
