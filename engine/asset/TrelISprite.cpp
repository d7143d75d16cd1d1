#include "asset/TrelISprite.h"

#include <allegro.h>

#include <atomic>

#include "image/TrelImageFormats.h"

static_assert(sizeof(TrelISprite::PaletteEntry) == sizeof(RGB), "palette entry layout");
static_assert(sizeof(TrelISprite::palette) == sizeof(PALETTE), "palette size");

namespace {
std::atomic<std::uint64_t> lastSerial(0);
} // namespace

TrelISprite::TrelISprite(const char* fileName) : TrelISprite(static_cast<BITMAP*>(nullptr)) {
    bitmap = TrelImageFormats::load(fileName, reinterpret_cast<RGB*>(palette));
    if (bitmap != nullptr) {
        width = bitmap->w;
        height = bitmap->h;
    }
}

TrelISprite::TrelISprite(BITMAP* image)
    : bitmap(image), width(0), height(0), offsetX(0), offsetY(0), palette(),
      serial(lastSerial.fetch_add(1) + 1) {
    if (bitmap != nullptr) {
        width = bitmap->w;
        height = bitmap->h;
    }
}

TrelISprite::~TrelISprite() {
    if (bitmap != nullptr)
        destroy_bitmap(bitmap);
}
