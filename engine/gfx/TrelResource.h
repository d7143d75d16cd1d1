#ifndef TREL_RESOURCE_H
#define TREL_RESOURCE_H

#include <vector>

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
    // nothing when the file cannot be loaded.
    TrelISprite* loadData(const char* fileName);
    // Null for an index at or beyond getSize().
    TrelISprite* getData(unsigned int index) {
        return index < frames.size() ? frames[index] : nullptr;
    }
    int getSize() { return static_cast<int>(frames.size()); }
    // Destroys every frame, last first; the resource can then be filled again.
    void clearData();

    std::vector<TrelISprite*> frames; // owned
};

#endif
