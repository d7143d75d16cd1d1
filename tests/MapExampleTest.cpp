#include <allegro.h>
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "MapFiles.h"
#include "ReferenceRenderer.h"
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
                     std::string& output, bool objectsShown = false) {
    std::string command = "QT_QPA_PLATFORM=offscreen tmxrasterizer --no-smoothing";
    for (const TrelTiledMap::ObjectGroup& group : map.getObjectGroups())
        if (!objectsShown)
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
        system.iface.initOnFrame(bitmap);
        zone = new TrelZone(&system);
        added = map.addToZone(&system, zone);
        if (added)
            system.iface.gfx.drawZone(zone, 0, 0, bitmap->w, bitmap->h);
    }
    ~Drawing() {
        delete zone;
        system.clearSpriteResources();
        system.iface.deinit(); // the renderer's kept tiles go with it; Allegro stays up
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
    writeFile("anim.tmx", kAnimatedMap);
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

namespace {

// A map of 8 x 6 cells of the marked sheet's 16-pixel tiles, on a grey background, with a
// ground layer of every tile in turn and then body.
std::string lookMap(const std::string& body, const std::string& attributes = "") {
    std::string ground;
    for (int i = 0; i < 48; ++i)
        ground += std::to_string(i % 8 + 1) + (i < 47 ? "," : "");
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<map version=\"1.8\" orientation=\"orthogonal\" renderorder=\"right-down\" "
           "width=\"8\" height=\"6\" tilewidth=\"16\" tileheight=\"16\" infinite=\"0\" "
           "backgroundcolor=\"#808080\"" +
           attributes +
           ">\n"
           " <tileset firstgid=\"1\" name=\"t\" tilewidth=\"16\" tileheight=\"16\" "
           "tilecount=\"8\" columns=\"8\"><image source=\"marked.png\" width=\"128\" "
           "height=\"16\"/></tileset>\n"
           " <layer id=\"1\" name=\"ground\" width=\"8\" height=\"6\"><data encoding=\"csv\">" +
           ground + "</data></layer>\n" + body + "</map>\n";
}

// A sparse layer of the given attributes: a tile in every third cell.
std::string sparseLayer(const std::string& name, const std::string& attributes) {
    std::string cells;
    for (int i = 0; i < 48; ++i)
        cells += std::string(i % 3 == 1 ? std::to_string(8 - i % 8) : "0") + (i < 47 ? "," : "");
    return " <layer name=\"" + name + "\" width=\"8\" height=\"6\"" + attributes +
           "><data encoding=\"csv\">" + cells + "</data></layer>\n";
}

// Three tile objects that overlap, the first lowest on the map and two at one y.
std::string overlapping() {
    return "  <object id=\"1\" gid=\"3\" x=\"20\" y=\"50\" width=\"16\" height=\"16\"/>\n"
           "  <object id=\"2\" gid=\"5\" x=\"28\" y=\"42\" width=\"16\" height=\"16\"/>\n"
           "  <object id=\"3\" gid=\"7\" x=\"34\" y=\"42\" width=\"16\" height=\"16\"/>\n";
}

// A 20 x 12 picture of two colours with a transparent (magenta) hole.
void writeBanner(const char* name) {
    set_color_depth(24);
    BITMAP* image = create_bitmap(20, 12);
    clear_to_color(image, makecol(250, 200, 40));
    rectfill(image, 0, 0, 9, 5, makecol(30, 60, 200));
    rectfill(image, 12, 6, 15, 9, makecol(255, 0, 255));
    save_bitmap(name, image, nullptr);
    destroy_bitmap(image);
}

// A 3 x 2 picture: two colours and a transparent (magenta) pixel.
void writeDots(const char* name) {
    set_color_depth(24);
    BITMAP* image = create_bitmap(3, 2);
    clear_to_color(image, makecol(20, 180, 90));
    putpixel(image, 1, 0, makecol(200, 30, 30));
    putpixel(image, 2, 1, makecol(255, 0, 255));
    save_bitmap(name, image, nullptr);
    destroy_bitmap(image);
}

struct LookCase {
    const char* name;
    std::string map;
    bool objectsShown;
};

class TiledLooks : public InTempDir, public ::testing::WithParamInterface<LookCase> {};

// Each feature drawn by the engine as tmxrasterizer draws it, within a step of 16-bit colour
// where layers are blended or tinted.
TEST_P(TiledLooks, DrawnAsTmxrasterizerDrawsThem) {
    writeMarkedSheet("marked.png");
    writeBanner("banner.png");
    writeDots("dots.png");
    writeFile("look.tmx", GetParam().map);
    TrelTiledMap map;
    map.setTileObjects(GetParam().objectsShown);
    ASSERT_TRUE(map.load("look.tmx")) << map.getError();
    EXPECT_TRUE(map.getWarnings().empty()) << map.getWarnings()[0];
    std::string output;
    BITMAP* reference = tiledPicture(map, "look.tmx", 0x808080, output, GetParam().objectsShown);
    ASSERT_NE(reference, nullptr) << output;
    Drawing mine(map, makecol16(255, 255, 0));
    ASSERT_TRUE(mine.added) << map.getError();
    // tmxrasterizer's picture holds the map's rectangle moved by each layer's offset: the
    // map's own lies where the offsets reach furthest to the left and up.
    double left = 0, top = 0;
    auto reach = [&](const TrelTiledMap::LayerLook& look) {
        left = std::min(left, look.offsetX);
        top = std::min(top, look.offsetY);
    };
    for (const auto& layer : map.getTileLayers())
        reach(layer.look);
    for (const auto& layer : map.getImageLayers())
        reach(layer.look);
    for (const auto& group : map.getObjectGroups())
        reach(group.look);
    set_color_depth(32);
    BITMAP* shown = create_bitmap(mine.bitmap->w, mine.bitmap->h);
    blit(reference, shown, static_cast<int>(-left), static_cast<int>(-top), 0, 0, shown->w,
         shown->h);
    long exact = 0, oneStep = 0, more = 0;
    stepsApart(shown, mine.bitmap, exact, oneStep, more);
    destroy_bitmap(shown);
    std::printf("%s: %ld exact, %ld one step apart, %ld more\n", GetParam().name, exact, oneStep,
                more);
    EXPECT_EQ(more, 0);
    destroy_bitmap(reference);

    // The same map as Tiled writes it in JSON draws the same.
    runCommand("QT_QPA_PLATFORM=offscreen tiled --export-map json look.tmx look.tmj 2>&1");
    TrelTiledMap json;
    json.setTileObjects(GetParam().objectsShown);
    ASSERT_TRUE(json.load("look.tmj")) << json.getError();
    Drawing fromJson(json, makecol16(255, 255, 0));
    ASSERT_TRUE(fromJson.added) << json.getError();
    EXPECT_EQ(differingPixels(fromJson.bitmap, mine.bitmap), 0);
}

std::string caseName(const ::testing::TestParamInfo<LookCase>& info) {
    return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Features, TiledLooks,
    ::testing::Values(
        LookCase{"offsets",
                 lookMap(" <group name=\"g\" offsetx=\"5\" offsety=\"-3\">\n" +
                         sparseLayer("a", " offsetx=\"-12\" offsety=\"7\"") + " </group>\n" +
                         sparseLayer("b", " offsetx=\"40\" offsety=\"21\"")),
                 false},
        LookCase{"tint",
                 lookMap(" <group name=\"g\" tintcolor=\"#c0ff80\" opacity=\"0.9\">\n" +
                         sparseLayer("a", " tintcolor=\"#80ff8040\" opacity=\"0.8\"") +
                         " </group>\n" + sparseLayer("b", " tintcolor=\"#4080ff\"")),
                 false},
        LookCase{
            "imageLayers",
            lookMap(" <imagelayer name=\"once\" offsetx=\"-5\" offsety=\"8\"><image "
                    "source=\"banner.png\" trans=\"ff00ff\"/></imagelayer>\n"
                    " <imagelayer name=\"x\" offsetx=\"10\" offsety=\"30\" repeatx=\"1\" "
                    "opacity=\"0.5\"><image source=\"banner.png\" trans=\"ff00ff\"/></imagelayer>\n"
                    " <imagelayer name=\"y\" offsetx=\"50\" offsety=\"-7\" repeaty=\"1\" "
                    "tintcolor=\"#ff8080\"><image source=\"banner.png\" "
                    "trans=\"ff00ff\"/></imagelayer>\n" +
                    sparseLayer("over", "") +
                    " <group offsetx=\"3\"><imagelayer name=\"xy\" offsetx=\"90\" "
                    "offsety=\"70\" repeatx=\"1\" repeaty=\"1\" opacity=\"0.3\"><image "
                    "source=\"banner.png\" trans=\"ff00ff\"/></imagelayer></group>\n"),
            false},
        // A tiny image repeated both ways (drawn from a wider copy of it) and along x alone.
        LookCase{
            "tinyImagesRepeated",
            lookMap(" <imagelayer name=\"both\" offsetx=\"-7\" offsety=\"5\" repeatx=\"1\" "
                    "repeaty=\"1\" opacity=\"0.6\"><image source=\"dots.png\" "
                    "trans=\"ff00ff\"/></imagelayer>\n <imagelayer name=\"x\" offsetx=\"3\" "
                    "offsety=\"40\" "
                    "repeatx=\"1\"><image source=\"dots.png\" trans=\"ff00ff\"/></imagelayer>\n"),
            false},
        // At the view's centre, the parallax origin, parallax layers are where they would be
        // without it.
        LookCase{"parallaxAtItsOrigin",
                 lookMap(" <group parallaxx=\"0.5\">" +
                             sparseLayer("far", " parallaxx=\"0.5\" parallaxy=\"0.25\"") +
                             "</group>\n" + sparseLayer("near", " parallaxx=\"1.5\""),
                         " parallaxoriginx=\"64\" parallaxoriginy=\"48\""),
                 false},
        LookCase{"tileObjects",
                 lookMap(" <objectgroup name=\"o\" offsetx=\"2\">\n"
                         "  <object id=\"1\" gid=\"3\" x=\"10\" y=\"30\" width=\"16\" "
                         "height=\"16\"/>\n"
                         "  <object id=\"2\" gid=\"2147483652\" x=\"40\" y=\"40\" width=\"16\" "
                         "height=\"16\"/>\n"
                         "  <object id=\"3\" gid=\"5\" x=\"70\" y=\"20\" width=\"32\" "
                         "height=\"8\"/>\n"
                         "  <object id=\"4\" gid=\"6\" x=\"20\" y=\"60\" width=\"16\" "
                         "height=\"16\" rotation=\"90\"/>\n"
                         "  <object id=\"5\" gid=\"1073741831\" x=\"100\" y=\"90\" "
                         "width=\"16\" height=\"32\" rotation=\"180\"/>\n"
                         "  <object id=\"6\" gid=\"8\" x=\"90\" y=\"50\" width=\"16\" "
                         "height=\"16\" rotation=\"-90\" visible=\"0\"/>\n"
                         " </objectgroup>\n"),
                 true},
        // Overlapping tile objects listed against their y order: by y in a layer drawn top
        // down (the default), in the file's order in one drawn by index.
        LookCase{"tileObjectsTopDown",
                 lookMap(" <objectgroup name=\"o\">\n" + overlapping() + " </objectgroup>\n"),
                 true},
        LookCase{"tileObjectsByIndex",
                 lookMap(" <objectgroup name=\"o\" draworder=\"index\">\n" + overlapping() +
                         " </objectgroup>\n"),
                 true}),
    caseName);

} // namespace

namespace {

// An infinite map, its chunks reaching left of and above the origin, draws as tmxrasterizer
// draws it and as its finite copy does, from either format; its objects move with it.
TEST_F(InTempDir, InfiniteMapsDrawAsTheirFiniteCopies) {
    writeMarkedSheet("marked.png");
    // Three chunks of 16 x 16 cells, together from (-32, -16) to (16, 16): 48 x 32 cells,
    // with tiles in -20 < x < 3, -2 < y < 4 where a chunk holds them.
    auto cell = [](int x, int y) {
        bool held = (y < 0) == (x < -16);
        return held && -20 < x && x < 3 && -2 < y && y < 4 ? (x + 2 * y + 64) % 9 : 0;
    };
    const int chunkAt[][2] = {{-32, -16}, {-16, 0}, {0, 0}};
    std::string chunks;
    for (const auto& at : chunkAt) {
        chunks += "<chunk x=\"" + std::to_string(at[0]) + "\" y=\"" + std::to_string(at[1]) +
                  "\" width=\"16\" height=\"16\">";
        for (int i = 0; i < 256; ++i)
            chunks += std::to_string(cell(at[0] + i % 16, at[1] + i / 16)) + (i < 255 ? "," : "");
        chunks += "</chunk>";
    }
    std::string cells;
    for (int i = 0; i < 48 * 32; ++i)
        cells += std::to_string(cell(-32 + i % 48, -16 + i / 48)) + (i < 48 * 32 - 1 ? "," : "");
    auto mapText = [](bool infinite, int w, int h, const std::string& data, int objectX) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.8\" "
               "orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" +
               std::to_string(w) + "\" height=\"" + std::to_string(h) +
               "\" tilewidth=\"16\" tileheight=\"16\" infinite=\"" + (infinite ? "1" : "0") +
               "\" backgroundcolor=\"#203040\">\n <tileset firstgid=\"1\" name=\"t\" "
               "tilewidth=\"16\" tileheight=\"16\" tilecount=\"8\" columns=\"8\"><image "
               "source=\"marked.png\" width=\"128\" height=\"16\"/></tileset>\n <layer "
               "name=\"l\" width=\"" +
               std::to_string(w) + "\" height=\"" + std::to_string(h) +
               "\"><data encoding=\"csv\">" + data +
               "</data></layer>\n <objectgroup name=\"o\"><object id=\"1\" x=\"" +
               std::to_string(objectX) + "\" y=\"8\"/></objectgroup>\n</map>\n";
    };
    // Tiled writes an empty layer of an infinite map without chunks.
    std::string endlessText = mapText(true, 30, 20, chunks, -100);
    endlessText.insert(endlessText.find(" <objectgroup"),
                       " <layer name=\"empty\" width=\"30\" height=\"20\"><data encoding=\"csv\">\n"
                       "</data></layer>\n");
    writeFile("endless.tmx", endlessText);
    writeFile("finite.tmx", mapText(false, 48, 32, cells, 412));
    runCommand("QT_QPA_PLATFORM=offscreen tiled --export-map json endless.tmx endless.tmj 2>&1");
    TrelTiledMap finite, endless, json;
    ASSERT_TRUE(finite.load("finite.tmx")) << finite.getError();
    ASSERT_TRUE(endless.load("endless.tmx")) << endless.getError();
    ASSERT_TRUE(json.load("endless.tmj")) << json.getError();
    EXPECT_TRUE(endless.isInfinite());
    EXPECT_EQ(endless.getWidth(), 48);
    EXPECT_EQ(endless.getHeight(), 32);
    EXPECT_EQ(endless.getOriginX(), -32);
    EXPECT_EQ(endless.getOriginY(), -16);
    EXPECT_EQ(endless.getTileLayers()[0].gids, finite.getTileLayers()[0].gids);
    EXPECT_EQ(json.getTileLayers()[0].gids, finite.getTileLayers()[0].gids);
    EXPECT_DOUBLE_EQ(endless.getObjectGroups()[0].objects[0].x, 412);
    EXPECT_DOUBLE_EQ(endless.getObjectGroups()[0].objects[0].y, 264);
    Drawing one(finite, 0), other(endless, 0), third(json, 0);
    EXPECT_EQ(differingPixels(one.bitmap, other.bitmap), 0);
    EXPECT_EQ(differingPixels(one.bitmap, third.bitmap), 0);
    std::string output;
    BITMAP* reference = tiledPicture(endless, "endless.tmx", 0x203040, output);
    ASSERT_NE(reference, nullptr) << output;
    long exact = 0, oneStep = 0, more = 0;
    stepsApart(reference, other.bitmap, exact, oneStep, more);
    EXPECT_EQ(exact, 768L * 512);
    destroy_bitmap(reference);
}

} // namespace
