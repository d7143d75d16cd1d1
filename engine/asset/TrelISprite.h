#ifndef TREL_ISPRITE_H
#define TREL_ISPRITE_H

#include <cstdint>

#include "base/TrelExport.h"

struct BITMAP;

// One image loaded from a file. Build it through TrelResource::loadData, which discards a
// sprite whose file could not be loaded.
class TREL_API TrelISprite {
public:
    // Loads the file (format chosen by its extension: PNG, JPEG, BMP, TGA or PCX), checked
    // before it is decoded and within TrelLoadLimits; bitmap stays null on failure.
    explicit TrelISprite(const char* fileName);
    // Takes an image made in memory (null allowed, as for a file that did not load).
    explicit TrelISprite(BITMAP* image);
    ~TrelISprite();

    TrelISprite(const TrelISprite&) = delete;
    TrelISprite& operator=(const TrelISprite&) = delete;

    // The same layout as one entry of Allegro's PALETTE.
    struct PaletteEntry {
        unsigned char r, g, b, filler;
    };

    BITMAP* bitmap; // owned; null when the file could not be loaded
    int width;      // 0 without a bitmap
    int height;
    // Where a tile cell draws the image, from the cell's top-left corner; 0, 0 unless a map
    // loader sets it (Tiled anchors tiles at the bottom-left). Objects ignore it.
    int offsetX;
    int offsetY;
    PaletteEntry palette[256]; // filled by the loader; the engine does not read it

    // A number no other sprite of the process has had or will have, so that what remembers
    // a sprite (the renderer's tile caches) can tell it from a later one at the same address.
    std::uint64_t getSerial() const { return serial; }

private:
    std::uint64_t serial;
};

#endif
