#ifndef TREL_IMAGE_FORMATS_H
#define TREL_IMAGE_FORMATS_H

struct BITMAP;
struct RGB;

// PNG and JPEG for sprite resources, beside the BMP, PCX, LBM and TGA that Allegro reads by
// itself: loaders for ".png", ".jpg" and ".jpeg" that load_bitmap (and so every sprite
// resource) uses. Registered with Allegro each time the engine starts it. Engine-internal.
//
// A PNG with an alpha channel is converted pixel by pixel: alpha below 128 becomes the mask
// colour, so draw_sprite leaves the pixel out, and an opaque pixel that happens to be the mask
// colour is moved one step of green off it, so it stays visible. A PNG without alpha, and
// every JPEG, is converted as Allegro converts a BMP: magenta is the mask colour. Colours are
// taken as stored (no gamma correction). A file that is cut short or damaged gives no bitmap,
// and the reason reaches the log through TrelResource::loadData.
class TrelImageFormats {
public:
    // Registers the loaders (and savers, so save_bitmap writes these formats too). Called by
    // TrelInterface::extendAllegro_ only.
    static void register_();

    // The loaders, with load_bitmap's signature. The result has the current colour depth.
    static BITMAP* loadPng_(const char* fileName, RGB* palette);
    static BITMAP* loadJpeg_(const char* fileName, RGB* palette);
};

#endif
