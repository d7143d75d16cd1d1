#ifndef TREL_TWEENS_H
#define TREL_TWEENS_H

#include <cstdint>
#include <vector>

#include "base/TrelExport.h"
#include "tween/TrelEase.h"
#include "world/TrelObject.h"
#include "world/TrelObjectRef.h"

class TrelState;

// A zone's timers and tweens, counted in ticks: an object the game puts on a layer (hidden,
// drawing nothing), which steps them all in its onProcess. So they stand still with that
// layer: in a paused zone and in a scene covered by another, and they go with the zone.
//
// A timer calls back after N ticks, or every N ticks. A tween takes a value the game names (a
// 16.16 value, an integer, a 0xRRGGBB colour channel by channel, or an object's position) from
// one value to another over N ticks along an easing curve: in its k-th tick the value is
// from + (to - from) × curve(k ÷ N), k ÷ N rounded to the nearest 16.16 value (exact for the
// line), the product rounded to the nearest raw value, integer or channel, halves away from
// zero; so its last tick sets exactly to. A tween can wait before it starts, repeat, go back and
// forth, call back when it ends, and start others then. Each is given an owner, the object that
// holds its value (or none for a value that lives elsewhere): once the owner is destroyed the tween
// or timer is dropped without another step and without its callback.
//
// Each call returns an id (never 0, never reused) that the shaping calls take; they do nothing
// for an id that has ended. What is added in a step of the tweens starts in the next tick.
class TREL_API TrelTweens : public TrelObject {
public:
    using Callback = void (*)(void* user);

    explicit TrelTweens(TrelLayer* layer);

    int after(int ticks, Callback call, void* user, TrelObject* owner = nullptr);
    // times calls (0: until cancelled), the first after ticks ticks.
    int every(int ticks, Callback call, void* user, TrelObject* owner = nullptr, int times = 0);

    int tween(Fixed* value, Fixed from, Fixed to, int ticks, TrelEase::Curve curve,
              TrelObject* owner = nullptr);
    int tween(std::int32_t* value, std::int32_t from, std::int32_t to, int ticks,
              TrelEase::Curve curve, TrelObject* owner = nullptr);
    int tweenColour(std::int32_t* colour, std::int32_t from, std::int32_t to, int ticks,
                    TrelEase::Curve curve, TrelObject* owner = nullptr);
    // The object's position, from where it stands when the tween starts (after its delay, or
    // when the tween it follows ends); the object is the owner.
    int tweenPos(TrelObject* object, Vec to, int ticks, TrelEase::Curve curve);

    // Waits ticks ticks before the first step.
    void setDelay(int id, int ticks);
    // Plays times more times once through (-1: until cancelled); back and forth turns every
    // other playing around.
    void setRepeat(int id, int times, bool backAndForth = false);
    void setDone(int id, Callback call, void* user);
    // next, which waits from now on, starts when id ends (not when it is cancelled).
    void then(int id, int next);
    void cancel(int id);
    // Every timer and tween of the owner.
    void cancelAll(TrelObject* owner);
    bool isActive(int id) const;
    int getCount() const { return static_cast<int>(entries.size()); }

    // The tweens' and timers' progress, for the game's state function (TrelState).
    void writeState(TrelState& state) const;

    void onProcess() override;

private:
    enum Kind { kTimer, kFixed, kInteger, kColour, kPosition };
    struct Entry {
        int id = 0;
        Kind kind = kTimer;
        std::int32_t* target = nullptr; // the value: kFixed (its raw value), kInteger, kColour
        std::int32_t from = 0, to = 0;
        Vec fromPos, toPos;
        int ticks = 1;
        int elapsed = 0;
        int delay = 0;
        int repeats = 0;
        bool backAndForth = false;
        bool waiting = false; // for another to end
        bool hasOwner = false;
        bool ended = false;
        bool started = false;
        TrelObjectRef owner;
        TrelEase::Curve curve = TrelEase::kLinear;
        Callback call = nullptr; // a timer's, at each time it runs out
        void* user = nullptr;
        Callback done = nullptr; // at the end
        void* doneUser = nullptr;
        int readyAt = 0; // the first tick it steps in
        std::vector<int> next;
    };

    int add(Entry entry, TrelObject* owner);
    Entry* find(int id);
    const Entry* find(int id) const;
    // One tick of one entry: true when it has ended; call is set to the callback to make then.
    bool step(Entry& entry, Callback& call, void*& user);
    void apply(Entry& entry);
    void erase(int id);

    std::vector<Entry> entries; // by id, which rises
    int lastId = 0;
    int clock = 0;         // ticks stepped
    bool stepping = false; // in onProcess: entries are only marked ended, erased after
};

#endif
