#ifndef TREL_RESOURCE_H
#define TREL_RESOURCE_H

#include <vector>

#include "core/TrelCString.h"

#include "core/TrelExport.h"

class TrelISprite;

// An ordered list of images, its frames: a layer's tileset or an object's image set.
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
    // One sentence naming the file and the reason the last loadData failed; empty after a
    // loadData that succeeded.
    const char* getLoadError() { return loadError.get(); }
    // Null for an index at or beyond getSize().
    TrelISprite* getData(unsigned int index) {
        return index < frames.size() ? frames[index] : nullptr;
    }
    int getSize() { return static_cast<int>(frames.size()); }
    // Destroys every frame, last first; the resource can then be filled again.
    void clearData();

    std::vector<TrelISprite*> frames; // owned

private:
    TrelCString loadError;
};

#endif
