#include "gfx/TrelResource.h"

#include "gfx/TrelISprite.h"
#include "image/TrelImageFile.h"

TrelResource::~TrelResource() {
    clearData();
}

TrelISprite* TrelResource::loadData(const char* fileName) {
    auto* sprite = new TrelISprite(fileName);
    if (sprite->bitmap == nullptr) {
        delete sprite;
        loadError.set(TrelImageFile::loadFailure(fileName).c_str());
        return nullptr;
    }
    loadError.set("");
    frames.push_back(sprite);
    return sprite;
}

void TrelResource::clearData() {
    while (!frames.empty()) {
        delete frames.back();
        frames.pop_back();
    }
}
