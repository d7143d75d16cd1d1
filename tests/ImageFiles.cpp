#include "ImageFiles.h"

#include <allegro.h>
#include <gtest/gtest.h>

std::string writeImage(const std::string& name, int w, int h, int fill, int corner) {
    BITMAP* bmp = create_bitmap_ex(24, w, h);
    clear_to_color(bmp, fill);
    putpixel(bmp, 0, 0, corner);
    EXPECT_EQ(save_bitmap(name.c_str(), bmp, nullptr), 0) << name;
    destroy_bitmap(bmp);
    return name;
}
