#include <allegro.h>
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WorldSupport.h"
#include "map/TrelTiledMap.h"

// Each map that ships with the Tiled editor, drawn whole by the engine at 16 bits, against
// the picture Tiled's own tmxrasterizer makes of it (its object layers hidden, as the engine
// leaves objects to the game).

namespace {

const std::string kExamples = "/usr/share/doc/tiled/examples";

bool isMapName(const std::string& name) {
    for (const char* tail : {".tmx", ".tmx.gz", ".tmj", ".tmj.gz", ".json", ".json.gz"})
        if (endsWith(name, tail))
            return true;
    return false;
}

void findMaps(const std::string& folder, const std::string& prefix, std::vector<std::string>& out) {
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr)
        return;
    while (dirent* entry = readdir(dir)) {
        std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        if (entry->d_type == DT_DIR)
            findMaps(folder + "/" + name, prefix + name + "/", out);
        else if (isMapName(name))
            out.push_back(prefix + name);
    }
    closedir(dir);
}

std::vector<std::string> exampleMaps() {
    std::vector<std::string> maps;
    findMaps(kExamples, "", maps);
    std::sort(maps.begin(), maps.end());
    return maps;
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
    std::string name;
    for (char c : info.param)
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

std::string quotedForShell(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// tmxrasterizer's picture of a map (its object layers hidden), laid over the colour
// (0xRRGGBB) where it is transparent, at 32 bits; null when it could not be made.
BITMAP* tiledPicture(TrelTiledMap& map, const std::string& file, int background,
                     std::string& output) {
    std::string command = "QT_QPA_PLATFORM=offscreen tmxrasterizer";
    for (const TrelTiledMap::ObjectGroup& group : map.getObjectGroups())
        command += " --hide-layer " + quotedForShell(group.name);
    command += " " + quotedForShell(file) + " reference.png 2>&1";
    output = runCommand(command);
    char hex[16];
    std::snprintf(hex, sizeof hex, "#%06x", background);
    if (system(
            ("convert reference.png -background '" + std::string(hex) + "' -flatten PNG24:flat.png")
                .c_str()) != 0)
        return nullptr;
    set_color_depth(32);
    return load_bitmap("flat.png", nullptr);
}

// The whole map drawn by the engine at 16 bits into a bitmap first cleared to the colour.
struct Drawing {
    Drawing(TrelTiledMap& map, int clearColour) {
        set_color_depth(16);
        bitmap = create_bitmap(map.getWidth() * map.getTileWidth(),
                               map.getHeight() * map.getTileHeight());
        clear_to_color(bitmap, clearColour);
        system.iface.gfx.buffer = system.iface.gfx.target = bitmap;
        zone = new TrelZone(&system);
        added = map.addToZone(&system, zone);
        if (added)
            system.iface.gfx.drawZone(zone, 0, 0, bitmap->w, bitmap->h);
    }
    ~Drawing() {
        delete zone;
        system.iface.gfx.buffer = system.iface.gfx.target = nullptr;
        system.clearSpriteResources();
        system.iface.gfx.releaseTileCaches();
        destroy_bitmap(bitmap);
    }
    TrelSystem system;
    BITMAP* bitmap;
    TrelZone* zone;
    bool added;
};

// Tiled's 8-bit colour as 5-6-5 against the engine's: how many pixels are how many steps
// apart.
void stepsApart(BITMAP* reference, BITMAP* mine, long& exact, long& oneStep, long& more) {
    for (int y = 0; y < mine->h; ++y) {
        for (int x = 0; x < mine->w; ++x) {
            int r = getpixel(reference, x, y), m = getpixel(mine, x, y);
            int dr = std::abs((getr32(r) >> 3) - (getr16(m) >> 3));
            int dg = std::abs((getg32(r) >> 2) - (getg16(m) >> 2));
            int db = std::abs((getb32(r) >> 3) - (getb16(m) >> 3));
            int d = std::max(dr, std::max(dg, db));
            (d == 0 ? exact : d == 1 ? oneStep : more)++;
        }
    }
}

class TiledExamples : public InTempDir, public ::testing::WithParamInterface<std::string> {};

TEST_P(TiledExamples, DrawnAsTmxrasterizerDrawsThemOrRefusedUnlessOrthogonal) {
    const std::string source = kExamples + "/" + GetParam();
    TrelTiledMap map;
    if (!map.load(source.c_str())) {
        // Tiled's isometric, staggered and hexagonal examples are refused, saying why.
        EXPECT_NE(std::string(map.getError()).find("maps are not supported, only orthogonal ones"),
                  std::string::npos)
            << map.getError();
        std::printf("%s: refused: %s\n", GetParam().c_str(), map.getError());
        return;
    }

    // tmxrasterizer reads no gzip files: it draws a copy of the examples, unpacked.
    std::string copy = dir + "/examples";
    ASSERT_EQ(system(("cp -r " + kExamples + " " + quotedForShell(copy) + " && find " +
                      quotedForShell(copy) + " -name '*.gz' -exec gunzip -f {} +")
                         .c_str()),
              0);
    std::string plain = copy + "/" + GetParam();
    if (endsWith(plain, ".gz"))
        plain.resize(plain.size() - 3);
    int background = map.getBackgroundColor() < 0 ? 0 : map.getBackgroundColor();
    std::string output;
    BITMAP* reference = tiledPicture(map, plain, background, output);
    ASSERT_NE(reference, nullptr) << output;
    // The engine's buffer is cleared to the colour first, as tmxrasterizer's picture is
    // laid over it.
    Drawing mine(map, makecol16(background >> 16, background >> 8 & 255, background & 255));
    ASSERT_TRUE(mine.added) << map.getError();
    const int w = mine.bitmap->w, h = mine.bitmap->h;
    ASSERT_EQ(reference->w, w);
    ASSERT_EQ(reference->h, h);
    long exact = 0, oneStep = 0, more = 0;
    stepsApart(reference, mine.bitmap, exact, oneStep, more);

    bool blended = false;
    for (const TrelTiledMap::TileLayer& layer : map.getTileLayers())
        blended = blended || (layer.visible && layer.opacity < 1);
    std::printf("%s: %ld of %d pixels the same, %ld one step apart, %ld more%s\n",
                GetParam().c_str(), exact, w * h, oneStep, more,
                blended ? " (a layer is blended)" : "");
    RecordProperty("pixels", w * h);
    RecordProperty("oneStepApart", static_cast<int>(oneStep));
    RecordProperty("moreApart", static_cast<int>(more));
    if (blended) {
        // Allegro blends in 5-6-5, Qt in 8 bits: the rounding differs by a step now and then.
        EXPECT_LE(more, static_cast<long>(w) * h / 10000);
    } else {
        EXPECT_EQ(exact, static_cast<long>(w) * h);
    }
    destroy_bitmap(reference);
}

INSTANTIATE_TEST_SUITE_P(Shipped, TiledExamples, ::testing::ValuesIn(exampleMaps()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TiledExamples);

// A map's background colour fills its empty cells (and a tile's transparent pixels) as
// tmxrasterizer's picture laid over that colour shows them, whatever the buffer held before.
TEST_F(InTempDir, BackgroundColourShowsThroughEmptyCellsAsInTiled) {
    set_color_depth(32);
    BITMAP* sheet = create_bitmap(32, 16);
    clear_to_color(sheet, makecol(200, 40, 40));
    rectfill(sheet, 16, 0, 31, 15, makecol(40, 160, 80));
    rectfill(sheet, 20, 4, 27, 11, makecol(255, 0, 255)); // transparent in the engine
    save_bitmap("tiles.png", sheet, nullptr);
    destroy_bitmap(sheet);
    // The same hole for Tiled: the tileset names magenta as its transparent colour.
    FILE* out = std::fopen("bg.tmx", "w");
    std::fputs("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
               "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" "
               "width=\"4\" height=\"3\" tilewidth=\"16\" tileheight=\"16\" infinite=\"0\" "
               "backgroundcolor=\"#3366cc\" nextlayerid=\"2\" nextobjectid=\"1\">\n"
               " <tileset firstgid=\"1\" name=\"t\" tilewidth=\"16\" tileheight=\"16\" "
               "tilecount=\"2\" columns=\"2\">\n"
               "  <image source=\"tiles.png\" trans=\"ff00ff\" width=\"32\" height=\"16\"/>\n"
               " </tileset>\n"
               " <layer id=\"1\" name=\"l\" width=\"4\" height=\"3\">\n"
               "  <data encoding=\"csv\">1,0,2,0,\n0,2,0,1,\n0,0,0,0</data>\n"
               " </layer>\n"
               "</map>\n",
               out);
    std::fclose(out);
    TrelTiledMap map;
    ASSERT_TRUE(map.load("bg.tmx")) << map.getError();
    std::string output;
    BITMAP* reference = tiledPicture(map, "bg.tmx", 0x3366cc, output);
    ASSERT_NE(reference, nullptr) << output;
    Drawing mine(map, makecol16(255, 255, 0)); // anything but the background
    ASSERT_TRUE(mine.added) << map.getError();
    EXPECT_EQ(mine.zone->getBackgroundColor(), 0x3366cc);
    long exact = 0, oneStep = 0, more = 0;
    stepsApart(reference, mine.bitmap, exact, oneStep, more);
    EXPECT_EQ(exact, 64L * 48);
    destroy_bitmap(reference);
}

} // namespace
