#include <allegro.h>
#include <gtest/gtest.h>

// Allegro without a display: memory bitmaps, image files and a writable key[] array.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
        return 2;
    return RUN_ALL_TESTS();
}
