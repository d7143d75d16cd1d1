#ifndef TREL_JPEG_CODEC_H
#define TREL_JPEG_CODEC_H

#include <cstddef>
#include <string>

struct RGB;

struct BITMAP;

// JPEG through libjpeg-turbo: decoding from memory, which checks what it reads, and saving.
// Engine-internal: used by TrelImageFormats only.
class TrelJpegCodec {
public:
    // The image as a 24-bit bitmap (greyscale made RGB). Null, with fault set to a phrase that
    // follows the file's name, for data that cannot be decoded, a colour space that cannot be
    // shown (CMYK), a progressive image of more than kMaxScans scans (which could take
    // minutes to decode), or one whose decoding needs more than memoryLimit bytes.
    static BITMAP* decode(const std::string& bytes, std::size_t memoryLimit, std::string& fault);

    // Writes the bitmap as a JPEG of quality kQuality, colour not subsampled (an 8-bit bitmap
    // through palette, or the selected palette when it is null). 0 when written, as
    // save_bitmap returns.
    static int encode(const char* fileName, BITMAP* bitmap, const RGB* palette);

    static const int kMaxScans = 100;
    static const int kQuality = 95;
};

#endif
