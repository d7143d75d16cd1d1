#include "ImageFuzzInput.h"

#include <allegro.h>

#include "FuzzFile.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "base/TrelLoadLimits.h"

std::string loadImageFuzzInput(const std::string& folder, const std::uint8_t* data,
                               std::size_t size) {
    if (size == 0)
        return "";
    static const char* const kExtensions[] = {"png", "jpg", "bmp", "tga", "pcx"};
    const std::string name = folder + "fuzz." + kExtensions[data[0] % 5];
    const std::string unwritten = writeFuzzFile(name, data + 1, size - 1);
    if (!unwritten.empty())
        return unwritten;

    TrelResource res;
    TrelISprite* sprite = res.loadData(name.c_str());
    const std::string error = res.getLoadError();
    if ((sprite != nullptr) != error.empty())
        return sprite != nullptr ? "a sprite with an error" : "no sprite and no reason";
    if (error.find('\n') != std::string::npos)
        return "a reason of more than one line: " + error;
    if (sprite == nullptr)
        return "";
    const unsigned long long bytes = 4ULL * sprite->bitmap->w * sprite->bitmap->h;
    if (bytes > TrelLoadLimits::get().imageMemory)
        return "an image beyond the memory limit was decoded";
    if (bitmap_color_depth(sprite->bitmap) != get_color_depth())
        return "an image at another colour depth";
    return "";
}
