#include "image/TrelImageFormats.h"

#include <allegro.h>
#include <jpgalleg.h>
#include <loadpng.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "core/TrelInterface.h"
#include "gfx/TrelImageFile.h"

namespace {

// Every program that starts Allegro through the engine reads PNG and JPEG.
struct StartHook {
    StartHook() { TrelInterface::addStartHook_(&TrelImageFormats::register_); }
} startHook;

bool readWhole(const char* fileName, std::vector<unsigned char>& bytes) {
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr)
        return false;
    unsigned char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool ok = std::ferror(file) == 0;
    std::fclose(file);
    return ok;
}

std::uint32_t be32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
           static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

// The PNG's chunk structure: the signature, then chunks up to IEND, each within the file.
// libpng would find the same faults, but could only say that decoding failed.
bool checkPngStructure(const char* fileName, std::string& reason) {
    std::vector<unsigned char> bytes;
    if (!readWhole(fileName, bytes)) {
        reason = TrelImageFile::named(fileName) + " cannot be read.";
        return false;
    }
    static const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < 8 || !std::equal(kSignature, kSignature + 8, bytes.begin())) {
        reason = TrelImageFile::named(fileName) + " is not a PNG image.";
        return false;
    }
    unsigned long long at = 8;
    const unsigned long long size = bytes.size();
    for (;;) {
        // A chunk is its length, its type, its data and a 4-byte checksum.
        unsigned long long need = at + 12;
        if (size >= at + 8)
            need += be32(&bytes[at]);
        if (size < need) {
            reason = TrelImageFile::named(fileName) + " is cut short: " + std::to_string(size) +
                     " of at least " + std::to_string(need) + " bytes.";
            return false;
        }
        bool end = bytes[at + 4] == 'I' && bytes[at + 5] == 'E' && bytes[at + 6] == 'N' &&
                   bytes[at + 7] == 'D';
        at = need;
        if (end)
            return true;
    }
}

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
    std::string reason;
    if (!checkPngStructure(fileName, reason)) {
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
    std::vector<unsigned char> bytes;
    if (!readWhole(fileName, bytes)) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) + " cannot be read.");
        return nullptr;
    }
    if (bytes.size() < 3 || bytes[0] != 0xff || bytes[1] != 0xd8 || bytes[2] != 0xff) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) + " is not a JPEG image.");
        return nullptr;
    }
    // Inside a JPEG's coded data a 0xff byte is never followed by 0xd9, so a file without
    // that pair has lost its end.
    bool ended = false;
    for (std::size_t i = bytes.size(); i-- > 3 && !ended;)
        ended = bytes[i - 1] == 0xff && bytes[i] == 0xd9;
    if (!ended) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) +
                                          " is cut short: " + std::to_string(bytes.size()) +
                                          " bytes, with no end-of-image marker.");
        return nullptr;
    }
    BITMAP* image = load_memory_jpg(bytes.data(), static_cast<int>(bytes.size()), palette);
    if (image == nullptr) {
        TrelImageFile::reportLoadFailure_(TrelImageFile::named(fileName) + " " +
                                          jpegFault(jpgalleg_error) + ".");
    }
    return image;
}
