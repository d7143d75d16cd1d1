#include "core/TrelInterface.h"

#include <allegro.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "core/TrelSystem.h"
#include "image/TrelImageFormats.h"

namespace {

struct NamedValue {
    int value;
    const char* text;
};

const NamedValue kCpuFamilies[] = {
    {0, "Unknown"}, {3, "I386"},    {4, "I486"},     {5, "I586"},
    {6, "I686"},    {7, "Itanium"}, {18, "PowerPC"}, {15, "Extended"},
};

// Table order, not bit order: this is the order the log lists them in.
const NamedValue kCpuCapabilities[] = {
    {0x0001, "CPUID"}, {0x0002, "FPU"},   {0x0400, "IA64"},   {0x0200, "AMD64"},
    {0x0004, "MMX"},   {0x0008, "MMX+"},  {0x0010, "SSE"},    {0x0020, "SSE2"},
    {0x0800, "SSE3"},  {0x0040, "3DNow"}, {0x0080, "E3DNow"}, {0x0100, "CMOV"},
};

const NamedValue kOperatingSystems[] = {
    {0, "Unknown/MSDOS"},
    {AL_ID('W', 'I', 'N', '3'), "Windows 3.1"},
    {AL_ID('W', '9', '5', ' '), "Windows 95"},
    {AL_ID('W', '9', '8', ' '), "Windows 98"},
    {AL_ID('W', 'M', 'E', ' '), "Windows ME"},
    {AL_ID('W', 'N', 'T', ' '), "Windows NT"},
    {AL_ID('W', '2', 'K', ' '), "Windows 2000"},
    {AL_ID('W', 'X', 'P', ' '), "Windows XP"},
    {AL_ID('W', '2', 'K', '3'), "Windows 2003"},
    {AL_ID('W', 'V', 'S', 'T'), "Windows Vista"},
    {AL_ID('O', 'S', '2', ' '), "OS/2"},
    {AL_ID('W', 'A', 'R', 'P'), "OS/2 Warp 3"},
    {AL_ID('D', 'E', 'M', 'U'), "Linux DOSEMU"},
    {AL_ID('O', 'D', 'O', 'S'), "Caldera OpenDOS"},
    {AL_ID('T', 'U', 'X', ' '), "Linux"},
    {AL_ID('S', 'U', 'N', ' '), "SunOS/Solaris"},
    {AL_ID('F', 'B', 'S', 'D'), "FreeBSD"},
    {AL_ID('N', 'B', 'S', 'D'), "NetBSD"},
    {AL_ID('I', 'R', 'I', 'X'), "IRIX"},
    {AL_ID('D', 'A', 'R', 'W'), "Darwin"},
    {AL_ID('Q', 'N', 'X', ' '), "QNX"},
    {AL_ID('U', 'N', 'I', 'X'), "Unix"},
    {AL_ID('B', 'E', 'O', 'S'), "BeOS"},
    {AL_ID('M', 'A', 'C', ' '), "MacOS"},
    {AL_ID('M', 'A', 'C', 'X'), "MacOS X"},
};

template <std::size_t N>
const char* lookup(const NamedValue (&table)[N], int value) {
    for (const NamedValue& entry : table) {
        if (entry.value == value)
            return entry.text;
    }
    return nullptr;
}

// The log's display while Allegro runs: the interface's message boxes.
void showInMessageBox(int level, const char* message, void* iface) {
    static_cast<TrelInterface*>(iface)->displayError_(level, message);
}

// Wrapped lines of capability names are at most this long (a trailing ", " included).
const int kCapabilityLineLimit = 50;

} // namespace

TrelInterface::TrelInterface(TrelSystem* owner)
    : allegroState(0), loaded(false), headless(false), pendingTics(0), totalTics(0), skipCount(0),
      system(owner) {
    gfx.owner = this;
}

TrelInterface::~TrelInterface() {
    deinit();
}

void TrelInterface::fatalAllegroError(const char* format, const char* failed) {
    if (allegro_error[0] != '\0') {
        system->giveError(0, format, allegro_error);
        return;
    }
    // Allegro gave no reason: say at least which of its drivers did not start.
    std::string unknown = std::string("Unknown error!\n") + failed;
    system->giveError(0, format, unknown.c_str());
}

bool TrelInterface::startAllegro(int systemDriver) {
    // A second start would install Allegro, the keyboard and the tick callback twice.
    if (loaded || allegroState != 0) {
        system->giveError(1, "The interface is already initialized.");
        return false;
    }
    // The timer speed divides by the framerate, so a bad setting must stop us here.
    if (system->framerate < 1) {
        system->giveError(0, "Invalid framerate: %i. It must be at least 1.",
                          static_cast<int>(system->framerate));
    }

    system->consprintf("\nPowered by Allegro %s %s, release %i/%i/%i\n", ALLEGRO_VERSION_STR,
                       ALLEGRO_PLATFORM_STR, (ALLEGRO_DATE / 100) % 100, ALLEGRO_DATE % 100,
                       ALLEGRO_DATE / 10000);
    system->consprint("\nInitializing main Allegro system...");
    if (install_allegro(systemDriver, &errno, nullptr) != 0)
        fatalAllegroError("Could not initialize Allegro!\n%s",
                          systemDriver == SYSTEM_NONE
                              ? "Allegro's system driver for no display did not start."
                              : "Allegro's system driver did not start: on X11, the X display "
                                "could not be opened (no X server, or no right to use it).");
    allegroState = 1;
    system->log.setDisplay(showInMessageBox, this);
    extendAllegro();
    system->consprint("\nSuccess!");

    logMachine_(cpu_family, cpu_vendor, cpu_capabilities, os_type, os_version, os_revision,
                os_multitasking);
    return true;
}

bool TrelInterface::init() {
    if (!startAllegro(SYSTEM_AUTODETECT))
        return false;

    // Left at 0 x 0 where the platform cannot report the desktop.
    int desktopWidth = 0;
    int desktopHeight = 0;
    get_desktop_resolution(&desktopWidth, &desktopHeight);
    system->consprintf("\nDesktop resolution: %ix%ix%i", desktopWidth, desktopHeight,
                       desktop_color_depth());

    set_window_title(system->getName());

    system->consprint("\n\nGrabbing Allegro config...");
    set_config_file("trela4.ini");

    gfx.init_();

    system->consprint("\nInstalling keyboard...");
    if (install_keyboard() != 0)
        fatalAllegroError("Could not install the keyboard!\n%s",
                          "Allegro's keyboard driver did not start.");
    system->input.startKeyboard_();

    system->consprint("\nInstalling timer...");
    if (install_timer() != 0)
        fatalAllegroError("Could not install the timer!\n%s",
                          "Allegro's timer driver did not start.");

    system->consprintf("Creating timer interrupts...\nGame framerate: %i",
                       static_cast<int>(system->framerate));
    install_param_int_ex(incrementTics, this, TIMERS_PER_SECOND / system->framerate);

    loaded = true;
    system->audio.setOutputPlace_(TrelAudio::kWindow);
    system->consprint("\n\nInit successful!\n");
    return true;
}

bool TrelInterface::initOnFrame(BITMAP* frame) {
    if (loaded || allegroState != 0) {
        system->giveError(1, "The interface is already initialized.");
        return false;
    }
    if (system_driver == nullptr || frame == nullptr) {
        system->giveError(1, frame == nullptr ? "initOnFrame needs a frame to draw into."
                                              : "initOnFrame needs Allegro running.");
        return false;
    }
    gfx.initOnFrame_(frame);
    system->input.setSource(TrelInput::kFed);
    headless = true;
    loaded = true;
    onFrame = true;
    system->audio.setOutputPlace_(TrelAudio::kHeadless);
    return true;
}

bool TrelInterface::initHeadless() {
    if (!startAllegro(SYSTEM_NONE))
        return false;
    system->consprint("\n\nGrabbing Allegro config...");
    set_config_file("trela4.ini");
    gfx.initHeadless_();
    system->consprint("\nRunning headless: no window, keyboard or timer.");
    system->input.setSource(TrelInput::kFed);
    headless = true;
    loaded = true;
    system->audio.setOutputPlace_(TrelAudio::kHeadless);
    system->consprint("\n\nInit successful!\n");
    return true;
}

void TrelInterface::logMachine_(int cpuFamily, const char* cpuVendor, int cpuCapabilities,
                                int osType, int osVersion, int osRevision, int osMultitasking) {
    system->consprint("\n\nProcessor family: ");
    if (const char* family = lookup(kCpuFamilies, cpuFamily))
        system->consprint(family);
    system->consprintf("\nVendor: %s\n\n", cpuVendor);

    std::string line;
    int count = 0;
    bool first = true;
    for (const NamedValue& cap : kCpuCapabilities) {
        if ((cpuCapabilities & cap.value) == 0)
            continue;
        count += static_cast<int>(std::strlen(cap.text));
        if (!first) {
            count += 2;
            line += ", ";
        }
        if (count > kCapabilityLineLimit) {
            system->consprintf("%s\n", line.c_str());
            line.clear();
            count = 0;
        }
        line += cap.text;
        first = false;
    }
    if (!line.empty())
        system->consprintf("%s\n", line.c_str());

    system->consprint("\nOS: ");
    if (const char* os = lookup(kOperatingSystems, osType)) {
        system->consprint(os);
        if (osVersion != -1)
            system->consprintf(" %i.%i", osVersion, osRevision);
        if (osMultitasking != 0)
            system->consprint(" (multitasking)");
    }
}

void TrelInterface::deinit() {
    allegroState = 0;
    system->consprint("\nBegin interface deinit");
    if (!loaded)
        return;
    gfx.deinit_();
    if (onFrame) { // Allegro is the program's own, and no device of it was started
        system->audio.setOutputPlace_(TrelAudio::kNoOutputYet);
        loaded = headless = onFrame = false;
        return;
    }
    system->input.stopKeyboard_();
    system->audio.stopOutput_();
    system->audio.setOutputPlace_(TrelAudio::kNoOutputYet);
    system->log.setDisplay(nullptr, nullptr);
    system->consprint("\n\nDeinitializing Allegro...");
    allegro_exit(); // also removes the timer callback and the keyboard handler
    loaded = false;
    headless = false;
    allegroState = 0;
    system->consprint("\nDeinit complete!\n");
}

void TrelInterface::extendAllegro() {
    TrelImageFormats::register_();
}

void TrelInterface::updateName_() {
    if (loaded)
        set_window_title(system->getName());
}

void TrelInterface::displayError_(int level, const char* message) {
    // Headless, nobody could close a message box; the log holds the message.
    if (allegroState == 0 || headless)
        return;
    switch (level) {
    case 0:
        allegro_message("Encountered a fatal error!\n\n%s", message);
        break;
    case 1:
        allegro_message("Encountered an error!\n\n%s", message);
        break;
    case 2:
        allegro_message("Warning!\n\n%s", message);
        break;
    default:
        break;
    }
}

void TrelInterface::incrementTics(void* param) {
    auto* self = static_cast<TrelInterface*>(param);
    self->pendingTics.fetch_add(1);
    self->totalTics.fetch_add(1);
}

void TrelInterface::startLoop(int& draw) {
    if (headless) {
        // No timer: ticks follow each other at once, and frames are drawn only on request.
        draw = 0;
        totalTics.fetch_add(1);
    } else {
        waitForTick(draw);
    }
    TrelInput& input = system->input;
    input.latch_(headless);
    if (!input.getEscapeQuits())
        return;
    // A replay in a window takes its keys from the recording; Escape on the keyboard still
    // ends it.
    bool replayStopped = !headless && input.getSource() == TrelInput::kFed && key[KEY_ESC];
    if (input.isDown(KEY_ESC) || replayStopped)
        system->quit = 1;
}

void TrelInterface::waitForTick(int& draw) {
    while (pendingTics.load() <= 0)
        rest(1);
    if (skipCount == 0) {
        // One exchange, so a tick that arrives between the read and the reset is not lost.
        skipCount = pendingTics.exchange(0);
        draw = 1;
    } else {
        draw = 0;
    }
    --skipCount;
}
