#ifndef TREL_SETTINGS_H
#define TREL_SETTINGS_H

#include "base/TrelExport.h"
#include "save/TrelSave.h"

class TrelSaveStore;
class TrelSystem;

// A game's settings, kept in its store's slot "settings": the master, effects and music
// volumes (TrelMixer), the window's scale (TrelSystem::screenScale) and the keys of every
// action (TrelInput). The system holds the settings in force; this reads them from the file
// into the system at start and writes them back when they change.
class TREL_API TrelSettings {
public:
    static const int kMaxScale = 8;

    // Not owned: the store must outlive the settings.
    explicit TrelSettings(TrelSaveStore* keeper) : store(keeper) {}

    // Reads the saved settings and sets them in the system: the volumes, the scale (clamped
    // to 1 ... kMaxScale; call before iface.init, which opens the window at that scale), and
    // the saved keys of each action the game has added by then, which replace its defaults;
    // what the file lacks keeps the game's defaults, as everything does when there is no
    // file. False when the file was refused (logged; the defaults stay).
    bool load(TrelSystem& system);
    // Writes the system's settings when they differ from those loaded or saved last; true
    // when they were written or had not changed, false when saving failed (logged).
    bool save(TrelSystem& system);

    // The settings as the file holds them, read from the system.
    static TrelSave read(TrelSystem& system);

private:
    TrelSaveStore* store; // not owned
    TrelSave last;        // what the file holds, as far as this knows
};

#endif
