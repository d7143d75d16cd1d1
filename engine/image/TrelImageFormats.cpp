#include "image/TrelImageFormats.h"

#include <allegro.h>

#include <cstring>
#include <new>
#include <string>

#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"
#include "image/TrelClassicFormats.h"
#include "image/TrelImageFile.h"
#include "image/TrelJpegCodec.h"
#include "image/TrelPngCodec.h"

namespace {

using Bytes = TrelFileBytes;

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

// The decoded image at the current depth; the decoded one is freed.
BITMAP* toCurrentDepth(BITMAP* stored, RGB* palette) {
    const int depth = get_color_depth();
    BITMAP* result = stored;
    if (bitmap_color_depth(stored) == 32)
        result = maskFromAlpha(stored, depth);
    else if (bitmap_color_depth(stored) != depth)
        result = convertTo(stored, depth, palette);
    if (result != stored)
        destroy_bitmap(stored);
    return result;
}

// The file's extension in lower case, or "".
std::string extensionOf(const char* fileName) {
    const char* dot = std::strrchr(fileName, '.');
    const char* slash = std::strrchr(fileName, '/');
    std::string extension = dot != nullptr && (slash == nullptr || dot > slash) ? dot + 1 : "";
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return extension;
}

bool readImageFile(const char* fileName, std::string& bytes, std::string& reason) {
    const Bytes::Limit limit{TrelLoadLimits::get().imageInput, "imageInput"};
    if (!Bytes::read(fileName, limit, bytes, reason)) {
        reason = reason == "was not found" ? TrelImageFile::notFound(fileName)
                                           : TrelImageFile::named(fileName) + " " + reason + ".";
        return false;
    }
    if (bytes.empty()) {
        reason = TrelImageFile::named(fileName) + " is empty.";
        return false;
    }
    return true;
}

// The checked image decoded in the format its extension names; null with reason set.
BITMAP* decodeChecked(const char* fileName, const std::string& extension, const std::string& bytes,
                      RGB* palette, std::string& reason) {
    const TrelLoadLimits& limits = TrelLoadLimits::get();
    std::string fault;
    BITMAP* image = nullptr;
    if (extension == "png") {
        if (!TrelImageFile::checkPng(fileName, bytes, reason))
            return nullptr;
        image = TrelPngCodec::decode(bytes, limits.imageInput, palette, fault);
    } else if (extension == "jpg" || extension == "jpeg") {
        if (!TrelImageFile::checkJpeg(fileName, bytes, reason))
            return nullptr;
        image = TrelJpegCodec::decode(bytes, limits.imageMemory, fault);
    } else {
        bool checked = extension == "bmp"   ? TrelImageFile::checkBmp(fileName, bytes, reason)
                       : extension == "tga" ? TrelClassicFormats::checkTga(fileName, bytes, reason)
                                            : TrelClassicFormats::checkPcx(fileName, bytes, reason);
        if (!checked)
            return nullptr;
        // Allegro's decoders convert to the current depth themselves.
        image = TrelClassicFormats::decode(extension, bytes, palette);
        if (image == nullptr)
            reason = TrelImageFile::loadFailure(fileName);
        return image;
    }
    if (image == nullptr) {
        reason = TrelImageFile::named(fileName) + " " + fault + ".";
        return nullptr;
    }
    image = toCurrentDepth(image, palette);
    if (image == nullptr)
        reason = TrelImageFile::named(fileName) + " could not be loaded: out of memory.";
    return image;
}

} // namespace

BITMAP* TrelImageFormats::load(const char* fileName, RGB* palette) {
    TrelImageFile::clearLoadFailure_();
    if (fileName == nullptr || fileName[0] == '\0') {
        TrelImageFile::reportLoadFailure_("No image file name was given.");
        return nullptr;
    }
    const std::string extension = extensionOf(fileName);
    if (extension != "png" && extension != "jpg" && extension != "jpeg" && extension != "bmp" &&
        extension != "tga" && extension != "pcx") {
        TrelImageFile::reportLoadFailure_(
            TrelImageFile::named(fileName) +
            " is not of a format that can be read: images may be PNG, JPEG, BMP, TGA or PCX.");
        return nullptr;
    }
    PALETTE unused;
    std::string bytes, reason;
    BITMAP* image = nullptr;
    try {
        if (readImageFile(fileName, bytes, reason))
            image = decodeChecked(fileName, extension, bytes, palette != nullptr ? palette : unused,
                                  reason);
    } catch (const std::bad_alloc&) {
        reason = TrelImageFile::named(fileName) + " could not be loaded: out of memory.";
    }
    if (image == nullptr)
        TrelImageFile::reportLoadFailure_(reason);
    return image;
}

bool TrelImageFormats::readSize(const std::string& path, int& w, int& h) {
    std::string head;
    if (!Bytes::readStart(path, 64 * 1024, head))
        return false;
    if (TrelImageFile::readSize(head, w, h))
        return true;
    const std::string extension = extensionOf(path.c_str());
    const auto* p = reinterpret_cast<const unsigned char*>(head.data());
    bool read = extension == "tga"   ? TrelClassicFormats::tgaSize(p, head.size(), w, h)
                : extension == "pcx" ? TrelClassicFormats::pcxSize(p, head.size(), w, h)
                                     : false;
    return read && w > 0 && h > 0;
}

void TrelImageFormats::register_() {
    register_bitmap_file_type("png", load, TrelPngCodec::encode);
    register_bitmap_file_type("jpg", load, TrelJpegCodec::encode);
    register_bitmap_file_type("jpeg", load, TrelJpegCodec::encode);
}
