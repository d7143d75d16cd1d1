// libFuzzer target for the Tiled map readers: the input is a map file, optionally followed by
// "@@tileset@@" and the bytes of an external tileset, which the map may name as fuzz.tsx or
// fuzz.tsj. Loading must end in true or in a one-line error, never in a crash or a hang.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "map/TrelTiledMap.h"

namespace {

void writeFile(const std::string& name, const char* data, std::size_t size) {
    FILE* out = std::fopen(name.c_str(), "wb");
    if (out == nullptr)
        std::abort();
    std::fwrite(data, 1, size, out);
    std::fclose(out);
}

std::string workFolder() {
    char folder[] = "/tmp/trel-fuzz-XXXXXX";
    if (mkdtemp(folder) == nullptr)
        std::abort();
    return std::string(folder) + "/";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = workFolder();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string mark = "@@tileset@@";
    std::size_t split = input.find(mark);
    std::string mapBytes = input.substr(0, split);
    std::string setBytes = split == std::string::npos ? "" : input.substr(split + mark.size());
    writeFile(folder + "map.tmx", mapBytes.data(), mapBytes.size());
    writeFile(folder + "fuzz.tsx", setBytes.data(), setBytes.size());
    writeFile(folder + "fuzz.tsj", setBytes.data(), setBytes.size());

    TrelTiledMap map;
    bool loaded = map.load((folder + "map.tmx").c_str());
    std::string error = map.getError();
    if (loaded != error.empty() || error.find('\n') != std::string::npos)
        std::abort(); // a failure must say why, in one line; a success says nothing
    if (loaded) {
        // What a game reads afterwards must hold together.
        for (const TrelTiledMap::TileLayer& layer : map.getTileLayers()) {
            if (layer.gids.size() != static_cast<std::size_t>(map.getWidth()) * map.getHeight())
                std::abort();
            for (std::uint32_t gid : layer.gids)
                if ((gid & ~TrelTiledMap::kFlagBits) != 0 && map.getCellValue(gid) <= 0)
                    std::abort();
        }
        if (map.getFrameCount() > TrelTiledMap::kMaxFrames)
            std::abort();
    }
    return 0;
}
