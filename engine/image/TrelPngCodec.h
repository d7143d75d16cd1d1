#ifndef TREL_PNG_CODEC_H
#define TREL_PNG_CODEC_H

#include <cstddef>
#include <string>

struct BITMAP;
struct RGB;

// PNG through libpng: decoding from memory, which checks every chunk, checksum and row it
// reads, and saving. Engine-internal: used by TrelImageFormats only.
class TrelPngCodec {
public:
    // The image as stored: 8 bits with the palette filled (a palette image without
    // transparency), 24 bits (RGB, grey), or 32 bits with alpha (any image with an alpha
    // channel or a tRNS chunk); 16-bit samples are cut to 8, no gamma is applied. Null, with
    // fault set to a phrase that follows the file's name, for data that cannot be decoded or
    // ancillary chunks that would take more than chunkLimit bytes.
    static BITMAP* decode(const std::string& bytes, std::size_t chunkLimit, RGB* palette,
                          std::string& fault);
    // Writes the bitmap as an 8-bit PNG: RGBA for a 32-bit bitmap, its alpha kept, else RGB
    // (an 8-bit bitmap through palette, or the selected palette when it is null). 0 when
    // written, as save_bitmap returns.
    static int encode(const char* fileName, BITMAP* bitmap, const RGB* palette);
};

#endif
