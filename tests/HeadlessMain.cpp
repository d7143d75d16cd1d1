#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "core/TrelInterface.h"

// Allegro without a display: memory bitmaps, image files and a writable key[] array.
int main(int argc, char** argv) {
    // A game's global system writes its log banner to standard output before main, with no
    // final newline. Ending that line keeps the banner off the first line of the test list,
    // where CTest's discovery would take it for part of a suite's name and then run a filter
    // that matches no test.
    std::fputs("\n", stdout);
    ::testing::InitGoogleTest(&argc, argv);
    if (install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
        return 2;
    TrelInterface::extendAllegro(); // what the engine's own start-up adds: PNG and JPEG
    return RUN_ALL_TESTS();
}
