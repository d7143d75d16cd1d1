// Saved games: values back as saved, the player's folder, and the last good save kept through
// damaged files, hostile files, full disks, folders that cannot be written, two savers at once
// and a saver killed at any moment.
#include <fcntl.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <random>

#include "SaveCalls.h"
#include "TestSupport.h"
#include "base/TrelLoadLimits.h"
#include "core/TrelSystem.h"
#include "save/TrelSave.h"
#include "save/TrelSaveStore.h"
#include "save/TrelSettings.h"

using fixedpoint::fix16;

namespace {

// A save whose every value follows from n, so that a mixture of two saves shows.
TrelSave numbered(std::int64_t n, std::int64_t payload = 3000) {
    TrelSave save;
    save.setInt("n", n);
    save.setInt("base", payload);
    save.setBytes("payload", std::string(static_cast<std::size_t>(payload + n % 97 * 41),
                                         static_cast<char>(n & 0xff)));
    save.setText("room", "room " + std::to_string(n));
    return save;
}

// The n of a save that is whole, or -1.
std::int64_t numberOf(const TrelSave& save) {
    const std::int64_t n = save.getInt("n", -1), base = save.getInt("base", -1);
    if (n < 0 || base < 0 || base > (1 << 20))
        return -1;
    return save.getValues() == numbered(n, base).getValues() ? n : -1;
}

// Runs body in a child process and returns what it returned ("" for all well), or how the
// child ended when it did not return.
std::string inChild(const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0)
        return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
        close(pipeEnds[0]);
        const std::string result = body();
        const ssize_t wrote = write(pipeEnds[1], result.data(), result.size());
        _exit(wrote == static_cast<ssize_t>(result.size()) ? 0 : 1);
    }
    close(pipeEnds[1]);
    std::string result;
    char buffer[512];
    for (ssize_t got; (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
        result.append(buffer, static_cast<std::size_t>(got));
    close(pipeEnds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "the child ended with status " + std::to_string(status) + ": " + result;
    return result;
}

// The bytes of a file of the save format, sealed with its checksum: for hostile files.
struct Crafted {
    std::string bytes = std::string("TrelSav\x1a", 8);
    Crafted& u(std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            bytes.push_back(static_cast<char>(value >> (8 * i) & 0xff));
        return *this;
    }
    Crafted& raw(const std::string& text) {
        bytes += text;
        return *this;
    }
    // Format 1, the game "Saver", version 0, and the count of values.
    static Crafted header(std::uint32_t count, int format = 1) {
        Crafted file;
        return file.u(static_cast<std::uint64_t>(format), 2)
            .u(5, 1)
            .raw("Saver")
            .u(0, 4)
            .u(count, 4);
    }
    std::string sealed() const {
        Crafted done = *this;
        return done.u(XXH3_64bits(bytes.data(), bytes.size()), 8).bytes;
    }
};

class Saves : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        store.setFolder(dir + "/saves");
    }
    TrelSaveStore store{nullptr, "Saver"};
};

} // namespace

// Every type comes back as saved, into the slot it was saved in; a value read as another type,
// or a name the save lacks, gives the caller's default; a name a file could not hold is
// refused by the setter.
TEST_F(Saves, ValuesOfEveryTypeComeBackAsSavedInTheirSlot) {
    TrelSave save;
    EXPECT_TRUE(save.setInt("min", INT64_MIN));
    save.setInt("max", INT64_MAX);
    save.setFixed("speed", fix16::fromRaw(-98304)); // -1.5
    save.setText("hero", "Ylva \xc3\xa5");
    save.setBytes("map", std::string("\0\xff\0", 3));
    TrelSaveValue taken = TrelSaveValue::ofList();
    taken.add(TrelSaveValue::ofInt(7));
    taken.add(TrelSaveValue::ofList()).add(TrelSaveValue::ofText("key"));
    save.set("taken", taken);
    EXPECT_FALSE(save.setInt("", 1));
    EXPECT_FALSE(save.setInt("bell\a", 1));
    EXPECT_FALSE(save.setInt(std::string(256, 'n'), 1));
    store.setVersion(4);
    ASSERT_TRUE(store.save("progress", save)) << store.getError();
    EXPECT_NE(save.getChecksum(), 0u);
    TrelSave two = numbered(2);
    ASSERT_TRUE(store.save("slot2", two));

    TrelSave back;
    ASSERT_EQ(store.load("progress", back), TrelSaveStore::kLoaded);
    EXPECT_EQ(back.getValues(), save.getValues());
    EXPECT_EQ(back.getVersion(), 4u);
    EXPECT_EQ(back.getChecksum(), save.getChecksum());
    EXPECT_EQ(back.getInt("min"), INT64_MIN);
    EXPECT_EQ(back.getFixed("speed"), fix16::fromRaw(-98304));
    EXPECT_EQ(back.get("taken").getItem(1).getItem(0).getText(), "key");
    EXPECT_EQ(back.getInt("hero", 9), 9); // a text read as an integer
    EXPECT_EQ(back.getText("missing", "no"), "no");
    EXPECT_EQ(back.get("taken").getItem(5).getType(), TrelSaveValue::kNone);
    TrelSave other;
    ASSERT_EQ(store.load("slot2", other), TrelSaveStore::kLoaded);
    EXPECT_EQ(numberOf(other), 2);
    // The same values make the same file, whatever order they were set in.
    const std::string first = readFile(store.pathOf("progress"));
    TrelSave reordered;
    for (auto it = save.getValues().rbegin(); it != save.getValues().rend(); ++it)
        reordered.set(it->first, it->second);
    ASSERT_TRUE(store.save("progress", reordered));
    EXPECT_EQ(readFile(store.pathOf("progress")), first);

    TrelSave empty;
    EXPECT_EQ(store.load("never", empty), TrelSaveStore::kNone);
    EXPECT_FALSE(store.save("../escape", empty));
    EXPECT_EQ(store.load("a/b", empty), TrelSaveStore::kRefused);
}

// The player's own data folder, its name made safe, created with its parents on the first
// save, and nothing written to the working folder.
TEST_F(Saves, GoToThePlayersDataFolderMadeWhenFirstNeeded) {
    EXPECT_EQ(TrelSaveStore::safeName("../Hop/per\n"), "_Hop_per_");
    EXPECT_EQ(TrelSaveStore::safeName("..."), "game");
    EXPECT_EQ(TrelSaveStore::safeName(std::string(100, 'x')).size(), 64u);
    setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
    EXPECT_EQ(TrelSaveStore::defaultFolder("My Game!"), dir + "/data/My Game_");
    setenv("XDG_DATA_HOME", "relative", 1); // not absolute: ignored, as the standard says
    const std::string home = getenv("HOME") != nullptr ? getenv("HOME") : "";
    setenv("HOME", (dir + "/home").c_str(), 1);
    TrelSaveStore inHome(nullptr, "Saver");
    EXPECT_EQ(inHome.getFolder(), dir + "/home/.local/share/Saver");
    TrelSave save = numbered(1);
    EXPECT_TRUE(inHome.save("progress", save)) << inHome.getError();
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DATA_HOME");
    struct stat info;
    ASSERT_EQ(stat((dir + "/home/.local/share/Saver").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_TRUE(inHome.has("progress"));
    EXPECT_EQ(runCommand("ls -A '" + dir + "'"), "home\n"); // beside the log, nothing
}

// Every byte of a save flipped and every length it can be cut to: refused in one line and the
// backup loaded, never misread; a save of a newer format or version is refused with no
// backup in its place; an older version goes through the game's upgrade.
TEST_F(Saves, ADamagedSaveGivesWayToItsBackupAndANewerOneIsRefused) {
    TrelSave one = numbered(1, 40), two = numbered(2, 40);
    ASSERT_TRUE(store.save("progress", one));
    ASSERT_TRUE(store.save("progress", two));
    const std::string path = store.pathOf("progress"), good = readFile(path);
    int refused = 0;
    auto fallsBack = [&](const std::string& bytes, const std::string& what) {
        writeFile(path, bytes);
        TrelSave loaded;
        ASSERT_EQ(store.load("progress", loaded), TrelSaveStore::kFromBackup) << what;
        ASSERT_EQ(numberOf(loaded), 1) << what;
        const std::string error = store.getError();
        ASSERT_EQ(error.find('\n'), std::string::npos) << error;
        ASSERT_EQ(error.find("The save \"" + path + "\" "), 0u) << error;
        ++refused;
    };
    for (std::size_t at = 0; at < good.size(); ++at) {
        std::string flipped = good;
        flipped[at] = static_cast<char>(flipped[at] ^ 0xff);
        fallsBack(flipped, "byte " + std::to_string(at) + " flipped");
    }
    for (std::size_t length = 0; length < good.size(); ++length)
        fallsBack(good.substr(0, length), "cut to " + std::to_string(length));
    EXPECT_EQ(refused, static_cast<int>(2 * good.size()));
    // A damaged save never becomes the backup: the next save leaves the good one as it was.
    writeFile(path, good.substr(0, 30));
    TrelSave three = numbered(3, 40), backup;
    ASSERT_TRUE(store.save("progress", three));
    const std::string kept = readFile(path + ".bak");
    ASSERT_EQ(store.loadBytes(kept.data(), kept.size(), "kept", backup), TrelSaveStore::kLoaded);
    EXPECT_EQ(numberOf(backup), 1);
    unlink(path.c_str());
    TrelSave loaded;
    EXPECT_EQ(store.load("progress", loaded), TrelSaveStore::kFromBackup);
    EXPECT_NE(std::string(store.getError()).find("is missing; loaded its backup"),
              std::string::npos);

    // Newer: of a later save format, or of a later version of the game.
    writeFile(path, Crafted::header(0, 2).sealed());
    EXPECT_EQ(store.load("progress", loaded), TrelSaveStore::kRefused);
    EXPECT_NE(
        std::string(store.getError()).find("is of save format 2, newer than this game reads (1)"),
        std::string::npos)
        << store.getError();
    TrelSaveStore later(nullptr, "Saver");
    later.setFolder(store.getFolder());
    later.setVersion(5);
    ASSERT_TRUE(later.save("progress", two));
    store.setVersion(3);
    EXPECT_EQ(store.load("progress", loaded), TrelSaveStore::kRefused);
    EXPECT_NE(std::string(store.getError())
                  .find("is of version 5 of the game's saves, newer than this game's (3)"),
              std::string::npos);

    // Older: upgraded by the game's hook, which may refuse it.
    store.setVersion(0);
    TrelSave hearts;
    hearts.setInt("hearts", 3);
    ASSERT_TRUE(store.save("old", hearts));
    auto doubled = [](TrelSave& save, std::uint32_t from, void*) {
        save.setInt("health", save.getInt("hearts") * 2);
        save.remove("hearts");
        return from == 0;
    };
    store.setVersion(6, doubled);
    ASSERT_EQ(store.load("old", loaded), TrelSaveStore::kLoaded);
    EXPECT_EQ(loaded.getInt("health"), 6);
    EXPECT_FALSE(loaded.has("hearts"));
    EXPECT_EQ(loaded.getVersion(), 6u);
    ASSERT_TRUE(store.save("old", loaded)); // version 6 now, version 0 its backup
    store.setVersion(7, doubled);
    EXPECT_EQ(store.load("old", loaded), TrelSaveStore::kRefused); // whole: no backup instead
    EXPECT_NE(std::string(store.getError()).find("could not be upgraded from version 6 to 7"),
              std::string::npos);
}

// Files made to lie, each sealed with a right checksum: refused in one line that names the
// file, before anything is made of a count or a length.
TEST_F(Saves, HostileSavesAreRefusedInOneLine) {
    auto value = [](Crafted file, const std::string& name) {
        return file.u(name.size(), 1).raw(name);
    };
    Crafted deep = value(Crafted::header(1), "deep");
    for (int level = 0; level <= TrelSaveValue::kMaxDepth; ++level)
        deep.u(TrelSaveValue::kList, 1).u(1, 4);
    deep.u(TrelSaveValue::kInt, 1).u(0, 8);
    TrelSaveStore other(nullptr, "Other");
    TrelSave saved = numbered(1);
    ASSERT_TRUE(other.save("x", saved));
    TrelLoadLimits small = TrelLoadLimits::get();
    small.saveInput = 1000;
    const struct Case {
        std::string bytes, reason;
    } cases[] = {
        {"", "is not a save"},
        {"TrelSav\x1a", "is cut short"},
        {value(Crafted::header(1), "t").u(TrelSaveValue::kText, 1).u(0xffffffff, 4).sealed(),
         "is damaged: a text of 4294967295 bytes runs past the end"},
        {value(Crafted::header(1), "l").u(TrelSaveValue::kList, 1).u(100000000, 4).sealed(),
         "is damaged: a list of 100000000 items runs past the end"},
        {Crafted::header(0xffffffff).sealed(), "is cut short"},
        {deep.sealed(), "is damaged: its lists are nested more than 16 deep"},
        {value(Crafted::header(1), "bad\x1b[2Jname").u(TrelSaveValue::kInt, 1).u(1, 8).sealed(),
         "is damaged: the name \"bad\\x1b[2Jname\" is empty or holds a control character"},
        {value(value(Crafted::header(2), "b").u(1, 1).u(1, 8), "a").u(1, 1).u(1, 8).sealed(),
         "is damaged: its names are not in order (\"a\" after \"b\")"},
        {value(Crafted::header(1), "x").u(9, 1).sealed(),
         "is damaged: a value has the unknown type 9"},
        {Crafted::header(0).u(0, 1).sealed(), "is damaged: 1 bytes follow its values"},
        {readFile(other.pathOf("x")), "is a save of another game, \"Other\""},
    };
    for (const Case& c : cases) {
        TrelSave loaded;
        ASSERT_EQ(store.loadBytes(c.bytes.data(), c.bytes.size(), "their.sav", loaded),
                  TrelSaveStore::kRefused)
            << c.reason;
        EXPECT_EQ(std::string(store.getError()), "Cannot load \"their.sav\": it " + c.reason + ".");
        EXPECT_TRUE(loaded.getValues().empty());
    }
    // A file beyond the limit is refused before it is read.
    mkdir(store.getFolder().c_str(), 0700);
    writeFile(store.pathOf("big"), std::string(2000, 'x'));
    TrelLoadLimits::set(small);
    TrelSave loaded;
    EXPECT_EQ(store.load("big", loaded), TrelSaveStore::kRefused);
    TrelLoadLimits::set(TrelLoadLimits());
    EXPECT_NE(std::string(store.getError()).find("TrelLoadLimits::saveInput"), std::string::npos)
        << store.getError();
}

// The new file is flushed before it replaces the old one, the old one becomes the backup
// only after that, and the folder is flushed once both renames are done.
TEST_F(Saves, FlushTheNewFileRenameItAndFlushTheFolderInThatOrder) {
    TrelSave save = numbered(1);
    ASSERT_TRUE(store.save("progress", save));
    const std::string folder = store.getFolder(), path = store.pathOf("progress");
    saveCalls::startRecording();
    ASSERT_TRUE(store.save("progress", save));
    const std::vector<std::string> calls = saveCalls::stopRecording();
    const std::vector<std::string> expected = {
        "fsync " + path + ".new",
        "link " + path + " " + path + ".bak.new",
        "rename " + path + ".bak.new " + path + ".bak",
        "rename " + path + ".new " + path,
        "fsync " + folder,
    };
    EXPECT_EQ(calls, expected);
}

// A saver killed with SIGKILL at 1,000 moments, aimed in turn at each phase of a save: each
// time the store loads the last save that returned, or the one being written, whole.
TEST_F(Saves, KilledAtAnyMomentTheLastSaveOrTheNewOneLoadsWhole) {
    struct Shared {
        std::atomic<int> phase;
        std::atomic<std::int64_t> done; // the last n whose save returned true
    };
    void* memory =
        mmap(nullptr, sizeof(Shared), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(memory, MAP_FAILED);
    Shared* shared = new (memory) Shared{{saveCalls::kOutside}, {0}};
    std::mt19937 dice(20261210);
    int inPhase[4] = {0, 0, 0, 0}, lost = 0, mixed = 0;
    for (int kill = 0; kill < 1000; ++kill) {
        const pid_t saver = fork();
        if (saver == 0) {
            saveCalls::phase = &shared->phase;
            for (std::int64_t n = shared->done + 1;; ++n) {
                TrelSave save = numbered(n);
                saveCalls::setPhase(saveCalls::kWriting);
                if (store.save("progress", save))
                    shared->done = n;
                saveCalls::setPhase(saveCalls::kOutside);
            }
        }
        // Aim: wait (bounded) until the saver enters the phase of this turn, or, for the time
        // between saves, until a save returned; then, every other time, a little more.
        const int aim = kill % 4;
        const std::int64_t before = shared->done;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(20);
        for (int spin = 0;; ++spin) {
            if (aim == saveCalls::kOutside ? shared->done != before : shared->phase.load() == aim)
                break;
            if (spin % 1024 == 0 && std::chrono::steady_clock::now() > giveUp)
                break;
        }
        if (dice() % 2 == 0)
            usleep(dice() % 200);
        ::kill(saver, SIGKILL);
        waitpid(saver, nullptr, 0);
        ++inPhase[shared->phase.load()];
        TrelSave loaded;
        const TrelSaveStore::Loaded found = store.load("progress", loaded);
        const std::int64_t n = numberOf(loaded), done = shared->done;
        if (found == TrelSaveStore::kNone ? done != 0 : found != TrelSaveStore::kLoaded)
            ++lost;
        else if (found == TrelSaveStore::kLoaded && n != done && n != done + 1)
            ++mixed;
        if (found == TrelSaveStore::kLoaded && n > done)
            shared->done = n; // the save being written landed whole
        shared->phase = saveCalls::kOutside;
    }
    std::printf("Kills: %d between saves, %d in the write, %d in a flush, %d in the backup and "
                "renames; %lld saves returned.\n",
                inPhase[0], inPhase[1], inPhase[2], inPhase[3],
                static_cast<long long>(shared->done.load()));
    EXPECT_EQ(lost, 0);
    EXPECT_EQ(mixed, 0);
    EXPECT_GT(shared->done.load(), 200);
    munmap(memory, sizeof(Shared));
}

namespace {

// In a child: a file system of 64 KiB at folder (tmpfs in a mount namespace of its own), or,
// where namespaces are not allowed, a limit of 64 KiB on the size of any file written.
std::string fillUp(const std::string& folder) {
    mkdir(folder.c_str(), 0700);
    if (unshare(CLONE_NEWNS) == 0 &&
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        mount("trel-test", folder.c_str(), "tmpfs", 0, "size=64k") == 0)
        return "tmpfs";
    const rlimit limit{64 << 10, 64 << 10};
    signal(SIGXFSZ, SIG_IGN); // so that a write beyond it fails instead of ending the process
    setrlimit(RLIMIT_FSIZE, &limit);
    return "RLIMIT_FSIZE";
}

// Saves a save too big for what is left and checks the one line and the old save; "" when
// all held.
std::string overflows(TrelSaveStore& store, const std::string& why) {
    TrelSave big = numbered(2, 100000);
    if (store.save("progress", big))
        return "a save beyond the space left returned true";
    const std::string error = store.getError(), path = store.pathOf("progress");
    if (error.find("Could not save \"" + path + "\": ") != 0 ||
        error.find(why) == std::string::npos || error.find('\n') != std::string::npos ||
        error.find("the last save is kept.") == std::string::npos)
        return "the line: " + error;
    TrelSave loaded;
    if (store.load("progress", loaded) != TrelSaveStore::kLoaded || numberOf(loaded) != 1)
        return "the old save did not load";
    struct stat info;
    if (lstat((path + ".new").c_str(), &info) == 0)
        return "the new file was left behind";
    return "";
}

} // namespace

// A full disk, a folder that cannot be written, a save that cannot be replaced and a folder
// that is a file: each save fails with one clear line and the old save loads as it was.
TEST_F(Saves, AFullDiskOrAnUnwritableFolderKeepsTheOldSave) {
    std::string how;
    const std::string full = inChild([&] {
        how = fillUp(dir + "/saves");
        TrelSave one = numbered(1);
        if (!store.save("progress", one))
            return std::string("the first save failed: ") + store.getError();
        const std::string problem =
            overflows(store, how == "tmpfs" ? "No space left on device" : "File too large");
        return problem.empty() ? "" : how + ": " + problem;
    });
    EXPECT_EQ(full, "");

    TrelSave one = numbered(1);
    ASSERT_TRUE(store.save("progress", one));
    // Readable by all, writable by their owner alone.
    chmod(dir.c_str(), 0755);
    chmod(store.getFolder().c_str(), 0755);
    EXPECT_EQ(inChild([&] {
                  // Root writes anywhere: the saver is another user (or, not root, it loses the
                  // right to write).
                  if (geteuid() == 0 ? setgid(65534) != 0 || setuid(65534) != 0
                                     : chmod(store.getFolder().c_str(), 0555) != 0)
                      return std::string("could not drop the right to write");
                  return overflows(store, "Permission denied");
              }),
              "");

    ASSERT_TRUE(store.save("slot2", one));
    const std::string path = store.pathOf("slot2");
    ASSERT_EQ(rename(path.c_str(), (path + ".bak").c_str()), 0);
    ASSERT_EQ(mkdir(path.c_str(), 0700), 0); // in the way of the rename
    EXPECT_FALSE(store.save("slot2", one));
    EXPECT_NE(std::string(store.getError()).find("Is a directory"), std::string::npos)
        << store.getError();
    TrelSave loaded;
    EXPECT_EQ(store.load("slot2", loaded), TrelSaveStore::kFromBackup);

    TrelSaveStore blocked(nullptr, "Saver");
    blocked.setFolder(writeFile(dir + "/file", "x") + "/saves");
    EXPECT_FALSE(blocked.save("progress", one));
    EXPECT_NE(std::string(blocked.getError()).find("Not a directory"), std::string::npos)
        << blocked.getError();
}

// Two instances saving into one slot at once take turns: every load between and after their
// saves finds one of their saves whole; a lock held too long fails the save in one line.
TEST_F(Saves, TwoInstancesSavingAtOnceLeaveOneWholeSave) {
    pid_t savers[2];
    for (int s = 0; s < 2; ++s) {
        savers[s] = fork();
        if (savers[s] == 0) {
            for (int n = 0; n < 150; ++n) {
                TrelSave save = numbered(1000 * (s + 1) + n);
                if (!store.save("progress", save))
                    _exit(1);
            }
            _exit(0);
        }
    }
    int loads = 0, broken = 0;
    for (int round = 0; round < 5000; ++round) {
        int status;
        if (waitpid(savers[0], &status, WNOHANG) != 0 && waitpid(savers[1], &status, WNOHANG) != 0)
            break;
        TrelSave loaded;
        const TrelSaveStore::Loaded found = store.load("progress", loaded);
        loads += found == TrelSaveStore::kLoaded;
        broken += found != TrelSaveStore::kNone &&
                  (found != TrelSaveStore::kLoaded || numberOf(loaded) < 0);
    }
    for (pid_t saver : savers) {
        int status = 0;
        waitpid(saver, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(broken, 0) << "of " << loads;
    TrelSave last;
    ASSERT_EQ(store.load("progress", last), TrelSaveStore::kLoaded);
    EXPECT_TRUE(numberOf(last) == 1149 || numberOf(last) == 2149) << numberOf(last);

    const int held = open((store.getFolder() + "/.lock").c_str(), O_RDWR);
    ASSERT_EQ(flock(held, LOCK_EX), 0);
    // flock belongs to the open file: the same process opening it again is refused as well.
    store.setLockWait(50);
    EXPECT_FALSE(store.save("progress", last));
    EXPECT_NE(std::string(store.getError())
                  .find("another instance of the game kept the folder locked for 50 ms"),
              std::string::npos);
    close(held);
    EXPECT_TRUE(store.save("progress", last));
}

// A game's volumes, scale and keys: its defaults until it changes them, then what it changed
// them to in every later run; a hand-edited file cannot set what the system cannot hold.
TEST_F(Saves, SettingsPersistAcrossRunsAndKeepTheDefaultsUntilChanged) {
    auto startUp = [](TrelSystem& system) { // the game's defaults, as its main() sets them
        system.screenScale = 2;
        system.input.bindAction(system.input.addAction("jump"), 84); // KEY_UP
        system.input.bindAction(system.input.addAction("fire"), 75); // KEY_SPACE
    };
    {
        TrelSystem system;
        startUp(system);
        TrelSettings settings(&store);
        EXPECT_TRUE(settings.load(system)); // no file yet: the defaults
        EXPECT_EQ(system.screenScale, 2);
        EXPECT_TRUE(settings.save(system));
        EXPECT_FALSE(store.has("settings")); // nothing changed, nothing written
        system.audio.mixer.setMusicVolume(100);
        system.screenScale = 3;
        const int jump = system.input.findAction("jump");
        system.input.unbindAction(jump);
        system.input.bindAction(jump, 23); // KEY_W
        system.input.bindAction(jump, TrelInput::kJoyButton0);
        EXPECT_TRUE(settings.save(system));
        EXPECT_TRUE(store.has("settings"));
    }
    {
        TrelSystem system;
        startUp(system);
        TrelSettings settings(&store);
        EXPECT_TRUE(settings.load(system));
        EXPECT_EQ(system.audio.mixer.getMusicVolume(), 100);
        EXPECT_EQ(system.audio.mixer.getEffectsVolume(), +TrelMixer::kFullVolume);
        EXPECT_EQ(system.screenScale, 3);
        EXPECT_EQ(system.input.getActionCodes(system.input.findAction("jump")),
                  (std::vector<int>{23, TrelInput::kJoyButton0}));
        EXPECT_EQ(system.input.getActionCodes(system.input.findAction("fire")),
                  std::vector<int>{75});
    }
    TrelSave edited;
    {
        TrelSystem system;
        edited = TrelSettings::read(system);
    }
    edited.setInt("screen scale", 99);
    TrelSaveValue codes = TrelSaveValue::ofList();
    codes.add(TrelSaveValue::ofInt(9999));
    codes.add(TrelSaveValue::ofInt(26)); // KEY_Z
    edited.set("keys: jump", codes);
    edited.setText("keys: fire", "space");
    ASSERT_TRUE(store.save("settings", edited));
    {
        TrelSystem system;
        startUp(system);
        TrelSettings settings(&store);
        EXPECT_TRUE(settings.load(system));
        EXPECT_EQ(system.screenScale, +TrelSettings::kMaxScale);
        EXPECT_EQ(system.input.getActionCodes(system.input.findAction("jump")),
                  std::vector<int>{26});
        EXPECT_EQ(system.input.getActionCodes(system.input.findAction("fire")),
                  std::vector<int>{75});
    }
}
