#include "image/TrelPngCodec.h"

#include <allegro.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

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

// One pixel's colour bytes (RGB, or RGBA with alpha) at out.
void putColour(BITMAP* bitmap, int x, int y, bool alpha, unsigned char* out) {
    const int depth = bitmap_color_depth(bitmap);
    const int pixel = getpixel(bitmap, x, y);
    out[0] = static_cast<unsigned char>(getr_depth(depth, pixel));
    out[1] = static_cast<unsigned char>(getg_depth(depth, pixel));
    out[2] = static_cast<unsigned char>(getb_depth(depth, pixel));
    if (alpha)
        out[3] = static_cast<unsigned char>(geta32(pixel));
}

// Writes the rows; on an error libpng jumps back here. row holds one row's bytes.
bool writeImage(png_structp png, png_infop info, BITMAP* bitmap, std::FILE* out,
                unsigned char* row) {
    if (setjmp(png_jmpbuf(png)))
        return false;
    const bool alpha = bitmap_color_depth(bitmap) == 32;
    png_init_io(png, out);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap->w),
                 static_cast<png_uint_32>(bitmap->h), 8,
                 alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < bitmap->h; ++y) {
        for (int x = 0; x < bitmap->w; ++x)
            putColour(bitmap, x, y, alpha, row + x * (alpha ? 4 : 3));
        png_write_row(png, row);
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

int TrelPngCodec::encode(const char* fileName, BITMAP* bitmap, const RGB* palette) {
    std::FILE* out = std::fopen(fileName, "wb");
    if (out == nullptr)
        return -1;
    std::vector<unsigned char> row(static_cast<std::size_t>(bitmap->w) * 4);
    PngSource errors = {nullptr, 0, 0, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, onError, onWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (palette != nullptr)
        select_palette(palette);
    bool written = info != nullptr && writeImage(png, info, bitmap, out, row.data());
    if (palette != nullptr)
        unselect_palette();
    png_destroy_write_struct(&png, &info);
    return std::fclose(out) == 0 && written ? 0 : -1;
}

BITMAP* TrelPngCodec::decode(const std::string& bytes, std::size_t chunkLimit, RGB* palette,
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
    PALETTE unused;
    BITMAP* image = nullptr;
    bool read = readImage(png, info, palette != nullptr ? palette : unused, &image);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!read)
        fault =
            std::string("is damaged: its image data cannot be decoded (") + source.message + ")";
    return image;
}
