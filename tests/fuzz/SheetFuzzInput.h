#ifndef TREL_SHEET_FUZZ_INPUT_H
#define TREL_SHEET_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

// One input of the Aseprite sheets' fuzz target: the bytes of a sheet's JSON, written into
// folder (ending in '/') as sheet.json beside the 24 x 8 image moth.bmp, which is written
// there first, and loaded (Allegro started, a colour depth set). Returns an empty string when
// the load ended as it must (frames and animations within the limits, or nothing added and a
// one-line reason), else what went wrong.
std::string loadSheetFuzzInput(const std::string& folder, const std::uint8_t* data,
                               std::size_t size);

#endif
