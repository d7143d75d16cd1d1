#ifndef TREL_IMAGE_FUZZ_INPUT_H
#define TREL_IMAGE_FUZZ_INPUT_H

#include <cstddef>
#include <cstdint>
#include <string>

// One input of the image decoders' fuzz target: a first byte that picks the format (its value
// modulo 5: PNG, JPEG, BMP, TGA, PCX), then the file's bytes, written into folder (ending in
// '/') under that extension and loaded as a sprite (Allegro started, a colour depth set).
// Returns an empty string when the load ended as it must (a bitmap of a size within the
// limits, or none with a one-line reason), else what went wrong.
std::string loadImageFuzzInput(const std::string& folder, const std::uint8_t* data,
                               std::size_t size);

#endif
