#include <allegro.h>
#include <gtest/gtest.h>

#include <dirent.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WorldSupport.h"

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
    std::string command = "QT_QPA_PLATFORM=offscreen tmxrasterizer";
    for (const TrelTiledMap::ObjectGroup& group : map.getObjectGroups())
        command += " --hide-layer " + quotedForShell(group.name);
    command += " " + quotedForShell(plain) + " reference.png 2>&1";
    std::string output = runCommand(command);
    int background = map.getBackgroundColor() < 0 ? 0 : map.getBackgroundColor();
    char hex[16];
    std::snprintf(hex, sizeof hex, "#%06x", background);
    // The picture's transparent parts over the colour the engine's buffer is cleared to.
    ASSERT_EQ(system(("convert reference.png -background '" + std::string(hex) +
                      "' -flatten PNG24:flat.png")
                         .c_str()),
              0)
        << output;

    const int w = map.getWidth() * map.getTileWidth();
    const int h = map.getHeight() * map.getTileHeight();
    set_color_depth(32);
    BITMAP* reference = load_bitmap("flat.png", nullptr);
    ASSERT_NE(reference, nullptr) << output;
    ASSERT_EQ(reference->w, w);
    ASSERT_EQ(reference->h, h);

    set_color_depth(16);
    auto sys = std::make_unique<TrelSystem>();
    BITMAP* mine = create_bitmap(w, h);
    clear_to_color(mine, makecol(background >> 16, background >> 8 & 255, background & 255));
    sys->iface.gfx.buffer = sys->iface.gfx.target = mine;
    auto* zone = new TrelZone(sys.get());
    ASSERT_TRUE(map.addToZone(sys.get(), zone)) << map.getError();
    sys->iface.gfx.drawZone(zone, 0, 0, w, h);

    // Tiled's 8-bit colour as 5-6-5 against the engine's: how many steps apart.
    long exact = 0, oneStep = 0, more = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int r = getpixel(reference, x, y), m = getpixel(mine, x, y);
            int dr = std::abs((getr32(r) >> 3) - (getr16(m) >> 3));
            int dg = std::abs((getg32(r) >> 2) - (getg16(m) >> 2));
            int db = std::abs((getb32(r) >> 3) - (getb16(m) >> 3));
            int d = std::max(dr, std::max(dg, db));
            (d == 0 ? exact : d == 1 ? oneStep : more)++;
        }
    }
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

    delete zone;
    sys->iface.gfx.buffer = sys->iface.gfx.target = nullptr;
    sys.reset();
    destroy_bitmap(mine);
    destroy_bitmap(reference);
}

INSTANTIATE_TEST_SUITE_P(Shipped, TiledExamples, ::testing::ValuesIn(exampleMaps()), testName);
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(TiledExamples);

} // namespace
