#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "fuzz/MapFuzzInput.h"

// Every input the fuzz target keeps as a seed, those that once found a fault among them,
// loaded as the fuzzer loads them, so that no clang is needed to replay them.
TEST_F(InTempDir, EveryFuzzSeedLoadsOrFailsInOneLine) {
    std::vector<std::string> seeds;
    if (DIR* folder = opendir(TREL_FUZZ_SEEDS)) {
        while (dirent* entry = readdir(folder))
            if (entry->d_name[0] != '.')
                seeds.push_back(entry->d_name);
        closedir(folder);
    }
    std::sort(seeds.begin(), seeds.end());
    ASSERT_GE(seeds.size(), 17u);
    for (const std::string& seed : seeds) {
        std::string bytes = readFile(std::string(TREL_FUZZ_SEEDS) + "/" + seed);
        EXPECT_EQ(loadFuzzInput(dir + "/", reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                bytes.size()),
                  "")
            << seed;
    }
}
