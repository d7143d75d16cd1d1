#ifndef TREL_RANDOM_H
#define TREL_RANDOM_H

#include <cstddef>
#include <cstdint>

#include "base/TrelExport.h"
#include "math/FixedPoint.h"

// The engine's random numbers: PCG32 (O'Neill's PCG-XSH-RR, 64 bits of state, 32-bit
// outputs, one of 2^63 streams chosen by the stream number), in integer arithmetic only, so the
// same seed gives the same numbers on every compiler and machine. The system holds two,
// random for the game's play and effects for what only shows (TrelSystem), seeded by the game
// and by recordings; the zone adds both to its state once either has drawn a number, so a
// replay that draws differently diverges at that tick.
class TREL_API TrelRandom {
public:
    explicit TrelRandom(std::uint64_t seed = 0, std::uint64_t stream = 0) { setSeed(seed, stream); }

    // Starts the numbers again from seed, on the stream given: two streams of one seed never
    // shift each other's numbers.
    void setSeed(std::uint64_t seed, std::uint64_t stream = 0);

    // The next 32 random bits.
    std::uint32_t next();
    // An integer in [low, high], both included, each as likely as the others (no modulo bias:
    // a draw that would favour some is drawn again). low for high below low.
    std::int32_t range(std::int32_t low, std::int32_t high);
    // A 16.16 value in [low, high): each raw value as likely. low for high not above low.
    fixedpoint::fix16 rangeFixed(fixedpoint::fix16 low, fixedpoint::fix16 high);
    // True in numerator cases of denominator (chance(1, 4): one time in four); false for a
    // denominator of 0.
    bool chance(std::uint32_t numerator, std::uint32_t denominator);
    // True with a probability of 0 to 1 in 16.16 (fix16(1) / 4: one time in four).
    bool chance(fixedpoint::fix16 probability);
    // An index in [0, count), to pick one item of a list: items[random.pick(items.size())].
    // 0 for a count of 0.
    std::size_t pick(std::size_t count);

    // The generator's whole state, as the zone's state adds it.
    std::uint64_t getState() const { return state; }
    std::uint64_t getIncrement() const { return increment; }
    // Whether a number was drawn since the last setSeed.
    bool hasDrawn() const { return drawn; }

private:
    // A number in [0, bound) for a bound of at least 1, by Lemire's multiply-and-reject.
    std::uint32_t below(std::uint32_t bound);

    std::uint64_t state = 0;
    std::uint64_t increment = 1;
    bool drawn = false;
};

#endif
