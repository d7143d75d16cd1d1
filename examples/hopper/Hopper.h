#ifndef HOPPER_HOPPER_H
#define HOPPER_HOPPER_H

#include <trel.h>

#include <vector>

// guide: hopper-header
// The hero: runs with the arrow keys, jumps with Up, drops through planks with Down, and
// collects the coins it touches, each a checkpoint. It moves through the ground's cells with a
// TrelMover.
class Hopper : public TrelObject {
public:
    Hopper(TrelLayer* home, fixedpoint::fix16 x, fixedpoint::fix16 y, TrelResource* look,
           const TrelTileShapes* shapes);

    void onProcess() override;     // keys, then the move through the cells
    void onPostProcess() override; // coins, and the camera

    // The hero's frames and its animations "stand", "run" and "jump", from data/hopper.png.
    static TrelResource* loadLook(TrelSystem* game);

    TrelMover mover;
    int score = 0;
    std::vector<vmath::vec2<fixedpoint::fix16>> taken; // where the coins taken were
    void (*checkpoint)(Hopper& hero) = nullptr;        // called with each coin taken
    // The level's camera and tweens (objects of its zone, null until startLevel makes them).
    TrelCamera* camera = nullptr;
    TrelTweens* tweens = nullptr;
    TrelSound* jumpSound = nullptr; // owned by the system's audio; null plays nothing
    TrelSound* coinSound = nullptr;

private:
    // A coin taken, in its flight up.
    void sparkle(vmath::vec2<fixedpoint::fix16> at, TrelISprite* coin);

    TrelResource* look;        // not owned: the system's registry holds it
    fixedpoint::fix16 falling; // the speed down before the last move
    TrelOverlaps overlaps;
    std::vector<TrelOverlaps::Pair> touching;
};
// guide: end

#endif
