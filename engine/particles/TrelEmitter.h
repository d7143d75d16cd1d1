#ifndef TREL_EMITTER_H
#define TREL_EMITTER_H

#include <cstdint>
#include <vector>

#include "base/TrelExport.h"
#include "world/TrelObject.h"

class TrelRandom;
class TrelResource;
class TrelState;

// Particles, counted in ticks and computed in 16.16: an object the game puts on a layer that
// emits at a rate or in bursts from its position, steps its particles in its onProcess and
// draws them itself, in the layer's pixels. Its particles live in a pool of the size given, so
// nothing is allocated per particle or per tick (a pool that is full emits nothing more until
// one dies). Every number is drawn from the generator handed in (the system's effects stream),
// so a replay emits the same particles.
class TREL_API TrelEmitter : public TrelObject {
public:
    // What each particle is given when emitted (a range draws an even value in it) and how it
    // changes over its life: speed += gravity, then speed -= speed × drag, then position +=
    // speed, each tick; opacity, colour and size go in a straight line from their start to
    // their end over its life (colour channel by channel).
    struct Settings {
        Fixed perTick;                  // particles a tick, fractions carried over; 0: bursts only
        int lifeMin = 30, lifeMax = 30; // ticks
        Fixed speedMin, speedMax;       // pixels a tick
        Fixed angleMin, angleMax;       // radians: 0 right, a quarter turn down
        Vec gravity;                    // pixels a tick, each tick
        Fixed drag;                     // the share of its speed a particle loses a tick
        int spreadX = 0, spreadY = 0;   // emitted up to this far each way from the position
        int opacityStart = 255, opacityEnd = 255;
        int colourStart = 0xffffff, colourEnd = 0xffffff; // for particles of pixels
        int sizeStart = 1, sizeEnd = 1;                   // their side, in pixels
        // A look of frames instead of pixels (not owned: the resource must outlive the
        // emitter): each particle shows its frames in turn over its life.
        TrelResource* frames = nullptr;
    };

    // capacity particles at most; random not owned (it must outlive the emitter).
    TrelEmitter(TrelLayer* layer, Fixed x, Fixed y, TrelRandom* random, int capacity);

    void setSettings(const Settings& given) { settings = given; }
    Settings& getSettings() { return settings; }
    // count particles now (as many as the pool has room for).
    void burst(int count);
    // Whether it emits at its rate each tick (true from the start).
    void setEmitting(bool on) { emitting = on; }
    int getLiveCount() const { return static_cast<int>(live); }
    int getCapacity() const { return static_cast<int>(pool.size()); }

    // The particles, for the game's state function (TrelState).
    void writeState(TrelState& state) const;

    void onProcess() override;
    void onDraw(BITMAP* buffer) override;

private:
    struct Particle {
        Vec pos, speed;
        std::int32_t age, life;
    };
    void emit();
    void drawPixels(BITMAP* buffer, const Particle& particle, int ox, int oy);
    void drawFrame(BITMAP* buffer, const Particle& particle, int ox, int oy);

    TrelRandom* random; // not owned
    Settings settings;
    std::vector<Particle> pool; // the live ones first
    std::size_t live = 0;
    Fixed owed; // the fraction of a particle the rate owes
    bool emitting = true;
};

#endif
