// Lanternfall: a moth lights the lanterns of a meadow at night while wisps drift about and
// put them out again. The arrow keys fly the moth; Escape quits.
// guide: includes
#include <allegro.h>
#include <trel.h>

#include "Moth.h"
// guide: end

#include <vector>

#include "Lantern.h"
#include "Wisp.h"

// guide: globals
using fixedpoint::fix16;

// The engine's root object. One per game, as a global: the log opens before main runs, and
// everything is shut down in order when the program ends.
TrelSystem game;

namespace {

// The game cannot run without its images: a missing one is a fatal error, which logs the
// reason, shows a message box and ends the program with status 1.
TrelResource* load(const char* file) {
    TrelResource* images = game.newSpriteResource(file);
    if (images == nullptr)
        game.giveError(0, "Could not load the image file \"%s\".", file);
    return images;
}

void loadMore(const char* file, TrelResource* images) {
    if (game.appendSpriteResource(file, images) == nullptr)
        game.giveError(0, "Could not load the image file \"%s\".", file);
}

} // namespace
// guide: end

namespace {

// Where the lanterns stand, in pixels; the first is on the moth's way to the right.
const int kLanterns[][2] = {
    {448, 240},  {700, 160},   {980, 420}, {1250, 200}, {1600, 300}, {1780, 1100},
    {1400, 900}, {1000, 1150}, {600, 980}, {240, 700},  {160, 1180}, {900, 640},
};

// Where the wisps start and how fast they drift, in pixels and pixels per tick.
const int kWisps[][4] = {
    {1700, 200, -2, 1},  {300, 1100, 1, -2},  {1200, 700, 2, 2},
    {800, 1200, -1, -1}, {1500, 1000, -2, 1},
};

std::vector<Lantern*> lanterns; // not owned: the meadow layer owns its objects

} // namespace

// guide: start
int main() {
    game.setName("Lanternfall");
    // The settings are read by init: the screen in pixels, how many times larger the window
    // is (2 or 3 suit a small screen on a large display), and logic ticks per second.
    game.screenWidth = 640;
    game.screenHeight = 480;
    game.screenScale = 1;
    game.framerate = 60;
    // Window, keyboard and timer; a failure here is fatal.
    game.iface.init();
    // guide: end

    // guide: zone
    game.newZone("Meadow");
    TrelZone* zone = game.zone;
    zone->addLayer(60, 40, 32, 32);     // 60 × 40 cells of 32 × 32 pixels
    zone->setBackgroundColor(0x0c1420); // the night sky, where a cell draws nothing
    TrelLayer* meadow = zone->getLayer(0);

    TrelResource* ground = load("data/grass.jpg"); // frame 0
    loadMore("data/moss.jpg", ground);             // frame 1
    meadow->setTileset(ground);
    // Cell value v draws frame v - 1 of the tileset; 0 draws nothing.
    short** cells = meadow->getMapData();
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 60; ++x)
            cells[y][x] = (x * 7 + y * 13) % 5 == 0 ? 2 : 1;
    // guide: end

    // guide: moth
    // Kept for the lanterns the finished example adds; the guide's game does not use it yet.
    [[maybe_unused]] Moth* moth = new Moth(meadow, fix16(320), fix16(240), Moth::loadLook(&game));
    // guide: end

    TrelResource* lanternFrames = Lantern::loadLook(&game);
    for (const auto& at : kLanterns)
        lanterns.push_back(new Lantern(meadow, fix16(at[0]), fix16(at[1]), lanternFrames, moth));
    TrelResource* wispImage = load("data/wisp.png");
    for (const auto& w : kWisps) {
        new Wisp(meadow, fix16(w[0]), fix16(w[1]), fix16(w[2]), fix16(w[3]), wispImage->getData(0),
                 &lanterns);
    }

    // guide: loop
    game.mainLoop(); // 60 ticks a second until Escape
    return 0;
}
END_OF_MAIN()
// guide: end
