#ifndef TREL_PNG_DECODER_H
#define TREL_PNG_DECODER_H

#include <cstddef>
#include <string>

struct BITMAP;
struct RGB;

// Decodes a PNG held in memory with libpng, which checks every chunk, checksum and row it
// reads. Engine-internal: used by TrelImageFormats only.
class TrelPngDecoder {
public:
    // The image as stored: 8 bits with the palette filled (a palette image without
    // transparency), 24 bits (RGB, grey), or 32 bits with alpha (any image with an alpha
    // channel or a tRNS chunk); 16-bit samples are cut to 8, no gamma is applied. Null, with
    // fault set to a phrase that follows the file's name, for data that cannot be decoded or
    // ancillary chunks that would take more than chunkLimit bytes.
    static BITMAP* decode(const std::string& bytes, std::size_t chunkLimit, RGB* palette,
                          std::string& fault);
};

#endif
