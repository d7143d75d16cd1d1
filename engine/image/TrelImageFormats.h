#ifndef TREL_IMAGE_FORMATS_H
#define TREL_IMAGE_FORMATS_H

#include <string>

struct BITMAP;
struct RGB;

// How the engine loads every image: PNG and JPEG through libpng and libjpeg-turbo, BMP, TGA
// and PCX through Allegro's own decoders once the checks of TrelImageFile and
// TrelClassicFormats have walked their data. A file is read once, as a regular file within
// TrelLoadLimits::imageInput, checked, then decoded from memory. Engine-internal.
//
// A PNG with an alpha channel is converted pixel by pixel: alpha below 128 becomes the mask
// colour, so draw_sprite leaves the pixel out, and an opaque pixel that happens to be the mask
// colour is moved one step of green off it, so it stays visible. A PNG without alpha, and
// every JPEG, is converted as Allegro converts a BMP: magenta is the mask colour. Colours are
// taken as stored (no gamma correction).
class TrelImageFormats {
public:
    // The image at the current colour depth, palette filled as load_bitmap fills it; null
    // when it cannot be loaded, with the reason for TrelImageFile::loadFailure. Used by
    // TrelISprite for every image the engine loads.
    static BITMAP* load(const char* fileName, RGB* palette);

    // The pixel size the image file declares, for every format load reads: PNG, BMP and
    // JPEG known by their content, TGA and PCX by their extension, as load knows them. False
    // when the file cannot be read or declares no positive size.
    static bool readSize(const std::string& path, int& w, int& h);

    // Registers ".png", ".jpg" and ".jpeg" with Allegro (loaders and savers), so that a game's
    // own load_bitmap and save_bitmap read and write them too. Called by
    // TrelInterface::extendAllegro only.
    static void register_();
};

#endif
