#include "image/TrelImageFormats.h"

#include <allegro.h>
#include <jpgalleg.h>
#include <loadpng.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "image/TrelFileBytes.h"
#include "image/TrelImageFile.h"

namespace {

// Image files are not limited in size here: the checks before decoding are about their form.
const std::size_t kNoLimit = ~std::size_t(0);

// One step of green at this depth: the smallest change that leaves the mask colour.
int greenStep(int depth) {
    return depth == 15 ? 8 : depth == 16 ? 4 : 1;
}

// The 32-bit RGBA image at the given depth, alpha turned into the mask colour.
BITMAP* maskFromAlpha(BITMAP* rgba, int depth) {
    BITMAP* out = create_bitmap_ex(depth, rgba->w, rgba->h);
    if (out == nullptr)
        return nullptr;
    const int mask = bitmap_mask_color(out);
    for (int y = 0; y < rgba->h; ++y) {
        for (int x = 0; x < rgba->w; ++x) {
            int pixel = getpixel(rgba, x, y);
            int colour = mask;
            if (geta32(pixel) >= 128) {
                int r = getr32(pixel), g = getg32(pixel), b = getb32(pixel);
                colour = makecol_depth(depth, r, g, b);
                if (colour == mask)
                    colour = makecol_depth(depth, r, g + greenStep(depth), b);
            }
            putpixel(out, x, y, colour);
        }
    }
    return out;
}

// Any other image at the given depth, converted as blit converts (magenta stays the mask).
BITMAP* convertTo(BITMAP* image, int depth, RGB* palette) {
    BITMAP* out = create_bitmap_ex(depth, image->w, image->h);
    if (out == nullptr)
        return nullptr;
    if (bitmap_color_depth(image) == 8)
        select_palette(palette);
    blit(image, out, 0, 0, 0, 0, image->w, image->h);
    if (bitmap_color_depth(image) == 8)
        unselect_palette();
    return out;
}

const char* jpegFault(int error) {
    switch (error) {
    case JPG_ERROR_INPUT_BUFFER_TOO_SMALL:
        return "is cut short";
    case JPG_ERROR_NOT_JPEG:
        return "is not a JPEG image";
    case JPG_ERROR_UNSUPPORTED_ENCODING:
    case JPG_ERROR_UNSUPPORTED_COLOR_SPACE:
    case JPG_ERROR_UNSUPPORTED_DATA_PRECISION:
        return "uses a JPEG encoding that cannot be read";
    case JPG_ERROR_OUT_OF_MEMORY:
        return "could not be loaded: out of memory";
    default:
        return "is damaged";
    }
}

int savePng(const char* fileName, BITMAP* bitmap, const RGB* palette) {
    return save_png(fileName, bitmap, palette);
}

int saveJpeg(const char* fileName, BITMAP* bitmap, const RGB* palette) {
    return save_jpg(fileName, bitmap, palette);
}

} // namespace

void TrelImageFormats::register_() {
    register_bitmap_file_type("png", loadPng_, savePng);
    register_bitmap_file_type("jpg", loadJpeg_, saveJpeg);
    register_bitmap_file_type("jpeg", loadJpeg_, saveJpeg);
}

BITMAP* TrelImageFormats::loadPng_(const char* fileName, RGB* palette) {
    std::string bytes, reason;
    if (!TrelFileBytes::read(fileName, kNoLimit, bytes, reason)) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) + " cannot be read.");
        return nullptr;
    }
    if (!TrelImageFile::checkPng(fileName, bytes, reason)) {
        TrelImageFile::reportLoadFailure_(reason);
        return nullptr;
    }
    // Loaded as stored: the default conversion would drop the alpha (transparent pixels
    // turning black at 16 bits), and libpng's gamma handling would shift the colours.
    int conversion = get_color_conversion();
    double gamma = _png_screen_gamma;
    set_color_conversion(COLORCONV_NONE);
    _png_screen_gamma = 0.0;
    BITMAP* stored = load_png(fileName, palette);
    set_color_conversion(conversion);
    _png_screen_gamma = gamma;
    if (stored == nullptr) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) +
                                          " is damaged: its image data "
                                          "cannot be decoded.");
        return nullptr;
    }

    int depth = get_color_depth();
    BITMAP* result = stored;
    if (bitmap_color_depth(stored) == 32)
        result = maskFromAlpha(stored, depth);
    else if (bitmap_color_depth(stored) != depth)
        result = convertTo(stored, depth, palette);
    if (result != stored)
        destroy_bitmap(stored);
    if (result == nullptr)
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) +
                                          " could not be loaded: out of memory.");
    return result;
}

BITMAP* TrelImageFormats::loadJpeg_(const char* fileName, RGB* palette) {
    std::string bytes, reason;
    if (!TrelFileBytes::read(fileName, kNoLimit, bytes, reason)) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) + " cannot be read.");
        return nullptr;
    }
    if (!TrelImageFile::checkJpeg(fileName, bytes, reason)) {
        TrelImageFile::reportLoadFailure_(reason);
        return nullptr;
    }
    BITMAP* image = load_memory_jpg(&bytes[0], static_cast<int>(bytes.size()), palette);
    if (image == nullptr) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) + " " +
                                          jpegFault(jpgalleg_error) + ".");
    }
    return image;
}
