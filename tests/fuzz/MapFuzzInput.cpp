#include "MapFuzzInput.h"

#include <cstdio>

#include "map/TrelTiledMap.h"

namespace {

bool writeFile(const std::string& name, const std::string& bytes) {
    FILE* out = std::fopen(name.c_str(), "wb");
    if (out == nullptr)
        return false;
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    return std::fclose(out) == 0;
}

// What a game reads after a successful load must hold together.
std::string checkLoaded(TrelTiledMap& map) {
    for (const TrelTiledMap::TileLayer& layer : map.getTileLayers()) {
        if (layer.gids.size() != static_cast<std::size_t>(map.getWidth()) * map.getHeight())
            return "layer \"" + layer.name + "\" holds another number of cells than the map";
        for (std::uint32_t gid : layer.gids)
            if ((gid & ~TrelTiledMap::kFlagBits) != 0 && map.getCellValue(gid) <= 0)
                return "GID " + std::to_string(gid) + " has no cell value";
    }
    if (map.getFrameCount() > TrelTiledMap::kMaxFrames)
        return "the map needs more frames than a cell can name";
    return "";
}

} // namespace

std::string loadFuzzInput(const std::string& folder, const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string mark = "@@tileset@@";
    std::size_t split = input.find(mark);
    std::string setBytes = split == std::string::npos ? "" : input.substr(split + mark.size());
    if (!writeFile(folder + "map.tmx", input.substr(0, split)) ||
        !writeFile(folder + "fuzz.tsx", setBytes) || !writeFile(folder + "fuzz.tsj", setBytes))
        return "the input's files could not be written in " + folder;

    TrelTiledMap map;
    bool loaded = map.load((folder + "map.tmx").c_str());
    std::string error = map.getError();
    if (loaded != error.empty())
        return loaded ? "a success that gives an error" : "a failure that says nothing";
    if (error.find('\n') != std::string::npos)
        return "an error of more than one line: " + error;
    return loaded ? checkLoaded(map) : "";
}
