#include "headless/TrelHeadlessRun.h"

#include <allegro.h>

#include <sys/stat.h>

#include <string>

#include "asset/TrelISprite.h"
#include "core/TrelSystem.h"
#include "input/TrelInput.h"

namespace {

// Why the current frame differs from the image file, or "" when it does not (see
// frameMatches).
std::string compareFrame(TrelSystem* system, const char* file) {
    std::string name = file != nullptr ? file : "";
    struct stat info;
    if (stat(name.c_str(), &info) != 0) {
        bool saved = system->iface.gfx.saveFrame(name.c_str());
        return "\"" + name + "\" did not exist; " +
               (saved ? "this frame was saved there" : "it could not be written either");
    }
    system->iface.gfx.drawLoop();
    BITMAP* frame = system->iface.gfx.buffer;
    TrelISprite expected(name.c_str());
    if (expected.bitmap == nullptr || frame == nullptr) {
        return "\"" + name + "\" cannot be read as an image";
    }
    if (expected.width != frame->w || expected.height != frame->h) {
        return "\"" + name + "\" is " + std::to_string(expected.width) + " x " +
               std::to_string(expected.height) + ", the frame " + std::to_string(frame->w) + " x " +
               std::to_string(frame->h);
    }
    int frameDepth = bitmap_color_depth(frame);
    int fileDepth = bitmap_color_depth(expected.bitmap);
    for (int y = 0; y < frame->h; ++y) {
        for (int x = 0; x < frame->w; ++x) {
            int a = getpixel(frame, x, y);
            int b = getpixel(expected.bitmap, x, y);
            if (getr_depth(frameDepth, a) != getr_depth(fileDepth, b) ||
                getg_depth(frameDepth, a) != getg_depth(fileDepth, b) ||
                getb_depth(frameDepth, a) != getb_depth(fileDepth, b)) {
                return "the frame differs from \"" + name + "\" first at (" + std::to_string(x) +
                       ", " + std::to_string(y) + ")";
            }
        }
    }
    return "";
}

} // namespace

TrelHeadlessRun::TrelHeadlessRun(TrelSystem* owner) : system(owner) {
    if (!system->iface.loaded)
        system->iface.initHeadless();
}

TrelHeadlessRun::TrelHeadlessRun(TrelSystem* owner, SetUp configure, SetUp start) : system(owner) {
    if (configure != nullptr)
        configure(*system);
    TrelInterface& iface = system->iface;
    if (!iface.loaded) {
        iface.initHeadless();
    } else if (iface.isHeadless() && !iface.isOnFrame() &&
               (iface.gfx.width != system->screenWidth ||
                iface.gfx.height != system->screenHeight)) {
        iface.gfx.deinit_();
        iface.gfx.initHeadless_();
    }
    if (start != nullptr)
        start(*system);
}

TrelHeadlessRun::TrelHeadlessRun(TrelSystem* owner, BITMAP* frame) : system(owner) {
    if (!system->iface.loaded)
        system->iface.initOnFrame(frame);
}

void TrelHeadlessRun::hold(int code) {
    system->input.feed(code, true);
}

void TrelHeadlessRun::release(int code) {
    system->input.feed(code, false);
}

void TrelHeadlessRun::releaseAll() {
    system->input.releaseFed();
}

int TrelHeadlessRun::run(int ticks) {
    return system->runTicks(ticks);
}

void TrelHeadlessRun::latch() {
    system->input.latch_(true);
}

bool TrelHeadlessRun::saveFrame(const char* file) {
    return system->iface.gfx.saveFrame(file);
}

bool TrelHeadlessRun::frameMatches(const char* file) {
    std::string why = compareFrame(system, file);
    mismatch.set(why.c_str());
    return why.empty();
}
