#ifndef TREL_ANIMATOR_H
#define TREL_ANIMATOR_H

#include "anim/TrelAnimation.h"
#include "base/TrelExport.h"

class TrelISprite;

// Plays one TrelAnimation, one tick per step(): which frame is shown, how many ticks it has
// been shown, and what happened in the last step. Integers only, so a game that steps it on
// the same ticks shows the same frames in every run. An object has one (TrelObject::play),
// which its layer steps at the start of each of the object's ticks.
class TREL_API TrelAnimator {
public:
    // Shows the animation's first frame (its last, reversed) from now, as a new start; null
    // stops. The animation must outlive its playing.
    void play(const TrelAnimation* animation);
    // Stops playing; the frame shown stays where the animator's owner put it.
    void stop() { play(nullptr); }
    // One tick: the frame has been shown one tick longer; once it has been shown for its
    // ticks, the next frame follows, or the animation finishes at the end of its last pass
    // and holds its last frame. Does nothing when stopped or finished.
    void step();

    const TrelAnimation* getAnimation() const { return animation; }
    bool isPlaying() const { return animation != nullptr && !finished; }
    // The frame shown, as an index into the animation's frames, and its sprite (null when
    // stopped or the animation has no frames).
    int getFrameIndex() const { return index; }
    TrelISprite* getSprite() const;
    // How many ticks the frame shown has been shown, counted from 0.
    int getTicksOnFrame() const { return ticksOnFrame; }
    // The passes completed since play().
    int getPass() const { return pass; }
    // Whether the current pass runs towards the first frame.
    bool isBackward() const { return backward; }
    // What the last step() (or play()) did: showed another frame; finished the animation.
    bool hasFrameChanged() const { return changed; }
    bool hasJustFinished() const { return justFinished; }
    // Finished: a kOnce animation, or one with passes, after its last pass. Stays true until
    // the next play().
    bool isFinished() const { return finished; }

private:
    const TrelAnimation* animation = nullptr; // not owned
    int index = 0;
    int ticksOnFrame = 0;
    int pass = 0;
    bool backward = false;
    bool finished = false;
    bool changed = false;
    bool justFinished = false;
};

#endif
