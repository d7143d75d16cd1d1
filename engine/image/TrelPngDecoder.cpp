#include "image/TrelPngDecoder.h"

#include <allegro.h>
#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

// What libpng's callbacks share: the bytes being read and the first error's words. Plain
// data only, since an error leaves the decoding function by longjmp.
struct PngSource {
    const unsigned char* data;
    std::size_t size;
    std::size_t at;
    char message[128];
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->at)
        png_error(png, "cut short");
    std::memcpy(out, source->data + source->at, count);
    source->at += count;
}

void onError(png_structp png, png_const_charp message) {
    auto* source = static_cast<PngSource*>(png_get_error_ptr(png));
    std::snprintf(source->message, sizeof source->message, "%s", message);
    png_longjmp(png, 1);
}

void onWarning(png_structp, png_const_charp) {
}

// Sets the transformations that give 8, 24 or 32 bits per pixel, and returns that depth;
// passes is set to the number of passes the rows are read in.
int prepare(png_structp png, png_infop info, RGB* palette, int& passes) {
    png_read_info(png, info);
    const int colourType = png_get_color_type(png, info);
    const int bitDepth = png_get_bit_depth(png, info);
    png_set_packing(png);
    if (colourType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (bitDepth == 16)
        png_set_strip_16(png);
    if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    // Allegro's palette keeps 6 bits a channel.
    png_colorp entries;
    int count = 0;
    if ((colourType & PNG_COLOR_MASK_PALETTE) != 0 && png_get_PLTE(png, info, &entries, &count)) {
        for (int i = 0; i < 256; ++i) {
            bool set = i < count;
            palette[i].r = set ? entries[i].red >> 2 : 0;
            palette[i].g = set ? entries[i].green >> 2 : 0;
            palette[i].b = set ? entries[i].blue >> 2 : 0;
        }
    } else {
        generate_332_palette(palette);
    }
    const png_size_t rowBytes = png_get_rowbytes(png, info);
    const int bits = static_cast<int>(rowBytes * 8 / png_get_image_width(png, info));
    return bits < 8 ? 8 : bits;
}

// Decodes into *out; on an error libpng jumps back here and the bitmap made so far is freed.
bool readImage(png_structp png, png_infop info, RGB* palette, BITMAP** out) {
    BITMAP* volatile image = nullptr;
    if (setjmp(png_jmpbuf(png))) {
        if (image != nullptr)
            destroy_bitmap(image);
        return false;
    }
    int passes = 1;
    const int bits = prepare(png, info, palette, passes);
    const int width = static_cast<int>(png_get_image_width(png, info));
    const int height = static_cast<int>(png_get_image_height(png, info));
    image = create_bitmap_ex(bits, width, height);
    if (image == nullptr)
        png_error(png, "out of memory");
    // Allegro's 24- and 32-bit pixels are stored blue first on this byte order.
    if (bits == 24 || bits == 32) {
        int blue = makecol_depth(bits, 0, 0, 255);
        if (reinterpret_cast<unsigned char*>(&blue)[0] == 255)
            png_set_bgr(png);
    }
    for (int pass = 0; pass < passes; ++pass)
        for (int y = 0; y < height; ++y)
            png_read_row(png, image->line[y], nullptr);
    png_read_end(png, nullptr);
    *out = image;
    return true;
}

} // namespace

BITMAP* TrelPngDecoder::decode(const std::string& bytes, std::size_t chunkLimit, RGB* palette,
                               std::string& fault) {
    PngSource source = {reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, onError, onWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        fault = "could not be loaded: out of memory";
        return nullptr;
    }
    png_set_read_fn(png, &source, readFromMemory);
    // Ancillary chunks (text, colour profiles) may be compressed: they are held to the
    // image's input limit, and pixel sizes were checked before decoding.
    png_set_chunk_malloc_max(png, chunkLimit);
    png_set_user_limits(png, 0x7fffffff, 0x7fffffff);
    PALETTE unused;
    BITMAP* image = nullptr;
    bool read = readImage(png, info, palette != nullptr ? palette : unused, &image);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!read)
        fault =
            std::string("is damaged: its image data cannot be decoded (") + source.message + ")";
    return image;
}
