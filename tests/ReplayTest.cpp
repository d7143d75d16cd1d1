#include <allegro.h>
#include <gtest/gtest.h>

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Ball.h"
#include "Level.h"
#include "TestSupport.h"

namespace {

const std::string kBotRecording = std::string(TREL_REPLAYS) + "/bot-9000.trec";
const std::string kWindowRecording = std::string(TREL_REPLAYS) + "/window-session.trec";

struct Replay {
    bool opened = false;
    bool finished = false;
    bool diverged = false;
    int ticks = 0;
    int rounds = 0;
    std::uint64_t hash = 0;
    std::vector<std::uint64_t> hashes; // after each tick that matched
    std::string error;
};

// Plays a recording of the demo from a fresh level, as quenmoor-replay --play does.
Replay play(const std::string& file) {
    Replay result;
    TrelPlayer player(&gameSystem);
    result.opened = player.open(file.c_str());
    result.error = player.getError();
    if (!result.opened)
        return result;
    setUpLevel();
    while (player.step())
        result.hashes.push_back(player.getHash());
    result.finished = player.isFinished();
    result.diverged = player.hasDiverged();
    result.ticks = player.getTick();
    result.rounds = ball->rounds;
    result.hash = player.getHash();
    tearDownLevel();
    gameSystem.quit = 0; // a recording may end with Escape
    return result;
}

// Where each tick's record starts in a recording (the format: magic, version, two texts
// with a 16-bit length, framerate, seed; then per tick a count, the codes and a hash, and
// after each second 0xfe and its sound hash).
std::vector<std::size_t> tickOffsets(const std::string& bytes) {
    auto le16 = [&](std::size_t at) {
        return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at]) |
                                        static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    std::size_t at = 10;
    at += 2 + le16(at); // engine
    at += 2 + le16(at); // game
    at += 6;            // framerate, seed
    std::vector<std::size_t> offsets;
    while (static_cast<unsigned char>(bytes[at]) != 0xff) {
        if (static_cast<unsigned char>(bytes[at]) == 0xfe) { // a second's sound hash
            at += 9;
            continue;
        }
        offsets.push_back(at);
        at += 1 + static_cast<unsigned char>(bytes[at]) + 8;
    }
    return offsets;
}

void resum(std::string& bytes) {
    std::uint64_t sum = XXH3_64bits(bytes.data(), bytes.size() - 8);
    for (int i = 0; i < 8; ++i)
        bytes[bytes.size() - 8 + i] = static_cast<char>(sum >> (8 * i) & 0xff);
}

class Replays : public InTempDir {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        // The game's global system opened its log where the process started; this test's
        // log is its own.
        gameSystem.log.reopen("log.txt");
        unsetenv("DISPLAY"); // none is needed, and none is used
        gameSystem.setName("Quenmoor");
        ASSERT_TRUE(gameSystem.iface.initHeadless());
        data = dir + "/data";
        ASSERT_EQ(symlink(TREL_GAME_DATA, data.c_str()), 0);
    }
    std::string write(const std::string& name, const std::string& bytes) {
        return writeFile(dir + "/" + name, bytes);
    }
    std::string data;
};

} // namespace

// The committed recordings, one made by the bot (two and a half minutes, ten rounds) and one
// made in a window with keys held by a script, replay to the hashes they hold, tick by tick,
// in every build, on no display.
TEST_F(Replays, CommittedRecordingsReplayToTheirHashes) {
    Replay bot = play(kBotRecording);
    ASSERT_TRUE(bot.opened) << bot.error;
    EXPECT_TRUE(bot.finished && !bot.diverged) << "stopped at tick " << bot.ticks;
    EXPECT_EQ(bot.ticks, 9000);
    EXPECT_EQ(bot.rounds, 10);
    Replay window = play(kWindowRecording);
    ASSERT_TRUE(window.opened) << window.error;
    EXPECT_TRUE(window.finished && !window.diverged) << "stopped at tick " << window.ticks;
    EXPECT_EQ(window.ticks, 530);
    EXPECT_TRUE(containsInOrder(readLog(), {"Running headless: no window, keyboard or timer.",
                                            "Playing", "9000 ticks.", "Playing", "530 ticks."}));
}

// No state leaks from one replay into the next: the second run gives every hash again.
TEST_F(Replays, TheSameRecordingTwiceInOneProcessGivesTheSameHashes) {
    Replay first = play(kBotRecording);
    Replay second = play(kBotRecording);
    ASSERT_EQ(first.hashes.size(), 9000u);
    EXPECT_EQ(first.hashes, second.hashes);
}

// One arrow key changed in one tick: the replay diverges at exactly that tick (the ball's
// gravity is set in the same tick and is part of the hash), never earlier.
TEST_F(Replays, OneChangedKeyDivergesAtThatTick) {
    const std::string original = readFile(kBotRecording);
    std::vector<std::size_t> ticks = tickOffsets(original);
    ASSERT_EQ(ticks.size(), 9000u);
    int tried = 0;
    for (std::size_t k : {0, 1500, 4321, 8900}) {
        // The next tick without changes of its own and before one without either.
        while (k + 2 < ticks.size() && (original[ticks[k]] != 0 || original[ticks[k + 1]] != 0))
            ++k;
        ASSERT_LT(k + 2, ticks.size());
        std::string bytes = original;
        // KEY_LEFT changes in tick k and back in tick k + 1: different for one tick only.
        bytes[ticks[k + 1]] = 1;
        bytes.insert(ticks[k + 1] + 1, 1, static_cast<char>(KEY_LEFT));
        bytes[ticks[k]] = 1;
        bytes.insert(ticks[k] + 1, 1, static_cast<char>(KEY_LEFT));
        resum(bytes);
        Replay changed = play(write("changed.trec", bytes));
        ASSERT_TRUE(changed.opened) << changed.error;
        EXPECT_TRUE(changed.diverged);
        EXPECT_EQ(changed.ticks, static_cast<int>(k) + 1) << "left changed in tick " << k + 1;
        EXPECT_NE(readLog().find("Replay diverged at tick " + std::to_string(k + 1) + ".\n"),
                  std::string::npos);
        ++tried;
    }
    EXPECT_EQ(tried, 4);
}

// Damaged, foreign and cut-short files are refused before anything is played, with one line
// naming the file and the reason; nothing is seeded, fed or run.
TEST_F(Replays, DamagedOrForeignRecordingsAreRefusedInOneLine) {
    const std::string good = readFile(kWindowRecording);
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x10;
    std::string trailing = good + "x";
    std::string version = good;
    version[8] = 4;
    std::string manyChanges = good;
    manyChanges[tickOffsets(good)[3]] = static_cast<char>(200);
    resum(manyChanges);
    struct Case {
        std::string name, bytes, reason;
    } cases[] = {
        {"empty.trec", "", "is not a recording"},
        {"picture.trec", readFile(std::string(TREL_GAME_DATA) + "/Ball.bmp"), "is not a recording"},
        {"header.trec", good.substr(0, 20), "is cut short in its header"},
        {"ticks.trec", good.substr(0, good.size() / 2), "is cut short"},
        {"sum.trec", good.substr(0, good.size() - 1), "is cut short"},
        {"flipped.trec", flipped, "is damaged: its checksum does not match its content"},
        {"trailing.trec", trailing, "has 1 bytes after its end"},
        {"version.trec", version,
         "is of recording format version 4; this engine plays versions 1 to 3"},
        {"changes.trec", manyChanges, "is damaged: tick 4"},
    };
    for (const Case& c : cases) {
        TrelPlayer player(&gameSystem);
        EXPECT_FALSE(player.open(write(c.name, c.bytes).c_str())) << c.name;
        std::string error = player.getError();
        EXPECT_NE(error.find("Cannot play \"" + dir + "/" + c.name + "\": it " + c.reason),
                  std::string::npos)
            << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
    TrelPlayer player(&gameSystem);
    EXPECT_FALSE(player.open((dir + "/none.trec").c_str()));
    EXPECT_STREQ(player.getError(),
                 ("Cannot play \"" + dir + "/none.trec\": it was not found.").c_str());

    gameSystem.setName("Lanternfall");
    EXPECT_FALSE(player.open(kWindowRecording.c_str()));
    EXPECT_NE(std::string(player.getError())
                  .find("was recorded by the game \"Quenmoor\", not \"Lanternfall\""),
              std::string::npos);
    gameSystem.setName("Quenmoor");
    gameSystem.framerate = 50;
    EXPECT_FALSE(player.open(kWindowRecording.c_str()));
    EXPECT_NE(std::string(player.getError()).find("was recorded at 60 ticks a second, not 50"),
              std::string::npos);
    gameSystem.framerate = 60;
    EXPECT_EQ(gameSystem.input.getSource(), TrelInput::kFed);
    EXPECT_EQ(gameSystem.zone, nullptr);
}

// The bot's recording carries the hash of each second of the demo's sound (a chime per gem,
// a fanfare per round): the replay mixes the very same samples. Played quieter, it stops at
// the second of the first gem with the sound's own message, though every state matches; the
// mix can be rendered to a WAV file meanwhile.
TEST_F(Replays, ReplaysCheckTheSoundOfEachSecond) {
    Replay bot = play(kBotRecording);
    ASSERT_TRUE(bot.finished && !bot.diverged) << "stopped at tick " << bot.ticks;
    EXPECT_EQ(readLog().find("sound diverged"), std::string::npos);

    TrelPlayer player(&gameSystem);
    ASSERT_TRUE(player.open(kBotRecording.c_str()));
    setUpLevel();
    gameSystem.audio.mixer.setEffectsVolume(200);
    ASSERT_TRUE(gameSystem.audio.startRendering("quieter.wav"));
    int firstGemTick = 0;
    while (player.step()) {
        if (firstGemTick == 0 && ball->gems > 0)
            firstGemTick = player.getTick();
    }
    ASSERT_TRUE(gameSystem.audio.stopRendering());
    gameSystem.audio.mixer.setEffectsVolume(TrelMixer::kFullVolume);
    tearDownLevel();
    ASSERT_GT(firstGemTick, 0);
    const int second = (firstGemTick + 59) / 60 * 60;
    EXPECT_TRUE(player.hasDiverged());
    EXPECT_EQ(player.getTick(), second);
    EXPECT_NE(readLog().find("Replay's sound diverged in the second ending at tick " +
                             std::to_string(second) + "."),
              std::string::npos);
    EXPECT_EQ(readFile("quieter.wav").size(), 44u + 4u * 735u * static_cast<unsigned>(second));
}
