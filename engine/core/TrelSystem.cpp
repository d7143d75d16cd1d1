#include "core/TrelSystem.h"

#include <cstdarg>
#include <cstdlib>
#include <ctime>
#include <new>
#include <string>

#include "asset/TrelResource.h"
#include "world/TrelZone.h"

TrelSystem::TrelSystem()
    : log("log.txt"), screenWidth(0), screenHeight(0), framerate(0), reservedSetting(0), quit(0),
      zone(nullptr), audio(&log), iface(this), inTick(false) {
    std::time_t now = std::time(nullptr);
    std::tm* local = std::localtime(&now);
    std::string started = local ? std::asctime(local) : "unknown time\n";
    if (!started.empty() && started.back() == '\n')
        started.pop_back();

    consprint("\n==================================================");
    consprint("\nVarnak Engine " TREL_VERSION_STRING);
    consprintf("\nLog started: %s", started.c_str());
    consprint("\n==================================================");

    zone = nullptr;
    quit = 0;
    screenWidth = 640;
    screenHeight = 480;
    framerate = 60;
    reservedSetting = 9;
    name.set("Varnak Game");
}

TrelSystem::~TrelSystem() {
    consprint("\n\nSystem shutdown.\n");
    // The zone's objects point at sprites of the registry, so the zone goes first; the
    // resources hold Allegro bitmaps, so they go before the interface shuts Allegro down.
    if (zone != nullptr) {
        consprint("\nClearing zone...");
        delete zone;
        zone = nullptr;
    }
    deleteRetiredZones();
    TrelScene above;
    while (TrelZone* covered = scenes.uncover_(above))
        delete covered;
    consprint("\nFreeing sprite resources...");
    clearSpriteResources();
    // The interface member's destructor then shuts Allegro down.
}

bool TrelSystem::newZone(const char* zoneName) {
    if (zoneName == nullptr)
        zoneName = "";
    consprintf("\n\n----------------\n\nRequested new zone:\n%s", zoneName);
    if (!iface.loaded) {
        giveError(1, "You must load the interface before loading any zone.");
        return false;
    }
    if (zone != nullptr) {
        consprint("\n\nUnloading old zone...");
        if (inTick)
            retiredZones.push_back(zone); // still being walked: deleted after this tick
        else
            delete zone;
        zone = nullptr;
        consprint("\nDone.");
    }
    consprint("\n\nCreating new zone...");
    zone = new (std::nothrow) TrelZone(this);
    if (zone == nullptr)
        giveError(0, "Failed to create zone. You may be out of memory.");
    zone->setName(zoneName);
    consprint("\nSuccess!");
    return true;
}

void TrelSystem::clearZone() {
    if (zone == nullptr)
        return;
    if (inTick)
        retiredZones.push_back(zone); // still being walked: deleted after this tick
    else
        delete zone;
    zone = nullptr;
}

void TrelSystem::deleteRetiredZones() {
    for (TrelZone* retired : retiredZones)
        delete retired;
    retiredZones.clear();
}

TrelResource* TrelSystem::newSpriteResource(const char* file) {
    auto* resource = new TrelResource();
    if (resource->loadData(file) == nullptr) {
        consprintf("\n%s", resource->getLoadError());
        delete resource;
        return nullptr;
    }
    spriteResources.push_back(resource);
    return resource;
}

TrelISprite* TrelSystem::appendSpriteResource(const char* file, TrelResource* resource) {
    if (resource == nullptr)
        return nullptr;
    TrelISprite* frame = resource->loadData(file);
    if (frame == nullptr)
        consprintf("\n%s", resource->getLoadError());
    return frame;
}

bool TrelSystem::mainLoop() {
    consprint("\n\nEntering main loop.");
    if (zone == nullptr) {
        giveError(1, "Attempted to enter main loop with no zone loaded.\nExiting main loop "
                     "abnormally.");
        return false;
    }
    while (quit == 0)
        runTick();
    consprint("\nExiting main loop normally.");
    return true;
}

int TrelSystem::runTicks(int n) {
    if (zone == nullptr) {
        giveError(1, "Attempted to run ticks with no zone loaded.");
        return 0;
    }
    int run = 0;
    while (run < n && quit == 0) {
        runTick();
        ++run;
    }
    return run;
}

void TrelSystem::runTick() {
    int draw = 0;
    iface.startLoop(draw);
    inTick = true;
    scenes.stepFade_();
    // Read afresh: a hook may have replaced or cleared the zone.
    if (zone != nullptr && scenes.runsLogic_()) {
        audio.mixer.setGroup_(zone->getSoundGroup_()); // the sounds it starts are its scene's
        zone->process();
        audio.mixer.setGroup_(0);
    }
    if (draw != 0)
        iface.gfx.drawLoop();
    audio.tick_(framerate); // the tick's sound
    inTick = false;
    deleteRetiredZones();
    applySceneChanges();
}

void TrelSystem::switchScene(const TrelScene& scene, const TrelTransition& transition) {
    requestScene(TrelSceneStack::kSwitch, scene, transition);
}

void TrelSystem::pushScene(const TrelScene& scene) {
    requestScene(TrelSceneStack::kPush, scene, TrelTransition());
}

void TrelSystem::popScene() {
    requestScene(TrelSceneStack::kPop, TrelScene(), TrelTransition());
}

void TrelSystem::requestScene(TrelSceneStack::Change change, const TrelScene& scene,
                              const TrelTransition& transition) {
    const char* asked[] = {"switch", "push", "pop"};
    const char* named = change == TrelSceneStack::kPop ? scenes.getSceneName() : scene.name;
    consprintf("\n\n----------------\n\nRequested scene %s:\n%s", asked[change],
               named != nullptr ? named : "");
    scenes.request_(change, scene, transition);
    if (!inTick && (zone == nullptr || !zone->isWalking_())) {
        applySceneChanges();
    } else if (zone != nullptr) {
        // Nothing more of this tick runs in the zone being left; asked for from an onDraw
        // outside the loop, the change waits for the end of the next tick.
        zone->halt_();
    }
}

void TrelSystem::applySceneChanges() {
    if (applyingScenes) // a build asked for another change: the loop below makes it next
        return;
    applyingScenes = true;
    while (scenes.hasRequest_()) {
        TrelSceneStack::Request& front = scenes.frontRequest_();
        if (front.change == TrelSceneStack::kSwitch && !front.fadedOut) {
            front.fadedOut = true;
            scenes.startFade_(true, front.transition);
        }
        if (!scenes.fadedOut_())
            break;                               // the fade goes on; the switch waits for its end
        TrelSceneStack::Request request = front; // the build may ask for more
        scenes.dropRequest_();
        request.scene.name = request.name.c_str();
        applySceneChange(request);
    }
    applyingScenes = false;
}

void TrelSystem::applySceneChange(TrelSceneStack::Request& request) {
    TrelScene above;
    switch (request.change) {
    case TrelSceneStack::kSwitch:
        leaveZone(zone);
        zone = nullptr;
        while (TrelZone* covered = scenes.uncover_(above))
            leaveZone(covered);
        audio.mixer.setMusicPaused(false);
        makeScene(request.scene);
        scenes.startFade_(false, request.transition);
        break;
    case TrelSceneStack::kPush:
        if (zone != nullptr) {
            audio.mixer.setGroupPaused_(zone->getSoundGroup_(), true);
            scenes.cover_(zone, request.scene);
            zone = nullptr;
        }
        if (request.scene.pausesMusic)
            audio.mixer.setMusicPaused(true);
        makeScene(request.scene);
        break;
    case TrelSceneStack::kPop:
        if (scenes.getCoveredCount() == 0) {
            giveError(1, "There is no scene to pop back to.");
            break;
        }
        leaveZone(zone);
        zone = scenes.uncover_(above);
        consprintf("\n\nResuming scene:\n%s", scenes.getSceneName());
        audio.mixer.setGroupPaused_(zone->getSoundGroup_(), false);
        if (above.pausesMusic)
            audio.mixer.setMusicPaused(false);
        break;
    }
}

void TrelSystem::makeScene(const TrelScene& scene) {
    scenes.setSceneName_(scene.name);
    if (!newZone(scene.name)) // logged: the interface is not up
        return;
    const std::uint32_t group = ++lastSoundGroup;
    audio.mixer.setGroup_(group);
    if (scene.build != nullptr)
        scene.build(*this, scene.user); // may replace the zone (newZoneFromMap)
    audio.mixer.setGroup_(0);
    if (zone == nullptr) {
        giveError(1, "The scene \"%s\" left no zone.", scene.name);
        return;
    }
    zone->setSoundGroup_(group);
    zone->beginAsScene_();
}

void TrelSystem::leaveZone(TrelZone* left) {
    if (left == nullptr)
        return;
    if (left->getSoundGroup_() != 0)
        audio.mixer.stopGroup_(left->getSoundGroup_());
    delete left;
}

void TrelSystem::setStateFunction(StateFunction function, void* user) {
    stateFunction = function;
    stateUser = user;
    if (zone != nullptr)
        zone->setStateFunction(function, user);
}

void TrelSystem::clearSpriteResources() {
    while (!spriteResources.empty()) {
        delete spriteResources.back();
        spriteResources.pop_back();
    }
}

void TrelSystem::consprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = TrelLog::format(format, args);
    va_end(args);
    log.print(text.c_str());
}

void TrelSystem::giveError(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    log.errorV(level, format, args);
    va_end(args);
}

void TrelSystem::warnInLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    log.warnV(format, args);
    va_end(args);
}

void TrelSystem::setName(const char* newName) {
    name.set(newName);
    iface.updateName_();
}
