#include "tween/TrelTweens.h"

#include <algorithm>

#include "world/TrelState.h"

using fixedpoint::fix16;

namespace {

// The share of the way gone, as a fraction: numerator ÷ denominator.
struct Share {
    std::int64_t numerator, denominator;
};

// from + (to - from) × share, in 64 bits, halves away from zero.
std::int32_t nearest(std::int32_t from, std::int32_t to, Share share) {
    const std::int64_t part = (static_cast<std::int64_t>(to) - from) * share.numerator;
    const std::int64_t half = share.denominator / 2;
    const std::int64_t step =
        part >= 0 ? (part + half) / share.denominator : -((-part + half) / share.denominator);
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(static_cast<std::int64_t>(from) + step));
}

std::int32_t channels(std::int32_t from, std::int32_t to, Share share) {
    std::int32_t colour = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        colour |= nearest(from >> shift & 0xff, to >> shift & 0xff, share) << shift;
    return colour;
}

} // namespace

TrelTweens::TrelTweens(TrelLayer* home) : TrelObject(home, Fixed(), Fixed(), Fixed(), Fixed()) {
    setVisibility(false);
}

int TrelTweens::add(Entry entry, TrelObject* owner) {
    entry.id = ++lastId;
    entry.ticks = std::max(entry.ticks, 1);
    entry.hasOwner = owner != nullptr;
    entry.readyAt = clock + 1;
    entry.owner.set(owner);
    entries.push_back(entry);
    return entry.id;
}

int TrelTweens::after(int ticks, Callback call, void* user, TrelObject* owner) {
    Entry entry;
    entry.kind = kTimer;
    entry.target = nullptr;
    entry.from = entry.to = 0;
    entry.ticks = ticks;
    entry.call = call;
    entry.user = user;
    return add(entry, owner);
}

int TrelTweens::every(int ticks, Callback call, void* user, TrelObject* owner, int times) {
    const int id = after(ticks, call, user, owner);
    find(id)->repeats = times > 0 ? times - 1 : -1;
    return id;
}

int TrelTweens::tween(Fixed* value, Fixed from, Fixed to, int ticks, TrelEase::Curve curve,
                      TrelObject* owner) {
    Entry entry;
    entry.kind = kFixed;
    entry.target = value != nullptr ? &value->raw : nullptr;
    entry.from = from.raw;
    entry.to = to.raw;
    entry.ticks = ticks;
    entry.curve = curve;
    return add(entry, owner);
}

int TrelTweens::tween(std::int32_t* value, std::int32_t from, std::int32_t to, int ticks,
                      TrelEase::Curve curve, TrelObject* owner) {
    const int id = tween(static_cast<Fixed*>(nullptr), Fixed(), Fixed(), ticks, curve, owner);
    Entry* entry = find(id);
    entry->kind = kInteger;
    entry->target = value;
    entry->from = from;
    entry->to = to;
    return id;
}

int TrelTweens::tweenColour(std::int32_t* colour, std::int32_t from, std::int32_t to, int ticks,
                            TrelEase::Curve curve, TrelObject* owner) {
    const int id = tween(colour, from, to, ticks, curve, owner);
    find(id)->kind = kColour;
    return id;
}

int TrelTweens::tweenPos(TrelObject* object, Vec to, int ticks, TrelEase::Curve curve) {
    const int id = tween(static_cast<std::int32_t*>(nullptr), 0, 0, ticks, curve, object);
    Entry* entry = find(id);
    entry->kind = kPosition;
    entry->toPos = to;
    return id;
}

TrelTweens::Entry* TrelTweens::find(int id) {
    auto at = std::lower_bound(entries.begin(), entries.end(), id,
                               [](const Entry& entry, int key) { return entry.id < key; });
    return at != entries.end() && at->id == id && !at->ended ? &*at : nullptr;
}

const TrelTweens::Entry* TrelTweens::find(int id) const {
    return const_cast<TrelTweens*>(this)->find(id);
}

void TrelTweens::setDelay(int id, int ticks) {
    if (Entry* entry = find(id))
        entry->delay = std::max(ticks, 0);
}

void TrelTweens::setRepeat(int id, int times, bool backAndForth) {
    if (Entry* entry = find(id)) {
        entry->repeats = times < 0 ? -1 : times;
        entry->backAndForth = backAndForth;
    }
}

void TrelTweens::setDone(int id, Callback call, void* user) {
    if (Entry* entry = find(id)) {
        entry->done = call;
        entry->doneUser = user;
    }
}

void TrelTweens::then(int id, int next) {
    Entry* first = find(id);
    Entry* later = find(next);
    if (first == nullptr || later == nullptr || id == next)
        return;
    later->waiting = true;
    first->next.push_back(next);
}

bool TrelTweens::isActive(int id) const {
    return find(id) != nullptr;
}

void TrelTweens::cancel(int id) {
    if (Entry* entry = find(id)) {
        entry->ended = true;
        if (!stepping)
            erase(id);
    }
}

void TrelTweens::cancelAll(TrelObject* owner) {
    for (Entry& entry : entries)
        if (entry.hasOwner && entry.owner.get() == owner)
            entry.ended = true;
    if (!stepping)
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [](const Entry& entry) { return entry.ended; }),
                      entries.end());
}

void TrelTweens::erase(int id) {
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [id](const Entry& entry) { return entry.id == id; }),
                  entries.end());
}

void TrelTweens::apply(Entry& entry) {
    // Along the line, the exact fraction of the ticks gone; along a curve, its 16.16 value at
    // that fraction rounded to the nearest.
    Share share{entry.elapsed, entry.ticks};
    if (entry.curve != TrelEase::kLinear) {
        const std::int64_t t =
            (std::int64_t(entry.elapsed) * 65536 + entry.ticks / 2) / entry.ticks;
        share = Share{
            TrelEase::apply(entry.curve, Fixed::fromRaw(static_cast<std::int32_t>(t))).raw, 65536};
    }
    switch (entry.kind) {
    case kFixed:
    case kInteger:
        if (entry.target != nullptr)
            *entry.target = nearest(entry.from, entry.to, share);
        break;
    case kColour:
        if (entry.target != nullptr)
            *entry.target = channels(entry.from, entry.to, share);
        break;
    case kPosition:
        if (TrelObject* object = entry.owner.get())
            object->setPos(Fixed::fromRaw(nearest(entry.fromPos.x.raw, entry.toPos.x.raw, share)),
                           Fixed::fromRaw(nearest(entry.fromPos.y.raw, entry.toPos.y.raw, share)));
        break;
    case kTimer:
        break;
    }
}

bool TrelTweens::step(Entry& entry, Callback& call, void*& user) {
    if (entry.hasOwner && entry.owner.get() == nullptr)
        return true; // its owner is gone: no step, no callback
    if (entry.waiting || clock < entry.readyAt)
        return false;
    if (entry.delay > 0) {
        --entry.delay;
        return false;
    }
    if (entry.kind == kPosition && !entry.started)
        entry.owner.get()->getPos(entry.fromPos);
    entry.started = true;
    ++entry.elapsed;
    apply(entry);
    if (entry.elapsed < entry.ticks)
        return false;
    if (entry.kind == kTimer) {
        call = entry.call;
        user = entry.user;
    }
    if (entry.repeats != 0) {
        if (entry.repeats > 0)
            --entry.repeats;
        entry.elapsed = 0;
        if (entry.backAndForth) {
            std::swap(entry.from, entry.to);
            std::swap(entry.fromPos, entry.toPos);
        }
        return false;
    }
    if (entry.done != nullptr && call == nullptr) {
        call = entry.done;
        user = entry.doneUser;
    }
    return true;
}

void TrelTweens::onProcess() {
    ++clock;
    stepping = true;
    // By index: a callback may add entries, which start in the next tick.
    const std::size_t count = entries.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (entries[i].ended)
            continue;
        Callback call = nullptr;
        void* user = nullptr;
        const bool gone = entries[i].hasOwner && entries[i].owner.get() == nullptr;
        if (step(entries[i], call, user)) {
            entries[i].ended = true;
            for (int id : gone ? std::vector<int>() : entries[i].next)
                if (Entry* later = find(id)) {
                    later->waiting = false;
                    later->readyAt = clock + 1;
                }
        }
        if (call != nullptr)
            call(user); // last: it may add entries, which moves them
    }
    stepping = false;
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [](const Entry& entry) { return entry.ended; }),
                  entries.end());
}

void TrelTweens::writeState(TrelState& state) const {
    state.add("tweens", static_cast<std::int64_t>(entries.size()));
    for (const Entry& entry : entries) {
        state.subpart("tween", entry.id);
        state.add("elapsed", entry.elapsed);
        state.add("delay", entry.delay);
        state.add("repeats", entry.repeats);
        state.add("waiting", entry.waiting);
    }
}
