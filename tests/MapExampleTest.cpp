#include <allegro.h>
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "MapFiles.h"
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
    set_color_depth(24); // no alpha channel: a 32-bit picture would be saved see-through
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

namespace {

// A sheet of eight 16 x 16 tiles, each a colour of its own with a white bar along the top of
// its left quarter, so that every flip and turn of a tile draws differently.
void writeMarkedSheet(const char* name) {
    set_color_depth(24); // no alpha channel: a 32-bit picture would be saved see-through
    BITMAP* sheet = create_bitmap(128, 16);
    for (int i = 0; i < 8; ++i) {
        int c = tileColour(i);
        rectfill(sheet, i * 16, 0, i * 16 + 15, 15, makecol(c >> 16, c >> 8 & 255, c & 255));
        hline(sheet, i * 16, 0, i * 16 + 3, makecol(255, 255, 255));
        putpixel(sheet, i * 16, 1, makecol(255, 255, 255));
    }
    save_bitmap(name, sheet, nullptr);
    destroy_bitmap(sheet);
}

const char* const kAnimatedMap =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" width=\"4\" "
    "height=\"3\" tilewidth=\"16\" tileheight=\"16\" infinite=\"0\" nextlayerid=\"2\" "
    "nextobjectid=\"1\">\n"
    " <tileset firstgid=\"1\" name=\"t\" tilewidth=\"16\" tileheight=\"16\" tilecount=\"8\" "
    "columns=\"8\">\n"
    "  <image source=\"marked.png\" width=\"128\" height=\"16\"/>\n"
    // 100, 50 and 17 ms, looped.
    "  <tile id=\"0\" type=\"spin\"><animation><frame tileid=\"0\" duration=\"100\"/>"
    "<frame tileid=\"1\" duration=\"50\"/><frame tileid=\"2\" "
    "duration=\"17\"/></animation></tile>\n"
    // Stops on its second frame: 0 ms.
    "  <tile id=\"3\"><animation><frame tileid=\"3\" duration=\"30\"/>"
    "<frame tileid=\"4\" duration=\"0\"/><frame tileid=\"5\" duration=\"30\"/></animation></tile>\n"
    // Starts on another tile's image.
    "  <tile id=\"5\"><animation><frame tileid=\"6\" duration=\"1000\"/>"
    "<frame tileid=\"5\" duration=\"20\"/></animation></tile>\n"
    " </tileset>\n"
    " <layer id=\"1\" name=\"l\" width=\"4\" height=\"3\">\n"
    // Tile 1 plain, mirrored, upside down and turned a quarter; tile 4 plain and turned; tile
    // 6 plain and mirrored; tile 8, still.
    "  <data encoding=\"csv\">1,2147483649,1073741825,2684354561,\n"
    "4,2684354564,6,2147483654,\n8,0,1,4</data>\n"
    " </layer>\n"
    "</map>\n";

// The ticks drawn: around each frame's end at 60 ticks a second (tick 6 is 100 ms: still the
// first frame, since Tiled moves on only after more than its duration), and long after.
const int kAnimationTicks[] = {0, 1, 2, 5, 6, 7, 9, 10, 11, 12, 16, 17, 20, 21, 60, 61, 62, 601};

class TileAnimations : public InTempDir, public ::testing::WithParamInterface<const char*> {};

TEST_P(TileAnimations, ShowTiledsFrameAtEachTickFlippedAndTurnedAndStopAtZeroMs) {
    writeMarkedSheet("marked.png");
    writeText("anim.tmx", kAnimatedMap);
    std::string file = "anim.tmx";
    if (std::string(GetParam()) == "tmj") {
        // The same map as Tiled writes it in JSON.
        runCommand("QT_QPA_PLATFORM=offscreen tiled --export-map json anim.tmx anim.tmj 2>&1");
        file = "anim.tmj";
    }
    TrelTiledMap map;
    ASSERT_TRUE(map.load(file.c_str())) << map.getError();
    EXPECT_TRUE(map.getWarnings().empty());
    Drawing mine(map, makecol16(0, 0, 0));
    ASSERT_TRUE(mine.added) << map.getError();
    const int framerate = mine.system.framerate;
    int done = 0;
    for (int tick : kAnimationTicks) {
        while (done < tick) {
            mine.zone->process();
            ++done;
        }
        const long ms = static_cast<long>(tick) * 1000 / framerate;
        std::string output = runCommand("QT_QPA_PLATFORM=offscreen tmxrasterizer "
                                        "--advance-animations " +
                                        std::to_string(ms) + " anim.tmx reference.png 2>&1");
        ASSERT_EQ(system("convert reference.png -background black -flatten PNG24:flat.png"), 0)
            << output;
        set_color_depth(32);
        BITMAP* reference = load_bitmap("flat.png", nullptr);
        ASSERT_NE(reference, nullptr) << output;
        clear_to_color(mine.bitmap, makecol16(0, 0, 0));
        mine.system.iface.gfx.drawZone(mine.zone, 0, 0, mine.bitmap->w, mine.bitmap->h);
        long exact = 0, oneStep = 0, more = 0;
        stepsApart(reference, mine.bitmap, exact, oneStep, more);
        EXPECT_EQ(exact, 64L * 48) << "tick " << tick << ", " << ms << " ms";
        destroy_bitmap(reference);
    }
    // The spinning tile can be played on an object too, in ticks: 6, 3 and 1.
    TrelAnimation* spin = mine.zone->getLayer(0)->getTileset()->findAnimation("spin");
    ASSERT_NE(spin, nullptr);
    ASSERT_EQ(spin->getFrameCount(), 3);
    EXPECT_EQ(spin->getFrame(0).ticks, 6);
    EXPECT_EQ(spin->getFrame(1).ticks, 3);
    EXPECT_EQ(spin->getFrame(2).ticks, 1);
    TrelAnimation* stops = mine.zone->getLayer(0)->getTileset()->findAnimation("tile 4");
    ASSERT_NE(stops, nullptr);
    EXPECT_EQ(stops->getFrameCount(), 2);
    EXPECT_EQ(stops->getMode(), TrelAnimation::kOnce);
}

INSTANTIATE_TEST_SUITE_P(BothFormats, TileAnimations, ::testing::Values("tmx", "tmj"));

} // namespace
