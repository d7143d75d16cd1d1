#ifndef TREL_MAP_FUZZ_INPUT_H
#define TREL_MAP_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

class TrelSystem;

// One input of the map readers' fuzz target: a map file, optionally followed by "@@tileset@@"
// and the bytes of an external tileset, which the map may name as fuzz.tsx or fuzz.tsj, and
// by "@@image@@" and the bytes of an image, which the map may name as fuzz.png, fuzz.jpg,
// fuzz.bmp, fuzz.tga or fuzz.pcx. The files are written into folder (ending in '/'), the map
// is loaded and, when system is given (Allegro started), added to a zone of it. Returns an
// empty string when each step ended as it must (true, or false with a one-line error, and a
// loaded map that holds together), else what went wrong.
std::string loadFuzzInput(const std::string& folder, const std::uint8_t* data, std::size_t size,
                          TrelSystem* system = nullptr);

#endif
