#ifndef TREL_ANIMATION_H
#define TREL_ANIMATION_H

#include <vector>

#include "base/TrelCString.h"
#include "base/TrelExport.h"

class TrelISprite;

// A named sequence of frames, each shown for a whole number of ticks, and the way it plays:
// looped, once, or back and forth, forward or reversed, for a number of passes. It holds no
// playing state: any number of objects can play one animation, each with its own TrelAnimator.
// The frames are not owned; a resource that owns the animation (TrelResource::addAnimation)
// owns them too.
class TREL_API TrelAnimation {
public:
    // kLoop starts again at the first frame after the last; kOnce plays one pass and holds
    // its last frame; kPingPong turns around at each end without showing the end frame twice.
    enum Mode { kLoop, kOnce, kPingPong };
    // kReverse starts at the last frame and runs towards the first (ping-pong turns from there).
    enum Direction { kForward, kReverse };

    struct Frame {
        TrelISprite* sprite; // not owned
        int ticks;           // at least 1
    };

    explicit TrelAnimation(const char* newName = nullptr) { name.set(newName); }

    const char* getName() const { return name.get(); }
    void setName(const char* newName) { name.set(newName); }

    // Appends a frame shown for ticks ticks (at least 1).
    void addFrame(TrelISprite* sprite, int ticks);
    // Appends a frame shown for ms milliseconds, in ticks by ticksFromMs.
    void addFrameMs(TrelISprite* sprite, int ms, int framerate) {
        addFrame(sprite, ticksFromMs(ms, framerate));
    }
    // Milliseconds as whole ticks at framerate ticks per second: the nearest number of ticks,
    // halves rounded up, and never less than one (100 ms is 6 ticks at 60 per second, 3 at 30;
    // 10 ms is 1 at 60).
    static int ticksFromMs(int ms, int framerate);

    int getFrameCount() const { return static_cast<int>(frames.size()); }
    // Null sprite and 0 ticks for an index outside the frames.
    Frame getFrame(int index) const;
    // The ticks of one pass over every frame.
    int getLength() const;

    void setMode(Mode newMode) { mode = newMode; }
    Mode getMode() const { return mode; }
    void setDirection(Direction newDirection) { direction = newDirection; }
    Direction getDirection() const { return direction; }
    // How many passes kLoop and kPingPong play before they finish, holding the last frame
    // shown; 0 (the default) plays on without end. A pass runs from one end to the other; in
    // ping-pong the passes after the first leave out the frame they turn at, so frames
    // 0 1 2 with 3 passes show 0 1 2 1 0 1 2. kOnce is always one pass.
    void setPasses(int count) { passes = count > 0 ? count : 0; }
    int getPasses() const { return passes; }

private:
    TrelCString name;
    std::vector<Frame> frames;
    Mode mode = kLoop;
    Direction direction = kForward;
    int passes = 0;
};

#endif
