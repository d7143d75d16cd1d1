#include "gfx/TrelISprite.h"

#include <allegro.h>

#include "gfx/TrelTileCache.h"

static_assert(sizeof(TrelISprite::PaletteEntry) == sizeof(RGB), "palette entry layout");
static_assert(sizeof(TrelISprite::palette) == sizeof(PALETTE), "palette size");

TrelISprite::TrelISprite(const char* fileName)
    : bitmap(load_bitmap(fileName, reinterpret_cast<RGB*>(palette))), width(0), height(0) {
    if (bitmap != nullptr) {
        width = bitmap->w;
        height = bitmap->h;
    }
}

TrelISprite::~TrelISprite() {
    if (bitmap != nullptr)
        destroy_bitmap(bitmap);
    TrelTileCache::noteSpriteDestroyed_();
}
