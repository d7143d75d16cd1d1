#ifndef TREL_TOOLS_SAVE_IMAGE_H
#define TREL_TOOLS_SAVE_IMAGE_H

#include <allegro.h>

#include <cstdio>
#include <string>

// Saves the bitmap as dir/name (the format chosen by the extension), says so on standard
// output, and destroys the bitmap. False when it could not be saved. For the image tools.
inline bool saveImage(const std::string& dir, const char* name, BITMAP* bmp) {
    std::string path = dir + "/" + name;
    bool ok = save_bitmap(path.c_str(), bmp, nullptr) == 0;
    std::printf("%s %s\n", ok ? "wrote" : "FAILED", path.c_str());
    destroy_bitmap(bmp);
    return ok;
}

#endif
