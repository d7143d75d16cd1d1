#include "Hopper.h"

#include <allegro.h>

using fixedpoint::fix16;

Hopper::Hopper(TrelLayer* home, fix16 x, fix16 y, TrelResource* frames,
               const TrelTileShapes* shapes)
    : TrelObject(home, x, y, fix16(10), fix16(20)), look(frames) {
    // guide: hopper-ground
    mover.setGround(home, shapes); // the cells of its own layer
    setGravity(fix16(), fix16(3) / 10);
    // guide: end
    play(look->findAnimation("stand"));
}

TrelResource* Hopper::loadLook(TrelSystem* game) {
    auto* frames = new TrelResource();
    game->addSpriteResource(frames); // the registry owns it
    if (frames->loadSheet("data/hopper.png", 16, 24) < 7)
        game->giveError(0, "%s", frames->getLoadError());
    const int sequences[3][5] = {{0, 1, -1}, {2, 3, 4, 5, -1}, {6, -1}};
    const char* names[3] = {"stand", "run", "jump"};
    for (int a = 0; a < 3; ++a) {
        TrelAnimation* animation = frames->addAnimation(new TrelAnimation(names[a]));
        for (int i = 0; sequences[a][i] >= 0; ++i)
            animation->addFrame(frames->getData(sequences[a][i]), a == 0 ? 30 : 6);
    }
    return frames;
}

// guide: hopper-move
void Hopper::onProcess() {
    const TrelInput& keys = getSystem()->input;
    vmath::vec2<fix16> v;
    getSpeed(v);
    v.x = fix16();
    if (keys.isDown(KEY_LEFT))
        v.x = fix16(-2);
    if (keys.isDown(KEY_RIGHT))
        v.x = fix16(2);
    // The last move says whether it stands on something.
    if (mover.isOnFloor() && keys.isDown(KEY_UP)) {
        v.y = fix16(-6);
        getSystem()->audio.mixer.play(jumpSound);
    }
    if (keys.wasPressed(KEY_DOWN))
        mover.dropThrough(); // one press: down through the planks it stands on
    setSpeed(v.x, v.y);
    falling = v.y;
    mover.move(this); // gravity, then x, then y, through the cells
    // guide: juice-landing
    // A hard landing shakes the view, a little.
    if (camera != nullptr && mover.isOnFloor() && falling > fix16(5))
        camera->shake(fix16(2), 10);
    // guide: end

    if (v.x != 0)
        setFlipped(v.x < 0, false);
    const char* now = !mover.isOnFloor() ? "jump" : v.x != 0 ? "run" : "stand";
    play(look->findAnimation(now));
}
// guide: end

// guide: hopper-coins
void Hopper::onPostProcess() {
    // Every object on the layer that overlaps another: the hero and a coin, here.
    overlaps.findPairs(getLayer(), touching);
    for (const TrelOverlaps::Pair& pair : touching) {
        TrelObject* other = pair.first == this    ? pair.second
                            : pair.second == this ? pair.first
                                                  : nullptr;
        if (other != nullptr && !other->isDestroyed()) {
            other->destroy();
            ++score;
            // Heard from where the coin is on the screen: pan 0 is left, 256 right.
            vmath::vec2<fix16> at, view;
            other->getPos(at);
            getZone()->getCameraPos(view);
            const int pan = (at.x - view.x).toInt() * TrelMixer::kPanRight / 320;
            getSystem()->audio.mixer.play(coinSound, TrelMixer::kFullVolume, pan);
            taken.push_back(at);
            sparkle(at, other->getSprite());
            if (checkpoint != nullptr)
                checkpoint(*this);
        }
    }
}

// guide: juice-coin
// The coin taken flies up and is gone, and the view flashes gold: a copy of its look, which
// has no size (so nothing overlaps it), tweened 24 pixels up and destroyed when it arrives.
void Hopper::sparkle(vmath::vec2<fix16> at, TrelISprite* coin) {
    if (tweens == nullptr)
        return;
    auto* flight = new TrelObject(getLayer(), at.x, at.y, fix16(), fix16());
    flight->setSprite(coin);
    const int up = tweens->tweenPos(flight, vmath::vec2<fix16>(at.x, at.y - fix16(24)), 20,
                                    TrelEase::kQuadOut);
    tweens->setDone(
        up, [](void* object) { static_cast<TrelObject*>(object)->destroy(); }, flight);
    camera->flash(0xffe070, 8);
}
// guide: end
// guide: end
