#include "core/TrelSystem.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>
#include <string>

#include "gfx/TrelResource.h"
#include "world/TrelZone.h"

namespace {

// printf-style formatting into a buffer that grows to fit, so no message is ever cut.
std::string formatV(const char* format, va_list args) {
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0)
        return std::string();
    if (static_cast<std::size_t>(needed) < sizeof small)
        return std::string(small, static_cast<std::size_t>(needed));
    std::string big(static_cast<std::size_t>(needed) + 1, '\0');
    std::vsnprintf(&big[0], big.size(), format, args);
    big.resize(static_cast<std::size_t>(needed));
    return big;
}

const char* const kLogFileName = "log.txt";

} // namespace

TrelSystem::TrelSystem()
    : logFile(nullptr), screenWidth(0), screenHeight(0), framerate(0), reservedSetting(0), quit(0),
      zone(nullptr), audio(this), iface(this), inTick(false) {
    std::time_t now = std::time(nullptr);
    std::tm* local = std::localtime(&now);
    std::string started = local ? std::asctime(local) : "unknown time\n";
    if (!started.empty() && started.back() == '\n')
        started.pop_back();

    logFile = std::fopen(kLogFileName, "wt");
    if (logFile == nullptr) {
        std::fprintf(stderr,
                     "Varnak: could not create \"%s\" (%s); the log goes to standard output "
                     "only.\n",
                     kLogFileName, std::strerror(errno));
    }

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
    zone->process(); // read afresh: a hook may have replaced the zone
    if (draw != 0)
        iface.gfx.drawLoop();
    audio.tick_(); // the tick's sound
    inTick = false;
    deleteRetiredZones();
}

void TrelSystem::clearSpriteResources() {
    while (!spriteResources.empty()) {
        delete spriteResources.back();
        spriteResources.pop_back();
    }
}

void TrelSystem::writeLog(const char* text) {
    if (logFile != nullptr)
        std::fputs(text, logFile);
    std::fputs(text, stdout);
    // Without a log file, standard output is the only record, so it is flushed instead.
    std::fflush(logFile != nullptr ? logFile : stdout);
}

void TrelSystem::consprint(const char* text) {
    writeLog(text);
}

void TrelSystem::consprintf(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatV(format, args);
    va_end(args);
    writeLog(text.c_str());
}

void TrelSystem::giveError(int level, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = formatV(format, args);
    va_end(args);

    switch (level) {
    case 0:
        consprintf("\n!!ENCOUNTERED A FATAL ERROR!!\n%s\n\nNow aborting!\n", message.c_str());
        break;
    case 1:
        consprintf("\nERROR! %s\n", message.c_str());
        break;
    case 2:
        logWarning(message);
        break;
    default:
        break;
    }
    iface.displayError_(level, message.c_str());
    if (level == 0)
        std::exit(1); // static destructors run: this system logs its shutdown on the way out
}

void TrelSystem::warnInLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string message = formatV(format, args);
    va_end(args);
    logWarning(message);
}

void TrelSystem::logWarning(const std::string& message) {
    consprintf("\nWARNING: %s\n", message.c_str());
}

void TrelSystem::setName(const char* newName) {
    name.set(newName);
    iface.updateName_();
}
