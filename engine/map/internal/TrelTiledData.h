#ifndef TREL_TILED_DATA_H
#define TREL_TILED_DATA_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/TrelFileBytes.h"
#include "map/TrelTiledMap.h"

// The byte-level work of reading Tiled files: whole files (gzip-compressed or not), layer
// data in each of Tiled's encodings, colours and paths. Engine-internal: used by the map
// readers only. Every function that can fail returns false with reason set to a phrase that
// follows the name of what was read ("was not found", "has the unknown encoding ...").
class TrelTiledData {
public:
    // The file's bytes, inflated when they are gzip data, at most limit bytes either way. A
    // file that is missing, not a regular file, unreadable, beyond the limit, or gzip data
    // that is cut short or damaged is refused.
    static bool readFile(const std::string& path, const TrelFileBytes::Limit& limit,
                         std::string& bytes, std::string& reason);

    // How many cells a layer's data held, for the check against the map's count.
    struct CellCount {
        std::size_t found = 0;
        bool beyond = false;   // more than the map's cells (compressed data stops there)
        bool cutShort = false; // a last cell of fewer than 4 bytes
    };
    // The GIDs of a layer's data, given what the map expects (cells): encoding "csv" or
    // "base64", compression "" (none), "zlib", "gzip" or "zstd" for base64. count says how
    // many the data held; gids holds them only when that is exactly cells. Data that cannot
    // be decoded, or an unknown encoding or compression, is refused.
    static bool decodeLayer(const std::string& encoding, const std::string& compression,
                            const char* text, std::size_t length, std::size_t cells,
                            std::vector<std::uint32_t>& gids, CellCount& count,
                            std::string& reason);

    // "#rrggbb", "rrggbb" or "#aarrggbb" as 0xRRGGBB; false for anything else.
    static bool parseColor(const std::string& text, int& rgb);
    // The same as 0xAARRGGBB, the alpha 0xFF where the text gives none.
    static bool parseArgb(const std::string& text, std::uint32_t& argb);
    // Two 0xAARRGGBB colours multiplied channel by channel, as Tiled combines tints.
    static std::uint32_t multiplyArgb(std::uint32_t a, std::uint32_t b);
    // A whole decimal integer that fits an int; false for anything else.
    static bool parseInt(const std::string& text, int& value);
    // A decimal number; false for anything else, NaN and infinities included.
    static bool parseDouble(const std::string& text, double& value);
    // A GID as the readers meet it in text: a decimal number below 2^32.
    static bool parseGid(const std::string& text, std::uint32_t& gid);

    // The folder part of a path, with its final '/', or "" for a bare name.
    static std::string folderOf(const std::string& path);
    // A path relative to folder, or the path itself when it is absolute.
    static std::string resolve(const std::string& folder, const std::string& path);
    // Where each line of a text starts, for lineAt.
    static std::vector<std::size_t> lineStarts(const std::string& text);
    // The 1-based line that byte offset falls on, from the text's lineStarts.
    static int lineAt(const std::vector<std::size_t>& starts, std::size_t offset);
    // Quoted, as error messages show names: "\"name\"", control characters escaped ("\\n").
    static std::string quoted(const std::string& text) { return TrelFileBytes::quoted(text); }

    // How a layer is shown once the groups around it count: visible only when they all are,
    // its opacity, parallax factors and tint multiplied by theirs, its offset added to theirs.
    struct Look {
        bool visible = true;
        double opacity = 1;
        TrelTiledMap::LayerLook drawn;
        int depth = 0; // groups around the layer
    };
    // What a layer or group says of its own look, as either format writes it.
    struct OwnLook {
        bool visible = true;
        double opacity = 1;
        TrelTiledMap::LayerLook drawn;
    };
    // The look of a layer with its own inside outer.
    static Look nestedLook(const Look& outer, const OwnLook& own);
    // Gives a model's layer (tile layer, image layer or object group) its look.
    template <class Layer>
    static void giveLook(const Look& look, Layer& layer) {
        layer.visible = look.visible;
        layer.opacity = look.opacity;
        layer.look = look.drawn;
    }
    // The deepest groups may nest.
    static const int kMaxGroupDepth = 32;

private:
    static bool decodeBase64(const char* text, std::size_t length, std::string& out,
                             std::string& reason);
    static bool inflate(const std::string& in, bool gzip, std::size_t limit, std::string& out,
                        std::string& reason);
    static bool unzstd(const std::string& in, std::size_t limit, std::string& out,
                       std::string& reason);
    static bool parseCsv(const char* text, std::size_t length, std::size_t cells,
                         std::vector<std::uint32_t>& gids, CellCount& count, std::string& reason);
};

#endif
