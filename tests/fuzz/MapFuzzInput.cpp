#include "MapFuzzInput.h"

#include <cstdio>

#include "core/TrelSystem.h"
#include "map/TrelTiledMap.h"
#include "world/TrelZone.h"

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

// The part of input after mark and before the next "@@" mark, cut from input.
std::string cutPart(std::string& input, const std::string& mark) {
    std::size_t at = input.find(mark);
    if (at == std::string::npos)
        return "";
    std::size_t end = input.find("@@", at + mark.size());
    std::string part = input.substr(
        at + mark.size(), end == std::string::npos ? std::string::npos : end - at - mark.size());
    input.erase(at, part.size() + mark.size());
    return part;
}

// "" when ok matches an empty one-line error, else what is wrong.
std::string checkOutcome(bool ok, const std::string& error) {
    if (ok != error.empty())
        return ok ? "a success that gives an error" : "a failure that says nothing";
    if (error.find('\n') != std::string::npos)
        return "an error of more than one line: " + error;
    return "";
}

} // namespace

std::string loadFuzzInput(const std::string& folder, const std::uint8_t* data, std::size_t size,
                          TrelSystem* system) {
    std::string input(reinterpret_cast<const char*>(data), size);
    const std::string image = cutPart(input, "@@image@@");
    const std::string setBytes = cutPart(input, "@@tileset@@");
    bool written = writeFile(folder + "map.tmx", input) &&
                   writeFile(folder + "fuzz.tsx", setBytes) &&
                   writeFile(folder + "fuzz.tsj", setBytes);
    for (const char* name : {"fuzz.png", "fuzz.jpg", "fuzz.bmp", "fuzz.tga", "fuzz.pcx"})
        written = written && writeFile(folder + name, image);
    if (!written)
        return "the input's files could not be written in " + folder;

    TrelTiledMap map;
    map.setTileObjects(true); // its objects' pictures are made too
    bool loaded = map.load((folder + "map.tmx").c_str());
    std::string problem = checkOutcome(loaded, map.getError());
    if (!problem.empty() || !loaded)
        return problem;
    problem = checkLoaded(map);
    if (!problem.empty() || system == nullptr)
        return problem;
    TrelZone zone(system);
    bool added = map.addToZone(system, &zone);
    problem = checkOutcome(added, map.getError());
    system->clearSpriteResources();
    return problem;
}
