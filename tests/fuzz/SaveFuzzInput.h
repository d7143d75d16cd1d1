#ifndef TREL_SAVE_FUZZ_INPUT_H
#define TREL_SAVE_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

// One input of the saves' fuzz target: the bytes of a save of the game "Saver" (of an even
// length: its last 8 bytes made the checksum of the rest), loaded as a store loads a file. Returns
// an empty string when the store ended as it must (a refusal in one line naming the file, or a save
// whose every name and list is within the format's bounds), else what went wrong.
std::string loadSaveFuzzInput(const std::uint8_t* data, std::size_t size);

#endif
