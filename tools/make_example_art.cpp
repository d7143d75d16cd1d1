// Draws the art of the example games and saves it. Into the first folder (examples/lanternfall/
// data): two ground tiles as JPEG; the moth's wing beat as a sprite sheet with its data as
// Aseprite exports it; a sheet of the lantern, dark and with three flames; the wisp as PNG with
// soft, semi-transparent edges; for the meadow drawn in Tiled, a sheet of four ground tiles
// (with a margin and spacing, as Tiled's sheets often have) and a sheet of two trees twice as
// tall as a cell. Into the second (examples/hopper/data): the platformer's tiles, its hero's
// frames, a coin and the hills behind the level. Usage: make_example_art [lanternfall folder]
// [hopper folder]
#include <allegro.h>
#include <trel.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "SaveImage.h"

namespace {

unsigned noise(int x, int y, unsigned seed) {
    unsigned h =
        static_cast<unsigned>(x) * 2654435761u ^ static_cast<unsigned>(y) * 2246822519u ^ seed;
    h = (h ^ (h >> 15)) * 2246822519u;
    return h ^ (h >> 13);
}

int clampByte(double v) {
    return v < 0 ? 0 : (v > 255 ? 255 : static_cast<int>(v + 0.5));
}

// A 32 × 32 ground tile: a base colour with blades of a lighter one.
BITMAP* ground(int r, int g, int b, unsigned seed) {
    BITMAP* bmp = create_bitmap_ex(24, 32, 32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            int d = static_cast<int>(noise(x, y, seed) % 30) - 15;
            putpixel(bmp, x, y, makecol24(clampByte(r + d), clampByte(g + d), clampByte(b + d)));
        }
    }
    for (int i = 0; i < 14; ++i) {
        int x = static_cast<int>(noise(i, 7, seed) % 30) + 1;
        int y = static_cast<int>(noise(7, i, seed) % 26) + 4;
        vline(bmp, x, y - 3, y, makecol24(clampByte(r + 40), clampByte(g + 50), clampByte(b + 20)));
    }
    return bmp;
}

// A glow: colour c at the centre, alpha falling off from full to clear at radius.
void glow(BITMAP* bmp, double cx, double cy, double radius, int r, int g, int b, double peak) {
    for (int y = 0; y < bmp->h; ++y) {
        for (int x = 0; x < bmp->w; ++x) {
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) / radius;
            if (d >= 1.0)
                continue;
            int a = clampByte(255 * peak * (1.0 - d * d));
            int old = getpixel(bmp, x, y);
            if (a > geta32(old))
                putpixel(bmp, x, y, makeacol32(r, g, b, a));
        }
    }
}

void disc(BITMAP* bmp, double cx, double cy, double radius, int r, int g, int b) {
    for (int y = 0; y < bmp->h; ++y) {
        for (int x = 0; x < bmp->w; ++x) {
            // Coverage of the pixel by the disc, for a smooth edge.
            double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy) - radius;
            double cover = d < -0.5 ? 1.0 : (d > 0.5 ? 0.0 : 0.5 - d);
            if (cover > 0)
                putpixel(bmp, x, y, makeacol32(r, g, b, clampByte(255 * cover)));
        }
    }
}

BITMAP* clear32(int w, int h) {
    BITMAP* bmp = create_bitmap_ex(32, w, h);
    clear_to_color(bmp, makeacol32(0, 0, 0, 0));
    return bmp;
}

// The moth seen from the side, facing right, its wing raised by lift pixels: one frame of
// its flight.
void mothFrame(BITMAP* sheet, int left, int lift) {
    BITMAP* bmp = clear32(24, 24);
    for (int k = 0; k < 3; ++k) { // the far wing, a fan above the body
        disc(bmp, 8 + 2 * k, 15 - lift * (k + 2) / 4.0 - 2, 4.5 - k * 0.8, 215, 205, 240);
    }
    disc(bmp, 12, 16 - lift / 2.0, 4, 175, 165, 215); // the near wing, half as high
    for (int x = 6; x <= 15; x += 3)
        disc(bmp, x + 0.5, 17, 2.5, 90, 70, 60);           // the body
    disc(bmp, 18.5, 16, 2.5, 110, 85, 70);                 // the head
    line(bmp, 19, 14, 22, 8, makeacol32(90, 70, 60, 255)); // antennae
    line(bmp, 20, 14, 23, 10, makeacol32(90, 70, 60, 255));
    blit(bmp, sheet, 0, 0, left, 0, 24, 24);
    destroy_bitmap(bmp);
}

// Four frames of a wing beat side by side, as Aseprite exports a sheet.
BITMAP* mothSheet() {
    BITMAP* sheet = clear32(4 * 24, 24);
    const int lifts[4] = {9, 6, 3, 0};
    for (int i = 0; i < 4; ++i)
        mothFrame(sheet, i * 24, lifts[i]);
    return sheet;
}

// The sheet's data as Aseprite's "Export Sprite Sheet" writes it (frames as an array): 80 ms
// a frame, and the tag "flap", played back and forth.
bool saveMothJson(const std::string& dir) {
    FILE* out = std::fopen((dir + "/moth.json").c_str(), "w");
    if (out == nullptr)
        return false;
    std::fputs("{ \"frames\": [\n", out);
    for (int i = 0; i < 4; ++i)
        std::fprintf(out,
                     "   { \"filename\": \"moth %d.aseprite\", \"frame\": { \"x\": %d, \"y\": 0, "
                     "\"w\": 24, \"h\": 24 }, \"rotated\": false, \"trimmed\": false, "
                     "\"spriteSourceSize\": { \"x\": 0, \"y\": 0, \"w\": 24, \"h\": 24 }, "
                     "\"sourceSize\": { \"w\": 24, \"h\": 24 }, \"duration\": 80 }%s\n",
                     i, i * 24, i < 3 ? "," : "");
    std::fputs(
        " ],\n \"meta\": { \"app\": \"https://www.aseprite.org/\", \"version\": \"1.3\", "
        "\"image\": \"moth-sheet.png\", \"format\": \"RGBA8888\", \"size\": { \"w\": 96, "
        "\"h\": 24 }, \"scale\": \"1\",\n  \"frameTags\": [\n   { \"name\": \"flap\", "
        "\"from\": 0, \"to\": 3, \"direction\": \"pingpong\", \"color\": \"#000000ff\" }\n  ],\n"
        "  \"layers\": [], \"slices\": []\n }\n}\n",
        out);
    return std::fclose(out) == 0;
}

// A lantern, dark (flame 0) or lit with one of three flames that differ in their glow.
void lantern(BITMAP* sheet, int left, int flame) {
    BITMAP* bmp = clear32(24, 24);
    if (flame > 0)
        glow(bmp, 12, 12, 10.5 + flame, 255, 200 + 10 * flame, 90, 0.6 + 0.1 * flame);
    rectfill(bmp, 8, 5, 15, 18, makeacol32(60, 50, 40, 255)); // frame
    rectfill(bmp, 9, 7, 14, 16,
             flame > 0 ? makeacol32(255, 225 + 5 * flame, 140, 255) : makeacol32(70, 80, 90, 255));
    rectfill(bmp, 10, 3, 13, 4, makeacol32(60, 50, 40, 255)); // handle
    blit(bmp, sheet, 0, 0, left, 0, 24, 24);
    destroy_bitmap(bmp);
}

// The dark lantern and three flames of the lit one, side by side.
BITMAP* lanternSheet() {
    BITMAP* sheet = clear32(4 * 24, 24);
    for (int i = 0; i < 4; ++i)
        lantern(sheet, i * 24, i);
    return sheet;
}

BITMAP* wisp() {
    BITMAP* bmp = clear32(16, 16);
    glow(bmp, 8, 8, 8, 120, 200, 255, 0.9);
    disc(bmp, 8, 8, 2.5, 230, 250, 255);
    return bmp;
}

// Four ground tiles side by side, 1 pixel of margin and 2 of spacing: grass, moss, grass
// with flowers, and a path.
BITMAP* groundSheet() {
    BITMAP* sheet = create_bitmap_ex(24, 2 + 4 * 32 + 3 * 2, 2 + 32);
    clear_to_color(sheet, makecol24(0, 0, 0));
    BITMAP* tiles[] = {ground(60, 110, 50, 11), ground(45, 85, 60, 12), ground(60, 110, 50, 13),
                       ground(120, 100, 70, 14)};
    for (int i = 0; i < 4; ++i) {
        if (i == 2) {
            for (int f = 0; f < 5; ++f) {
                int x = static_cast<int>(noise(f, 3, 5) % 26) + 3;
                int y = static_cast<int>(noise(3, f, 5) % 26) + 3;
                circlefill(tiles[i], x, y, 2,
                           f % 2 ? makecol24(230, 220, 120) : makecol24(220, 150, 200));
            }
        }
        blit(tiles[i], sheet, 0, 0, 1 + i * 34, 1, 32, 32);
        destroy_bitmap(tiles[i]);
    }
    return sheet;
}

// Two trees of 32 × 64 with soft edges: a round one and a pine.
BITMAP* treeSheet() {
    BITMAP* sheet = clear32(64, 64);
    rectfill(sheet, 13, 40, 18, 63, makeacol32(90, 60, 40, 255));
    disc(sheet, 16, 24, 15, 40, 95, 45);
    disc(sheet, 11, 20, 7, 55, 120, 55);
    rectfill(sheet, 32 + 14, 50, 32 + 17, 63, makeacol32(90, 60, 40, 255));
    for (int i = 0; i < 4; ++i)
        disc(sheet, 32 + 16, 14 + i * 10, 5 + i * 2.5, 30, 80 + i * 8, 50);
    return sheet;
}

// The platformer's tiles, 16 x 16 in a row: earth, grass on earth, a plank (one-way), a
// slope up to the right and one down, and a brick wall.
BITMAP* hopperTiles() {
    BITMAP* sheet = clear32(6 * 16, 16);
    const int earth = makeacol32(120, 85, 55, 255), grass = makeacol32(70, 160, 60, 255);
    for (int t = 0; t < 6; ++t) {
        for (int y = 0; y < 16; ++y) {
            for (int x = 0; x < 16; ++x) {
                // Which pixels a tile fills: the slopes rise one pixel a column.
                bool filled = t == 2 ? y < 5 : t == 3 ? y >= 15 - x : t == 4 ? y >= x : true;
                if (!filled)
                    continue;
                int d = static_cast<int>(noise(x, y, 30 + t) % 24) - 12;
                int c = earth;
                if (t == 2)
                    c = makeacol32(clampByte(170 + d), clampByte(120 + d), 60, 255);
                else if (t == 5)
                    c = (y % 8 == 7 || (x + (y / 8) * 8) % 16 == 0)
                            ? makeacol32(90, 80, 80, 255)
                            : makeacol32(clampByte(160 + d), 70, 60, 255);
                else
                    c = makeacol32(clampByte(getr32(earth) + d), clampByte(getg32(earth) + d),
                                   clampByte(getb32(earth) + d), 255);
                // Grass on the top surface of the grass tile and of the slopes.
                bool top = (t == 1 && y < 4) || (t == 3 && y < 19 - x) || (t == 4 && y < x + 4);
                putpixel(sheet, t * 16 + x, y, top && t != 2 && t != 5 && t != 0 ? grass : c);
            }
        }
    }
    return sheet;
}

// The hero, 16 x 24, facing right: standing (two frames, breathing), running (four) and in
// the air (one), side by side.
BITMAP* hopperSheet() {
    BITMAP* sheet = clear32(7 * 16, 24);
    for (int f = 0; f < 7; ++f) {
        BITMAP* b = clear32(16, 24);
        const bool run = f >= 2 && f < 6, air = f == 6;
        const int bob = f == 1 ? 1 : 0;
        const double stride = run ? (f % 2 ? 3 : -3) : 0;
        // Legs, body, head with an eye on the right.
        line(b, 7, 17, static_cast<int>(6 + stride), 23, makeacol32(50, 60, 120, 255));
        line(b, 9, 17, static_cast<int>(10 - stride + (air ? 2 : 0)), air ? 21 : 23,
             makeacol32(50, 60, 120, 255));
        rectfill(b, 5, 9 + bob, 11, 17, makeacol32(220, 80, 60, 255));
        disc(b, 8.5, 5.5 + bob, 4, 240, 200, 160);
        putpixel(b, 11, 5 + bob, makeacol32(20, 20, 20, 255));
        line(b, 11, 11 + bob, air ? 14 : 13, air ? 7 : 15, makeacol32(240, 200, 160, 255));
        blit(b, sheet, 0, 0, f * 16, 0, 16, 24);
        destroy_bitmap(b);
    }
    return sheet;
}

// Hills far behind the platformer's level, 160 x 80, the sky above them transparent: two
// rows of rounded tops, the nearer darker, that meet their copies when repeated side by side.
BITMAP* hopperHills() {
    BITMAP* b = clear32(160, 80);
    for (int x = 0; x < 160; ++x) {
        const double a = x * 2 * M_PI / 160;
        const int far = static_cast<int>(30 + 12 * std::sin(a) + 6 * std::sin(3 * a + 1));
        const int near = static_cast<int>(50 + 9 * std::sin(2 * a + 2) + 4 * std::sin(5 * a));
        for (int y = far; y < 80; ++y)
            putpixel(b, x, y,
                     y >= near ? makeacol32(40, 75, 70, 255) : makeacol32(60, 100, 95, 255));
    }
    return b;
}

// A coin, 10 x 10.
BITMAP* coin() {
    BITMAP* b = clear32(10, 10);
    disc(b, 5, 5, 4.5, 200, 150, 30);
    disc(b, 5, 5, 3.2, 250, 210, 60);
    line(b, 5, 3, 5, 6, makeacol32(200, 150, 30, 255));
    return b;
}

} // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "examples/lanternfall/data";
    std::string hopper = argc > 2 ? argv[2] : "examples/hopper/data";
    if (install_allegro(SYSTEM_NONE, &errno, nullptr) != 0)
        return 2;
    TrelInterface::extendAllegro(); // the engine's PNG and JPEG savers
    set_color_depth(32);
    bool ok = saveImage(dir, "grass.jpg", ground(60, 110, 50, 11));
    ok &= saveImage(dir, "moss.jpg", ground(45, 85, 60, 12));
    ok &= saveImage(dir, "moth-sheet.png", mothSheet());
    ok &= saveMothJson(dir);
    ok &= saveImage(dir, "lantern-sheet.png", lanternSheet());
    ok &= saveImage(dir, "wisp.png", wisp());
    ok &= saveImage(dir, "meadow-ground.png", groundSheet());
    ok &= saveImage(dir, "meadow-trees.png", treeSheet());
    ok &= saveImage(hopper, "tiles.png", hopperTiles());
    ok &= saveImage(hopper, "hopper.png", hopperSheet());
    ok &= saveImage(hopper, "coin.png", coin());
    ok &= saveImage(hopper, "hills.png", hopperHills());
    return ok ? 0 : 1;
}
END_OF_MAIN()
