#include "image/TrelJpegCodec.h"

#include <allegro.h>

#include <csetjmp>
#include <cstdio>
#include <vector>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

namespace {

// libjpeg's error manager, with the way back to the decoding function and the first error's
// words. Plain data only, since an error leaves the decoding function by longjmp.
struct JpegErrors {
    jpeg_error_mgr base;
    jmp_buf back;
    char message[JMSG_LENGTH_MAX];
    bool unsupported; // the data is sound, but not what the engine shows
};

void onError(j_common_ptr jpeg) {
    auto* errors = reinterpret_cast<JpegErrors*>(jpeg->err);
    (*jpeg->err->format_message)(jpeg, errors->message);
    std::longjmp(errors->back, 1);
}

// A warning means damaged data that libjpeg would fill in and go on decoding (a whole large
// image's worth from a small file); it ends the decoding as an error does.
void onMessage(j_common_ptr jpeg, int level) {
    if (level < 0)
        onError(jpeg);
}

// Stops a progressive image whose scans would take too long.
void onProgress(j_common_ptr jpeg) {
    auto* d = reinterpret_cast<j_decompress_ptr>(jpeg);
    if (d->input_scan_number > TrelJpegCodec::kMaxScans) {
        auto* errors = reinterpret_cast<JpegErrors*>(jpeg->err);
        std::snprintf(errors->message, sizeof errors->message, "more than %d scans",
                      TrelJpegCodec::kMaxScans);
        errors->unsupported = true;
        std::longjmp(errors->back, 1);
    }
}

// Decodes into *out; on an error libjpeg jumps back here and the bitmap made so far is freed.
bool readImage(jpeg_decompress_struct* jpeg, JpegErrors* errors, BITMAP** out) {
    BITMAP* volatile image = nullptr;
    if (setjmp(errors->back)) {
        if (image != nullptr)
            destroy_bitmap(image);
        return false;
    }
    jpeg_read_header(jpeg, TRUE);
    if (jpeg->jpeg_color_space == JCS_CMYK || jpeg->jpeg_color_space == JCS_YCCK) {
        std::snprintf(errors->message, sizeof errors->message, "CMYK colours");
        errors->unsupported = true;
        return false;
    }
    // Rows straight into the bitmap, in the byte order of Allegro's 24-bit pixels.
    const int blue = makecol24(0, 0, 255);
    jpeg->out_color_space =
        reinterpret_cast<const unsigned char*>(&blue)[0] == 255 ? JCS_EXT_BGR : JCS_EXT_RGB;
    // Chroma replicated rather than interpolated: within 5 of each channel the engine loaded
    // before, where interpolation differs by up to 25.
    jpeg->do_fancy_upsampling = FALSE;
    jpeg_start_decompress(jpeg);
    image = create_bitmap_ex(24, static_cast<int>(jpeg->output_width),
                             static_cast<int>(jpeg->output_height));
    if (image == nullptr) {
        std::snprintf(errors->message, sizeof errors->message, "out of memory");
        return false;
    }
    while (jpeg->output_scanline < jpeg->output_height) {
        JSAMPROW row = image->line[jpeg->output_scanline];
        jpeg_read_scanlines(jpeg, &row, 1);
    }
    jpeg_finish_decompress(jpeg);
    *out = image;
    return true;
}

// Writes the rows; on an error libjpeg jumps back here. row holds one row's bytes.
bool writeImage(jpeg_compress_struct* jpeg, JpegErrors* errors, BITMAP* bitmap, std::FILE* out,
                JSAMPLE* row) {
    if (setjmp(errors->back))
        return false;
    jpeg_create_compress(jpeg);
    jpeg_stdio_dest(jpeg, out);
    jpeg->image_width = static_cast<JDIMENSION>(bitmap->w);
    jpeg->image_height = static_cast<JDIMENSION>(bitmap->h);
    jpeg->input_components = 3;
    jpeg->in_color_space = JCS_RGB;
    jpeg_set_defaults(jpeg);
    jpeg_set_quality(jpeg, TrelJpegCodec::kQuality, TRUE);
    // Colour kept at full resolution: art has sharp colour edges that halving would smear.
    for (int c = 0; c < jpeg->num_components; ++c)
        jpeg->comp_info[c].h_samp_factor = jpeg->comp_info[c].v_samp_factor = 1;
    jpeg_start_compress(jpeg, TRUE);
    const int depth = bitmap_color_depth(bitmap);
    for (int y = 0; y < bitmap->h; ++y) {
        for (int x = 0; x < bitmap->w; ++x) {
            const int pixel = getpixel(bitmap, x, y);
            row[3 * x] = static_cast<JSAMPLE>(getr_depth(depth, pixel));
            row[3 * x + 1] = static_cast<JSAMPLE>(getg_depth(depth, pixel));
            row[3 * x + 2] = static_cast<JSAMPLE>(getb_depth(depth, pixel));
        }
        jpeg_write_scanlines(jpeg, &row, 1);
    }
    jpeg_finish_compress(jpeg);
    return true;
}

} // namespace

int TrelJpegCodec::encode(const char* fileName, BITMAP* bitmap, const RGB* palette) {
    std::FILE* out = std::fopen(fileName, "wb");
    if (out == nullptr)
        return -1;
    std::vector<JSAMPLE> row(static_cast<std::size_t>(bitmap->w) * 3);
    jpeg_compress_struct jpeg;
    JpegErrors errors;
    jpeg.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.message[0] = '\0';
    errors.unsupported = false;
    jpeg.mem = nullptr; // jpeg_destroy_compress then knows when nothing was made
    if (palette != nullptr)
        select_palette(palette);
    bool written = writeImage(&jpeg, &errors, bitmap, out, row.data());
    if (palette != nullptr)
        unselect_palette();
    jpeg_destroy_compress(&jpeg);
    return std::fclose(out) == 0 && written ? 0 : -1;
}

BITMAP* TrelJpegCodec::decode(const std::string& bytes, std::size_t memoryLimit,
                              std::string& fault) {
    jpeg_decompress_struct jpeg;
    JpegErrors errors;
    jpeg.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.emit_message = onMessage;
    errors.message[0] = '\0';
    errors.unsupported = false;
    jpeg_progress_mgr progress;
    progress.progress_monitor = onProgress;
    if (setjmp(errors.back)) {
        fault = "could not be loaded: out of memory";
        return nullptr;
    }
    jpeg_create_decompress(&jpeg);
    jpeg.progress = &progress;
    // Without a backing store, libjpeg refuses work that needs more than this.
    jpeg.mem->max_memory_to_use = static_cast<long>(memoryLimit);
    jpeg_mem_src(&jpeg, reinterpret_cast<const unsigned char*>(bytes.data()),
                 static_cast<unsigned long>(bytes.size()));
    BITMAP* image = nullptr;
    bool read = readImage(&jpeg, &errors, &image);
    jpeg_destroy_decompress(&jpeg);
    if (!read && errors.unsupported)
        fault = std::string("uses a JPEG encoding that cannot be read (") + errors.message + ")";
    else if (!read)
        fault =
            std::string("is damaged: its image data cannot be decoded (") + errors.message + ")";
    return image;
}
