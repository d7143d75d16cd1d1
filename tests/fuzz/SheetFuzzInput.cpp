#include "SheetFuzzInput.h"

#include <allegro.h>

#include "FuzzFile.h"
#include "anim/TrelAnimation.h"
#include "aseprite/TrelAsepriteSheet.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "base/TrelLoadLimits.h"

namespace {

// Whether every frame of every animation of the resource is one of its frames.
bool animationsShowOwnFrames(TrelResource& res) {
    for (int a = 0; a < res.getAnimationCount(); ++a) {
        const TrelAnimation* animation = res.getAnimation(a);
        for (int f = 0; f < animation->getFrameCount(); ++f) {
            bool found = false;
            for (TrelISprite* frame : res.frames)
                found = found || frame == animation->getFrame(f).sprite;
            if (!found || animation->getFrame(f).ticks < 1)
                return false;
        }
    }
    return true;
}

} // namespace

std::string loadSheetFuzzInput(const std::string& folder, const std::uint8_t* data,
                               std::size_t size) {
    const std::string image = folder + "moth.bmp";
    BITMAP* sheet = create_bitmap_ex(24, 24, 8);
    clear_to_color(sheet, makecol24(200, 100, 50));
    save_bitmap(image.c_str(), sheet, nullptr);
    destroy_bitmap(sheet);
    const std::string name = folder + "sheet.json";
    const std::string unwritten = writeFuzzFile(name, data, size);
    if (!unwritten.empty())
        return unwritten;

    TrelResource res;
    TrelAsepriteSheet loader;
    const bool loaded = loader.load(name.c_str(), &res, 60);
    const std::string error = loader.getError();
    if (loaded != error.empty())
        return loaded ? "a sheet with an error" : "no sheet and no reason";
    if (error.find('\n') != std::string::npos)
        return "a reason of more than one line: " + error;
    if (!loaded)
        return res.getSize() == 0 && res.getAnimationCount() == 0 ? ""
                                                                  : "a refused sheet added frames";
    unsigned long long bytes = 0;
    for (TrelISprite* frame : res.frames)
        bytes += 4ULL * frame->bitmap->w * frame->bitmap->h;
    if (bytes > TrelLoadLimits::get().mapMemory)
        return "frames beyond the memory limit were made";
    return animationsShowOwnFrames(res) ? "" : "an animation shows a frame not of the sheet";
}
