#ifndef TREL_REPLAY_FUZZ_INPUT_H
#define TREL_REPLAY_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

class TrelSystem;

// One input of the recordings' fuzz target: the bytes of a recording, opened by a player of
// the game "Quenmoor" at 60 ticks a second and, when accepted, played on a small zone of the
// system (which must be named so, loaded and headless) until it ends. Returns an empty string
// when the player ended as it must (a refusal in one line naming the recording, or a replay
// that stops at its end or at a divergence), else what went wrong.
std::string playReplayFuzzInput(const std::uint8_t* data, std::size_t size, TrelSystem* system);

#endif
