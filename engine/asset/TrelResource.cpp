#include "asset/TrelResource.h"

#include <allegro.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "anim/TrelAnimation.h"
#include "asset/TrelISprite.h"
#include "image/TrelImageFile.h"

TrelResource::~TrelResource() {
    clearData();
}

TrelISprite* TrelResource::addData(TrelISprite* sprite) {
    if (sprite != nullptr)
        frames.push_back(sprite);
    return sprite;
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

long long TrelResource::tilesAlong(int side, int tile, int margin, int spacing) {
    // In 64 bits: the sizes may come from a file.
    long long room = static_cast<long long>(side) - 2LL * margin + spacing;
    return std::max(0LL, room / std::max(1LL, static_cast<long long>(tile) + spacing));
}

int TrelResource::loadSheet(const char* fileName, int tileW, int tileH, int margin, int spacing) {
    if (tileW <= 0 || tileH <= 0 || margin < 0 || spacing < 0) {
        loadError.set((TrelImageFile::named(fileName) +
                       " cannot be cut into frames: a frame size is not positive, or the margin "
                       "or spacing is negative")
                          .c_str());
        return 0;
    }
    TrelISprite sheet(fileName);
    if (sheet.bitmap == nullptr) {
        loadError.set(TrelImageFile::loadFailure(fileName).c_str());
        return 0;
    }
    const long long columns = tilesAlong(sheet.width, tileW, margin, spacing);
    const long long rows = tilesAlong(sheet.height, tileH, margin, spacing);
    if (columns == 0 || rows == 0) {
        loadError.set((TrelImageFile::named(fileName) + " is " + std::to_string(sheet.width) +
                       " x " + std::to_string(sheet.height) + ", too small for one frame of " +
                       std::to_string(tileW) + " x " + std::to_string(tileH))
                          .c_str());
        return 0;
    }
    for (long long row = 0; row < rows; ++row) {
        for (long long column = 0; column < columns; ++column) {
            BITMAP* frame = create_bitmap_ex(bitmap_color_depth(sheet.bitmap), tileW, tileH);
            if (frame == nullptr) {
                loadError.set(
                    (TrelImageFile::named(fileName) + ": no memory for its frames").c_str());
                return static_cast<int>(row * columns + column);
            }
            blit(sheet.bitmap, frame, static_cast<int>(margin + column * (tileW + spacing)),
                 static_cast<int>(margin + row * (tileH + spacing)), 0, 0, tileW, tileH);
            frames.push_back(new TrelISprite(frame));
        }
    }
    loadError.set("");
    return static_cast<int>(columns * rows);
}

void TrelResource::clearData() {
    // Animations first: they point at the frames.
    while (!animations.empty()) {
        delete animations.back();
        animations.pop_back();
    }
    tileAnimations.clear();
    while (!frames.empty()) {
        delete frames.back();
        frames.pop_back();
    }
}

TrelAnimation* TrelResource::addAnimation(TrelAnimation* animation) {
    if (animation != nullptr)
        animations.push_back(animation);
    return animation;
}

TrelAnimation* TrelResource::findAnimation(const char* name) {
    for (TrelAnimation* animation : animations)
        if (std::strcmp(animation->getName(), name != nullptr ? name : "") == 0)
            return animation;
    return nullptr;
}

void TrelResource::setTileAnimation(const TrelTileAnimation& animation) {
    for (TrelTileAnimation& known : tileAnimations) {
        if (known.tile == animation.tile) {
            known = animation;
            return;
        }
    }
    tileAnimations.push_back(animation);
}
