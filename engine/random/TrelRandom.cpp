#include "random/TrelRandom.h"

void TrelRandom::setSeed(std::uint64_t seed, std::uint64_t stream) {
    // PCG's own seeding: the stream makes the (odd) increment, two steps mix the seed in.
    state = 0;
    increment = stream << 1 | 1;
    next();
    state += seed;
    next();
    drawn = false;
}

std::uint32_t TrelRandom::next() {
    const std::uint64_t old = state;
    state = old * 6364136223846793005ULL + increment;
    const std::uint32_t shifted = static_cast<std::uint32_t>(((old >> 18) ^ old) >> 27);
    const std::uint32_t rotation = static_cast<std::uint32_t>(old >> 59);
    drawn = true;
    return (shifted >> rotation) | (shifted << ((32 - rotation) & 31));
}

std::uint32_t TrelRandom::below(std::uint32_t bound) {
    // The high half of a 32 × 32-bit product is in [0, bound); the low half says whether this
    // draw falls in the part of the range that would make some results likelier.
    std::uint64_t product = static_cast<std::uint64_t>(next()) * bound;
    std::uint32_t low = static_cast<std::uint32_t>(product);
    if (low < bound) {
        const std::uint32_t threshold = (0u - bound) % bound;
        while (low < threshold) {
            product = static_cast<std::uint64_t>(next()) * bound;
            low = static_cast<std::uint32_t>(product);
        }
    }
    return static_cast<std::uint32_t>(product >> 32);
}

std::int32_t TrelRandom::range(std::int32_t low, std::int32_t high) {
    if (high <= low)
        return low;
    const std::uint64_t span =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(high) - low) + 1;
    const std::uint32_t offset =
        span > 0xffffffffULL ? next() : below(static_cast<std::uint32_t>(span));
    return static_cast<std::int32_t>(static_cast<std::int64_t>(low) + offset);
}

fixedpoint::fix16 TrelRandom::rangeFixed(fixedpoint::fix16 low, fixedpoint::fix16 high) {
    if (high <= low)
        return low;
    const std::uint64_t span =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(high.raw) - low.raw);
    const std::uint32_t offset =
        span > 0xffffffffULL ? next() : below(static_cast<std::uint32_t>(span));
    return fixedpoint::fix16::fromRaw(
        static_cast<std::int32_t>(static_cast<std::int64_t>(low.raw) + offset));
}

bool TrelRandom::chance(std::uint32_t numerator, std::uint32_t denominator) {
    return denominator != 0 && below(denominator) < numerator;
}

bool TrelRandom::chance(fixedpoint::fix16 probability) {
    // A draw of 16 bits against the fraction: 1 (65536) always, 0 never.
    return static_cast<std::int32_t>(next() >> 16) < probability.raw;
}

std::size_t TrelRandom::pick(std::size_t count) {
    if (count == 0)
        return 0;
    if (count <= 0xffffffffULL)
        return below(static_cast<std::uint32_t>(count));
    return static_cast<std::size_t>((static_cast<std::uint64_t>(next()) << 32 | next()) % count);
}
