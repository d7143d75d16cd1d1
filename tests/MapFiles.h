#ifndef TREL_TEST_MAP_FILES_H
#define TREL_TEST_MAP_FILES_H

#include <cstdint>
#include <string>
#include <vector>

// Writers of Tiled files for the map tests, in both of Tiled's formats.

// A layer's data as Tiled writes it: encoding "csv" or "base64", compression "", "zlib",
// "gzip" or "zstd"; fast compresses zlib data at the fastest level, for large layers.
std::string encodeGids(const std::vector<std::uint32_t>& gids, const std::string& encoding,
                       const std::string& compression, bool fast = false);
std::string gzipBytes(const std::string& bytes);

// Writes a 24-bit BMP of columns × rows tiles of w × h pixels, with margin and spacing, in
// which tile i is filled with colours[i] (0xRRGGBB) and its top-left pixel is white. The
// margin and spacing are black. Returns its name.
std::string writeTileSheet(const std::string& name, int w, int h, int columns, int rows,
                           const std::vector<int>& colours, int margin = 0, int spacing = 0);

// The colours of the sheets the tests draw: distinct in 16 bits.
int tileColour(int i);

#endif
