// Draws the demo's six images and saves them as BMP files into the given folder:
// four 32 × 32 tiles, the ball and the gem. Magenta (255, 0, 255) is transparent.
#include <allegro.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "SaveImage.h"

namespace {

// A small deterministic hash, so that the speckles are the same on every run.
unsigned speckle(int x, int y, unsigned seed) {
    unsigned h =
        static_cast<unsigned>(x) * 374761393u + static_cast<unsigned>(y) * 668265263u + seed;
    h = (h ^ (h >> 13)) * 1274126177u;
    return h ^ (h >> 16);
}

int shade(int r, int g, int b, int delta) {
    auto clamp = [](int v) { return v < 0 ? 0 : (v > 255 ? 255 : v); };
    return makecol(clamp(r + delta), clamp(g + delta), clamp(b + delta));
}

BITMAP* tile(int r, int g, int b, unsigned seed) {
    BITMAP* bmp = create_bitmap(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            putpixel(bmp, x, y, shade(r, g, b, static_cast<int>(speckle(x, y, seed) % 24) - 12));
    // A lighter top-left and darker bottom-right edge make the grid, and scrolling, visible.
    hline(bmp, 0, 0, 31, shade(r, g, b, 28));
    vline(bmp, 0, 0, 31, shade(r, g, b, 28));
    hline(bmp, 0, 31, 31, shade(r, g, b, -30));
    vline(bmp, 31, 0, 31, shade(r, g, b, -30));
    return bmp;
}

BITMAP* ballImage() {
    BITMAP* bmp = create_bitmap(24, 24);
    clear_to_color(bmp, makecol(255, 0, 255));
    circlefill(bmp, 11, 11, 11, makecol(120, 20, 20));
    circlefill(bmp, 11, 11, 10, makecol(210, 50, 40));
    circlefill(bmp, 8, 8, 4, makecol(245, 140, 120));
    circlefill(bmp, 7, 7, 1, makecol(255, 235, 225));
    return bmp;
}

BITMAP* gemImage() {
    BITMAP* bmp = create_bitmap(16, 16);
    clear_to_color(bmp, makecol(255, 0, 255));
    int outline[] = {8, 0, 15, 7, 8, 15, 1, 7};
    polygon(bmp, 4, outline, makecol(20, 110, 150));
    int inner[] = {8, 2, 13, 7, 8, 13, 3, 7};
    polygon(bmp, 4, inner, makecol(60, 220, 240));
    int shine[] = {8, 3, 10, 6, 8, 7, 6, 6};
    polygon(bmp, 4, shine, makecol(220, 255, 255));
    return bmp;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "data";
    if (install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
        return 2;
    set_color_depth(24);
    bool ok = saveImage(dir, "Tile1.bmp", tile(70, 130, 60, 1)); // grass
    ok &= saveImage(dir, "Tile2.bmp", tile(120, 120, 125, 2));   // stone
    ok &= saveImage(dir, "Tile3.bmp", tile(200, 180, 120, 3));   // sand
    ok &= saveImage(dir, "Tile4.bmp", tile(50, 90, 170, 4));     // water
    ok &= saveImage(dir, "Ball.bmp", ballImage());
    ok &= saveImage(dir, "Gem.bmp", gemImage());
    return ok ? 0 : 1;
}
END_OF_MAIN()
