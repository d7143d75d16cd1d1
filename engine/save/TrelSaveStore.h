#ifndef TREL_SAVE_STORE_H
#define TREL_SAVE_STORE_H

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/TrelExport.h"

class TrelLog;
class TrelSave;

// Where a game keeps its saves and settings, one file per slot ("progress", "slot2",
// "settings"), and how they are written so that the last good save is never lost:
//   1. the save goes to "<slot>.sav.new" in the same folder, which is flushed (fsync);
//   2. the save it replaces, when it reads as a whole save of this game, becomes the backup
//      "<slot>.sav.bak" (by a second name for the same file, renamed into place);
//   3. "<slot>.sav.new" is renamed over "<slot>.sav", and the folder is flushed.
// A process killed at any moment leaves "<slot>.sav" whole, old or new; a failure at any step
// leaves it untouched. Saving holds a lock on the folder (".lock"), so two instances of the
// game saving at once take turns. The format is TrelSaveFile's (engine/save/internal).
class TREL_API TrelSaveStore {
public:
    // The game's name (its first 255 bytes) names the folder and is written into every file,
    // so that another game's save is refused. The log reports what fails (not owned; it must
    // outlive the store).
    TrelSaveStore(TrelLog* log, const char* game);

    TrelSaveStore(const TrelSaveStore&) = delete;
    TrelSaveStore& operator=(const TrelSaveStore&) = delete;

    // The folder of the saves: by default "$XDG_DATA_HOME/<game>" (when that is an absolute
    // path), else "$HOME/.local/share/<game>", the game's name made safe for a folder's name
    // (safeName); "" when neither variable gives a place, and then nothing is saved. Created,
    // with the folders above it, when first saved into. Nothing goes to the working folder
    // unless the game names it.
    void setFolder(const std::string& folder) { place = folder; }
    const std::string& getFolder() const { return place; }
    static std::string defaultFolder(const std::string& game);
    // The letters, digits, spaces, '.', '_' and '-' of the name (anything else becomes '_'),
    // without leading dots or spaces, at most 64 bytes; "game" for a name left empty.
    static std::string safeName(const std::string& game);

    // The version of its saves the game writes now (0 by default). A save of an older version
    // is handed to upgrade (when set), which changes it in place and returns false to refuse
    // it; a save of a newer version is refused, never misread. Neither refusal loads the
    // backup instead: the file is whole, and only a damaged or missing one gives way to it.
    using Upgrade = bool (*)(TrelSave& save, std::uint32_t from, void* user);
    void setVersion(std::uint32_t current, Upgrade upgrade = nullptr, void* user = nullptr);
    std::uint32_t getVersion() const { return version; }

    // What load found.
    enum Loaded {
        kNone,       // no save in the slot: the game starts anew (nothing is logged)
        kLoaded,     // the slot's save
        kFromBackup, // the slot's save was damaged or missing: its backup, with a warning
        kRefused     // nothing usable (one line in the log and getError() say why)
    };
    // Reads the slot's save, within TrelLoadLimits::saveInput; on kLoaded and kFromBackup save
    // holds it, upgraded to this version, with its checksum; otherwise save is left as it was.
    Loaded load(const char* slot, TrelSave& save);
    // Writes the save with this version into the slot, as the steps above say; on success
    // the save's checksum is the new file's. False, with one line in the log and getError()
    // naming the file and the reason, when any step fails: the slot's last save is kept.
    bool save(const char* slot, TrelSave& save);
    // Whether the slot has a save or a backup to load.
    bool has(const char* slot) const;
    // Removes the slot's save and its backup.
    bool erase(const char* slot);

    // The save held in memory, as load reads a file (name is only used in messages): kLoaded
    // or kRefused. For tests and the fuzz target.
    Loaded loadBytes(const void* data, std::size_t size, const char* name, TrelSave& save);

    // The path of the slot's file; "" for an invalid slot name (1 to 64 letters, digits, '_'
    // and '-').
    std::string pathOf(const char* slot) const;
    // How long saving waits for another instance's lock before it fails (2000 ms by default).
    void setLockWait(int milliseconds) { lockWait = milliseconds; }
    const char* getError() const { return error.c_str(); }

private:
    struct Lock;
    // Reads one file into save: true on success; false with fault set (empty: no file).
    bool readFile(const std::string& path, TrelSave& save, std::string& fault, bool& newer);
    bool accept(TrelSave& read, std::string& fault, bool& newer);
    Loaded refuse(const std::string& message);
    bool makeFolder(const std::string& path);
    bool writeNew(const std::string& path, const std::string& bytes);
    bool keepBackup(const std::string& path);
    bool fail(const std::string& path, const std::string& why);

    TrelLog* log; // not owned
    std::string game;
    std::string place;
    std::uint32_t version = 0;
    Upgrade upgrade = nullptr;
    void* upgradeUser = nullptr;
    int lockWait = 2000;
    std::string error;
};

#endif
