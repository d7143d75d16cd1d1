#include <allegro.h>
#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "core/TrelSystem.h"
#include "fuzz/ImageFuzzInput.h"
#include "fuzz/MapFuzzInput.h"
#include "fuzz/ReplayFuzzInput.h"
#include "fuzz/SaveFuzzInput.h"
#include "fuzz/SheetFuzzInput.h"
#include "fuzz/SoundFuzzInput.h"

namespace {

// The files of a seed folder, in name order.
std::vector<std::string> seedsIn(const char* path) {
    std::vector<std::string> seeds;
    if (DIR* folder = opendir(path)) {
        while (dirent* entry = readdir(folder))
            if (entry->d_name[0] != '.')
                seeds.push_back(entry->d_name);
        closedir(folder);
    }
    std::sort(seeds.begin(), seeds.end());
    return seeds;
}

const std::uint8_t* bytesOf(const std::string& text) {
    return reinterpret_cast<const std::uint8_t*>(text.data());
}

} // namespace

// Every input the fuzz targets keep as seeds, those that once found a fault among them,
// loaded as the fuzzers load them, so that no clang is needed to replay them.
TEST_F(InTempDir, EveryFuzzSeedLoadsOrFailsInOneLine) {
    std::vector<std::string> seeds = seedsIn(TREL_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 18u);
    set_color_depth(16);
    TrelSystem system;
    for (const std::string& seed : seeds) {
        std::string bytes = readFile(std::string(TREL_FUZZ_SEEDS) + "/" + seed);
        EXPECT_EQ(loadFuzzInput(dir + "/", bytesOf(bytes), bytes.size(), &system), "") << seed;
    }
    seeds = seedsIn(TREL_IMAGE_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 9u);
    for (const std::string& seed : seeds) {
        std::string bytes = readFile(std::string(TREL_IMAGE_FUZZ_SEEDS) + "/" + seed);
        EXPECT_EQ(loadImageFuzzInput(dir + "/", bytesOf(bytes), bytes.size()), "") << seed;
    }
    seeds = seedsIn(TREL_SHEET_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 2u);
    for (const std::string& seed : seeds) {
        std::string bytes = readFile(std::string(TREL_SHEET_FUZZ_SEEDS) + "/" + seed);
        EXPECT_EQ(loadSheetFuzzInput(dir + "/", bytesOf(bytes), bytes.size()), "") << seed;
    }
    set_color_depth(32);
    seeds = seedsIn(TREL_SOUND_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 3u);
    for (const std::string& seed : seeds) {
        std::string bytes = readFile(std::string(TREL_SOUND_FUZZ_SEEDS) + "/" + seed);
        EXPECT_EQ(loadSoundFuzzInput(dir + "/", bytesOf(bytes), bytes.size()), "") << seed;
    }

    seeds = seedsIn(TREL_SAVE_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 5u);
    for (const std::string& seed : seeds) {
        std::string bytes = readFile(std::string(TREL_SAVE_FUZZ_SEEDS) + "/" + seed);
        EXPECT_EQ(loadSaveFuzzInput(bytesOf(bytes), bytes.size()), "") << seed;
    }

    // Recordings are played on a headless system of the game they name.
    seeds = seedsIn(TREL_REPLAY_FUZZ_SEEDS);
    ASSERT_GE(seeds.size(), 4u);
    system.setName("Quenmoor");
    BITMAP* frame = create_bitmap(640, 480);
    ASSERT_TRUE(system.iface.initOnFrame(frame));
    for (const std::string& seed : seeds) {
        std::string bytes = readFile(std::string(TREL_REPLAY_FUZZ_SEEDS) + "/" + seed);
        EXPECT_EQ(playReplayFuzzInput(bytesOf(bytes), bytes.size(), &system), "") << seed;
    }
    system.iface.deinit(); // Allegro stays up for other tests
    destroy_bitmap(frame);
}
