#ifndef TREL_MAP_FUZZ_INPUT_H
#define TREL_MAP_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

// One input of the map readers' fuzz target: a map file, optionally followed by "@@tileset@@"
// and the bytes of an external tileset, which the map may name as fuzz.tsx or fuzz.tsj. The
// files are written into folder (ending in '/') and the map is loaded. Returns an empty string
// when the load ended as it must (true, or false with a one-line error, and a loaded map
// that holds together), else what went wrong.
std::string loadFuzzInput(const std::string& folder, const std::uint8_t* data, std::size_t size);

#endif
