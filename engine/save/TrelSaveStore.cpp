#include "save/TrelSaveStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <utility>

#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"
#include "base/TrelLog.h"
#include "save/TrelSave.h"
#include "save/internal/TrelSaveFile.h"

namespace {

std::string failure(const char* what, const std::string& path) {
    return std::string(what) + " " + TrelFileBytes::quoted(path) +
           " failed: " + std::strerror(errno);
}

// Closes a descriptor on every way out.
struct Descriptor {
    int fd;
    explicit Descriptor(int d) : fd(d) {}
    ~Descriptor() {
        if (fd >= 0)
            close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

bool isFile(const std::string& path) {
    struct stat info;
    return lstat(path.c_str(), &info) == 0;
}

} // namespace

// The folder's lock, held while one save is written and released on every way out.
struct TrelSaveStore::Lock {
    int fd = -1;
    ~Lock() {
        if (fd >= 0)
            close(fd); // closing releases the flock
    }
    // False with errno set, or with errno 0 when another process held the lock throughout.
    bool take(const std::string& folder, int waitMs) {
        fd = open((folder + "/.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return false;
        for (int waited = 0;; waited += 10) {
            if (flock(fd, LOCK_EX | LOCK_NB) == 0)
                return true;
            if (errno != EWOULDBLOCK && errno != EINTR)
                return false;
            if (waited >= waitMs) {
                errno = 0;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
};

TrelSaveStore::TrelSaveStore(TrelLog* reporter, const char* gameName)
    : log(reporter), game(gameName != nullptr ? gameName : ""), place(defaultFolder(game)) {
}

std::string TrelSaveStore::safeName(const std::string& name) {
    std::string safe;
    for (char c : name) {
        const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                          (c >= '0' && c <= '9') || c == ' ' || c == '.' || c == '_' || c == '-';
        if (safe.empty() && (c == '.' || c == ' '))
            continue; // no hidden folder, no name that starts blank
        if (safe.size() < 64)
            safe.push_back(kept ? c : '_');
    }
    return safe.empty() ? "game" : safe;
}

std::string TrelSaveStore::defaultFolder(const std::string& gameName) {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data != nullptr && data[0] == '/')
        return std::string(data) + "/" + safeName(gameName);
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] != '/') {
        const passwd* user = getpwuid(getuid());
        home = user != nullptr ? user->pw_dir : nullptr;
    }
    if (home == nullptr || home[0] != '/')
        return "";
    return std::string(home) + "/.local/share/" + safeName(gameName);
}

void TrelSaveStore::setVersion(std::uint32_t current, Upgrade upgrader, void* user) {
    version = current;
    upgrade = upgrader;
    upgradeUser = user;
}

std::string TrelSaveStore::pathOf(const char* slot) const {
    const std::size_t length = slot != nullptr ? std::strlen(slot) : 0;
    if (length == 0 || length > 64)
        return "";
    for (std::size_t i = 0; i < length; ++i) {
        const char c = slot[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
              c == '_' || c == '-'))
            return "";
    }
    return place + "/" + slot + ".sav";
}

bool TrelSaveStore::fail(const std::string& path, const std::string& why) {
    error =
        "Could not save " + TrelFileBytes::quoted(path) + ": " + why + "; the last save is kept.";
    if (log != nullptr)
        log->warn("%s", error.c_str());
    return false;
}

bool TrelSaveStore::makeFolder(const std::string& path) {
    // Each folder of the path in turn, as mkdir -p makes them; private to the player.
    // A folder that is there is not made again: mkdir fails for want of the right to write
    // in its parent even where the folder exists.
    struct stat info;
    for (std::size_t end = place.find('/', 1);; end = place.find('/', end + 1)) {
        const std::string folder = place.substr(0, end);
        const bool there = stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        if (!there && mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
            return fail(path, failure("making the folder", folder));
        if (end == std::string::npos)
            break;
    }
    if (stat(place.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return fail(path, TrelFileBytes::quoted(place) + " is not a folder");
    return true;
}

bool TrelSaveStore::writeNew(const std::string& path, const std::string& bytes) {
    const std::string fresh = path + ".new";
    Descriptor out(
        open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644));
    if (out.fd < 0)
        return fail(path, failure("creating", fresh));
    std::size_t done = 0;
    const char* how = nullptr;
    while (done < bytes.size() && how == nullptr) {
        const ssize_t wrote = write(out.fd, bytes.data() + done, bytes.size() - done);
        if (wrote > 0)
            done += static_cast<std::size_t>(wrote);
        else if (wrote == 0 || errno != EINTR)
            how = "writing";
        if (wrote == 0)
            errno = ENOSPC; // no byte taken and no reason given: the device is full
    }
    if (how == nullptr && fsync(out.fd) != 0)
        how = "flushing";
    if (how == nullptr) {
        const int fd = out.fd;
        out.fd = -1;
        if (close(fd) != 0)
            how = "closing";
    }
    if (how == nullptr)
        return true;
    const std::string why = failure(how, fresh);
    unlink(fresh.c_str());
    return fail(path, why);
}

bool TrelSaveStore::keepBackup(const std::string& path) {
    std::string bytes, reason;
    const TrelFileBytes::Limit limit{TrelLoadLimits::get().saveInput, "saveInput"};
    if (!isFile(path) || !TrelFileBytes::read(path, limit, bytes, reason))
        return true; // nothing there worth keeping: the backup stays as it is
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (!TrelSaveFile::isWhole(data, bytes.size(), game))
        return true; // a damaged save never replaces a good backup
    const std::string backup = path + ".bak", fresh = backup + ".new";
    unlink(fresh.c_str());
    // A second name for the old file, renamed over the old backup; where the file system has
    // no hard links, a copy of its bytes, flushed.
    if (link(path.c_str(), fresh.c_str()) != 0 && !writeNew(backup, bytes))
        return false;
    if (rename(fresh.c_str(), backup.c_str()) != 0) {
        const std::string why = failure("renaming", fresh);
        unlink(fresh.c_str());
        return fail(path, why);
    }
    return true;
}

bool TrelSaveStore::save(const char* slot, TrelSave& save) {
    error.clear();
    const std::string path = pathOf(slot);
    if (path.empty())
        return fail(slot != nullptr ? slot : "",
                    "a slot's name is 1 to 64 letters, digits, '_' and '-'");
    if (place.empty())
        return fail(path, "there is no folder for saves (neither XDG_DATA_HOME nor HOME is set)");
    save.setVersion(version);
    std::string bytes, fault;
    if (!TrelSaveFile::write(save, game, bytes, fault))
        return fail(path, "the save " + fault);
    if (!makeFolder(path))
        return false;
    Lock lock;
    if (!lock.take(place, lockWait))
        return fail(path, errno != 0 ? failure("locking", place + "/.lock")
                                     : "another instance of the game kept the folder locked for " +
                                           std::to_string(lockWait) + " ms");
    const std::string fresh = path + ".new";
    if (!writeNew(path, bytes))
        return false;
    if (!keepBackup(path)) {
        unlink(fresh.c_str());
        return false;
    }
    if (rename(fresh.c_str(), path.c_str()) != 0) {
        const std::string why = failure("renaming", fresh);
        unlink(fresh.c_str());
        return fail(path, why);
    }
    save.setChecksum_(TrelSaveFile::checksum(bytes.data(), bytes.size() - 8));
    // The renames last only once the folder itself is on the disk.
    Descriptor folder(open(place.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.fd < 0 || fsync(folder.fd) != 0) {
        error = "Saved " + TrelFileBytes::quoted(path) + ", but " +
                failure("flushing the folder", place) + "; the save may not outlast a power cut.";
        if (log != nullptr)
            log->warn("%s", error.c_str());
        return false;
    }
    return true;
}

bool TrelSaveStore::readFile(const std::string& path, TrelSave& save, std::string& fault,
                             bool& newer) {
    newer = false;
    fault.clear();
    if (!isFile(path))
        return false;
    std::string bytes;
    const TrelFileBytes::Limit limit{TrelLoadLimits::get().saveInput, "saveInput"};
    if (!TrelFileBytes::read(path, limit, bytes, fault))
        return false;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    return TrelSaveFile::read(data, bytes.size(), game, save, fault, newer) &&
           accept(save, fault, newer);
}

bool TrelSaveStore::accept(TrelSave& read, std::string& fault, bool& newer) {
    const std::uint32_t from = read.getVersion();
    if (from > version) {
        newer = true;
        fault = "is of version " + std::to_string(from) +
                " of the game's saves, newer than this game's (" + std::to_string(version) + ")";
        return false;
    }
    if (from < version && upgrade != nullptr && !upgrade(read, from, upgradeUser)) {
        newer = true; // whole, and the game's own refusal: no older backup in its place
        fault = "could not be upgraded from version " + std::to_string(from) + " to " +
                std::to_string(version);
        return false;
    }
    read.setVersion(version);
    return true;
}

TrelSaveStore::Loaded TrelSaveStore::refuse(const std::string& message) {
    error = message;
    if (log != nullptr)
        log->warn("%s", error.c_str());
    return kRefused;
}

TrelSaveStore::Loaded TrelSaveStore::load(const char* slot, TrelSave& save) {
    error.clear();
    const std::string path = pathOf(slot);
    if (path.empty())
        return refuse("Cannot load the slot " + TrelFileBytes::quoted(slot != nullptr ? slot : "") +
                      ": a slot's name is 1 to 64 letters, digits, '_' and '-'.");
    TrelSave read;
    std::string fault, backupFault;
    bool newer = false;
    if (readFile(path, read, fault, newer)) {
        save = std::move(read);
        return kLoaded;
    }
    const std::string name = TrelFileBytes::quoted(path);
    // A newer save, or one the game refused to upgrade, is whole: loading the older backup in
    // its place would lose the progress.
    if (newer)
        return refuse("Cannot load " + name + ": it " + fault + ".");
    const std::string backup = path + ".bak";
    if (readFile(backup, read, backupFault, newer)) {
        error = "The save " + name + (fault.empty() ? " is missing" : " " + fault) +
                "; loaded its backup " + TrelFileBytes::quoted(backup) + " instead.";
        if (log != nullptr)
            log->warn("%s", error.c_str());
        save = std::move(read);
        return kFromBackup;
    }
    if (fault.empty() && backupFault.empty())
        return kNone;
    return refuse("Cannot load " + name + ": it " + (fault.empty() ? "is missing" : fault) +
                  ", and its backup " + (backupFault.empty() ? "is missing" : backupFault) + ".");
}

TrelSaveStore::Loaded TrelSaveStore::loadBytes(const void* data, std::size_t size, const char* name,
                                               TrelSave& save) {
    error.clear();
    TrelSave read;
    std::string fault;
    bool newer = false;
    if (TrelSaveFile::read(static_cast<const unsigned char*>(data), size, game, read, fault,
                           newer) &&
        accept(read, fault, newer)) {
        save = std::move(read);
        return kLoaded;
    }
    return refuse("Cannot load " + TrelFileBytes::quoted(name != nullptr ? name : "") + ": it " +
                  fault + ".");
}

bool TrelSaveStore::has(const char* slot) const {
    const std::string path = pathOf(slot);
    return !path.empty() && (isFile(path) || isFile(path + ".bak"));
}

bool TrelSaveStore::erase(const char* slot) {
    const std::string path = pathOf(slot);
    if (path.empty())
        return false;
    bool erased = true;
    for (const std::string& file : {path, path + ".bak"})
        if (unlink(file.c_str()) != 0 && errno != ENOENT)
            erased = false;
    return erased;
}
