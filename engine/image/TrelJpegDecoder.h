#ifndef TREL_JPEG_DECODER_H
#define TREL_JPEG_DECODER_H

#include <cstddef>
#include <string>

struct BITMAP;

// Decodes a JPEG held in memory with libjpeg-turbo, which checks what it reads.
// Engine-internal: used by TrelImageFormats only.
class TrelJpegDecoder {
public:
    // The image as a 24-bit bitmap (greyscale made RGB). Null, with fault set to a phrase that
    // follows the file's name, for data that cannot be decoded, a colour space that cannot be
    // shown (CMYK), a progressive image of more than kMaxScans scans (which could take
    // minutes to decode), or one whose decoding needs more than memoryLimit bytes.
    static BITMAP* decode(const std::string& bytes, std::size_t memoryLimit, std::string& fault);

    static const int kMaxScans = 100;
};

#endif
