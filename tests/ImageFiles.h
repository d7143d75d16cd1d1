#ifndef TREL_TEST_IMAGE_FILES_H
#define TREL_TEST_IMAGE_FILES_H

#include <string>

// Writes a w × h 24-bit BMP in one colour, with another colour at its top-left pixel, and
// returns its name. Colours are 0xRRGGBB values (makecol at 24 or 32 bits).
std::string writeImage(const std::string& name, int w, int h, int fill, int corner);
inline std::string writeImage(const std::string& name, int w, int h) {
    return writeImage(name, w, h, 0x0ac81e, 0x0ac81e);
}

#endif
