// Loading a Tiled map of 256 × 256 cells in 4 layers: parsing alone in each of the usual
// encodings, and parsing with the frames cut and the layers filled.
#include <allegro.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "MapFiles.h"
#include "TestFiles.h"
#include "map/TrelTiledMap.h"
#include "trel.h"

namespace {

const int kSize = 256;
const int kLayers = 4;

// Writes the map once per encoding into /tmp and returns its name; the tileset is 8 × 8
// tiles of 32 pixels, so GIDs run to 64, with some cells flipped and the upper layers sparse.
std::string writeMap(const std::string& encoding, const std::string& compression, bool json) {
    std::string name = "/tmp/trel-bench-map-" + encoding + compression + (json ? ".tmj" : ".tmx");
    static bool sheet = false;
    if (!sheet) {
        std::vector<int> colours;
        for (int i = 0; i < 64; ++i)
            colours.push_back(tileColour(i));
        writeTileSheet("/tmp/trel-bench-map-sheet.bmp", 32, 32, 8, 8, colours);
        sheet = true;
    }
    std::string layers;
    for (int l = 0; l < kLayers; ++l) {
        std::vector<std::uint32_t> gids(kSize * kSize);
        for (int i = 0; i < kSize * kSize; ++i)
            gids[i] = l == 0 || i % (l + 2) == 0 ? 1 + (i * 7 + l) % 64 : 0;
        for (int i = 0; i < kSize * kSize; i += 97)
            gids[i] |= TrelTiledMap::kFlipHorizontal;
        std::string data = encodeGids(gids, encoding, compression);
        std::string layerName = "layer" + std::to_string(l);
        if (json) {
            layers += std::string(l ? "," : "") + "{\"type\":\"tilelayer\",\"name\":\"" +
                      layerName + "\",\"width\":256,\"height\":256,\"data\":" +
                      (encoding == "csv" ? "[" + data + "]"
                                         : "\"" + data + "\",\"encoding\":\"base64\"" +
                                               (compression.empty()
                                                    ? ""
                                                    : ",\"compression\":\"" + compression + "\"")) +
                      "}";
        } else {
            layers += " <layer name=\"" + layerName +
                      "\" width=\"256\" height=\"256\">\n  <data encoding=\"" + encoding + "\"" +
                      (compression.empty() ? "" : " compression=\"" + compression + "\"") + ">\n" +
                      data + "\n  </data>\n </layer>\n";
        }
    }
    const std::string set =
        "name=\"sheet\" tilewidth=\"32\" tileheight=\"32\" tilecount=\"64\" columns=\"8\"";
    if (json)
        writeFile(
            name,
            "{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":256,\"height\":256,"
            "\"tilewidth\":32,\"tileheight\":32,\"tilesets\":[{\"firstgid\":1,\"name\":\"sheet\","
            "\"tilewidth\":32,\"tileheight\":32,\"tilecount\":64,\"columns\":8,"
            "\"image\":\"trel-bench-map-sheet.bmp\",\"imagewidth\":256,\"imageheight\":256}],"
            "\"layers\":[" +
                layers + "]}");
    else
        writeFile(
            name,
            "<?xml version=\"1.0\"?>\n<map orientation=\"orthogonal\" width=\"256\" height=\"256\" "
            "tilewidth=\"32\" tileheight=\"32\">\n <tileset firstgid=\"1\" " +
                set +
                ">\n  <image source=\"trel-bench-map-sheet.bmp\" width=\"256\" height=\"256\"/>\n"
                " </tileset>\n" +
                layers + "</map>\n");
    return name;
}

bool allegroStarted() {
    static bool installed = install_allegro(SYSTEM_NONE, &errno, nullptr) == 0;
    if (installed)
        TrelInterface::extendAllegro();
    return installed;
}

void loadMap(benchmark::State& state, const char* encoding, const char* compression, bool json) {
    allegroStarted();
    std::string file = writeMap(encoding, compression, json);
    TrelTiledMap map;
    for (auto _ : state) {
        if (!map.load(file.c_str())) {
            state.SkipWithError(map.getError());
            break;
        }
    }
    std::remove(file.c_str());
}

// What newZoneFromMap does: parse, cut the 64 tiles and their flipped copies, fill 4 layers.
void BM_mapIntoZone(benchmark::State& state) {
    if (!allegroStarted()) {
        state.SkipWithError("Allegro did not start");
        return;
    }
    set_color_depth(16);
    std::string file = writeMap("base64", "zlib", false);
    static TrelSystem sys;
    for (auto _ : state) {
        TrelTiledMap map;
        auto zone = std::make_unique<TrelZone>(&sys);
        if (!map.load(file.c_str()) || !map.addToZone(&sys, zone.get())) {
            state.SkipWithError(map.getError());
            break;
        }
        state.PauseTiming();
        zone.reset();
        sys.clearSpriteResources();
        state.ResumeTiming();
    }
    std::remove(file.c_str());
}

} // namespace

BENCHMARK_CAPTURE(loadMap, tmx_csv, "csv", "", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadMap, tmx_base64, "base64", "", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadMap, tmx_zlib, "base64", "zlib", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadMap, tmx_zstd, "base64", "zstd", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadMap, tmj_csv, "csv", "", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(loadMap, tmj_gzip, "base64", "gzip", true)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_mapIntoZone)->Unit(benchmark::kMillisecond);
