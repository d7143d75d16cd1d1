#ifndef TREL_CLASSIC_FORMATS_H
#define TREL_CLASSIC_FORMATS_H

#include <cstddef>
#include <string>

struct BITMAP;
struct RGB;

// TGA and PCX, which Allegro decodes by itself without checking what it reads: each file's
// run-length data is walked as Allegro's decoder walks it before the decoder sees it, and
// Allegro then decodes the checked bytes from memory (BMP too, checked by TrelImageFile).
// Engine-internal: used by TrelImageFormats only.
class TrelClassicFormats {
public:
    // True when Allegro's TGA decoder stays inside the image and the file: a palette of at
    // most 256 colours, a size of at least 1 x 1, every run inside its row and every byte it
    // reads inside the file. Otherwise false, with reason a sentence naming the file.
    static bool checkTga(const char* fileName, const std::string& bytes, std::string& reason);
    // The same for a PCX: a size of at least 1 x 1 and every byte of its rows in the file.
    static bool checkPcx(const char* fileName, const std::string& bytes, std::string& reason);

    // The pixel size a TGA's or PCX's header declares, from the file's first bytes; false
    // when they are too few to hold the header. Used by the checks and by
    // TrelImageFormats::readSize.
    static bool tgaSize(const unsigned char* p, std::size_t n, int& w, int& h);
    static bool pcxSize(const unsigned char* p, std::size_t n, int& w, int& h);

    // Allegro's decoder for the extension ("bmp", "tga", "pcx") run on the bytes, at the
    // current colour depth as load_bitmap gives it; null when it refuses them.
    static BITMAP* decode(const std::string& extension, const std::string& bytes, RGB* palette);
};

#endif
