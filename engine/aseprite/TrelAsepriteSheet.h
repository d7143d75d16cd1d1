#ifndef TREL_ASEPRITE_SHEET_H
#define TREL_ASEPRITE_SHEET_H

#include "base/TrelCString.h"
#include "base/TrelExport.h"

class TrelResource;

// A sprite sheet exported by Aseprite (File > Export Sprite Sheet, with JSON data): the image
// cut into its frames and the sheet's tags made into animations. Both of Aseprite's JSON
// forms are read: frames as an array, or as a hash in file order.
class TREL_API TrelAsepriteSheet {
public:
    // Appends the sheet's frames to frames, in the order the JSON lists them, each as big as
    // its source frame (a trimmed frame is put back where it was cut from, so every frame is
    // drawn centred alike), and adds animations to frames: one named "" of every frame in
    // order, looped, and one per tag, named after it, of frames from..to, with the tag's
    // direction ("forward", "reverse", "pingpong", "pingpong_reverse") and repeat count (its
    // passes; none or 0 plays without end). Durations become ticks at framerate by
    // TrelAnimation::ticksFromMs. The image is the one the JSON names ("meta" "image"),
    // relative to the JSON's folder and inside it. The JSON is read within
    // TrelLoadLimits::mapInput and its frames within mapMemory; the image is checked as any
    // image. False, with nothing added and getError() saying why in one line, for a file
    // that cannot be read, is not such a sheet, or whose frames or tags do not fit it.
    bool load(const char* file, TrelResource* frames, int framerate);
    const char* getError() { return error.get(); }

private:
    TrelCString error;
};

#endif
