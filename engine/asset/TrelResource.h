#ifndef TREL_RESOURCE_H
#define TREL_RESOURCE_H

#include <vector>

#include "anim/TrelTileAnimation.h"
#include "base/TrelCString.h"
#include "base/TrelExport.h"

class TrelAnimation;
class TrelISprite;

// An ordered list of images, its frames: a layer's tileset or an object's image set; with
// the animations made of its frames, and the animations of its tiles.
class TREL_API TrelResource {
public:
    TrelResource() = default;
    ~TrelResource();

    TrelResource(const TrelResource&) = delete;
    TrelResource& operator=(const TrelResource&) = delete;

    // Appends the file's image as the last frame and returns it; returns null and appends
    // nothing when the file cannot be loaded. The file is checked before it is decoded: a
    // missing, empty or cut-short file, anything but a regular file, a file beyond
    // TrelLoadLimits, or content that is not the image its name promises is refused, and
    // getLoadError() then says why.
    TrelISprite* loadData(const char* fileName);
    // Appends an image made elsewhere, which the resource owns from now on, and returns it;
    // null appends nothing.
    TrelISprite* addData(TrelISprite* sprite);
    // Appends the frames of a sprite sheet: the image cut into frames of tileW × tileH pixels,
    // margin pixels from its edges and spacing pixels apart, row after row, as Tiled cuts a
    // tileset. Returns the number of frames appended: 0, with getLoadError() saying why,
    // when the image cannot be loaded, a size is not positive, or no whole frame fits.
    int loadSheet(const char* fileName, int tileW, int tileH, int margin = 0, int spacing = 0);
    // How many frames of size tile fit along an image's side of size side, with margin pixels
    // before the first and after the last and spacing between them, as Tiled counts them.
    static long long tilesAlong(int side, int tile, int margin, int spacing);
    // One sentence naming the file and the reason the last loadData failed; empty after a
    // loadData that succeeded.
    const char* getLoadError() { return loadError.get(); }
    // Null for an index at or beyond getSize().
    TrelISprite* getData(unsigned int index) {
        return index < frames.size() ? frames[index] : nullptr;
    }
    int getSize() { return static_cast<int>(frames.size()); }
    // Destroys every animation and every frame, last first, and forgets the tile
    // animations; the resource can then be filled again.
    void clearData();

    // Takes the animation, which must show frames of this resource, and returns it; the
    // resource destroys it with its frames.
    TrelAnimation* addAnimation(TrelAnimation* animation);
    // The first animation of that name, or null.
    TrelAnimation* findAnimation(const char* name);
    int getAnimationCount() { return static_cast<int>(animations.size()); }
    TrelAnimation* getAnimation(int index) {
        return index >= 0 && index < getAnimationCount() ? animations[index] : nullptr;
    }

    // Makes the frame animation.tile, wherever a layer's cell shows it, show the animation's
    // frames over time instead (as Tiled animates a tile); replaces an earlier animation of
    // that frame. A map read from Tiled sets these for its animated tiles.
    void setTileAnimation(const TrelTileAnimation& animation);
    const std::vector<TrelTileAnimation>& getTileAnimations() { return tileAnimations; }

    std::vector<TrelISprite*> frames; // owned

private:
    TrelCString loadError;
    std::vector<TrelAnimation*> animations; // owned
    std::vector<TrelTileAnimation> tileAnimations;
};

#endif
