#include <allegro.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "ImageFiles.h"
#include "TestSupport.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"

using Resources = InTempDir;

TEST_F(Resources, FramesKeepTheOrderOfLoadingAndTheirSizes) {
    TrelResource res;
    EXPECT_EQ(res.getSize(), 0);
    EXPECT_EQ(res.getData(0), nullptr);
    const int sizes[4][2] = {{24, 24}, {32, 16}, {1, 1}, {7, 50}};
    for (int i = 0; i < 4; ++i) {
        std::string file = writeImage("f" + std::to_string(i) + ".bmp", sizes[i][0], sizes[i][1]);
        TrelISprite* sprite = res.loadData(file.c_str());
        ASSERT_NE(sprite, nullptr) << file;
        EXPECT_EQ(res.getData(static_cast<unsigned>(i)), sprite);
    }
    EXPECT_EQ(res.getSize(), 4);
    for (int i = 0; i < 4; ++i) {
        TrelISprite* sprite = res.getData(static_cast<unsigned>(i));
        EXPECT_EQ(sprite->width, sizes[i][0]);
        EXPECT_EQ(sprite->height, sizes[i][1]);
        EXPECT_EQ(sprite->bitmap->w, sizes[i][0]);
    }
    EXPECT_EQ(res.getData(4), nullptr);
    EXPECT_EQ(res.getData(static_cast<unsigned>(-1)), nullptr);

    res.clearData();
    EXPECT_EQ(res.getSize(), 0);
    EXPECT_EQ(res.getData(0), nullptr);
    res.clearData();                            // on an empty resource: nothing
    ASSERT_NE(res.loadData("f1.bmp"), nullptr); // refilled from index 0
    EXPECT_EQ(res.getData(0)->width, 32);

    // An image made elsewhere joins at the end and is freed with the others (ASan checks).
    auto* made = new TrelISprite(create_bitmap(5, 3));
    EXPECT_EQ(res.addData(made), made);
    EXPECT_EQ(res.addData(nullptr), nullptr);
    EXPECT_EQ(res.getSize(), 2);
    EXPECT_EQ(res.getData(1), made);
}

TEST_F(Resources, UnloadableFilesMakeNoFrame) {
    std::FILE* junk = std::fopen("junk.bmp", "wb");
    std::fputs("this is not a bitmap", junk);
    std::fclose(junk);
    writeImage("good.bmp", 4, 4);
    std::rename("good.bmp", "good.xyz"); // a format Allegro does not know by extension

    TrelResource res;
    ASSERT_NE(res.loadData(writeImage("first.bmp", 2, 2).c_str()), nullptr);
    for (const char* file : {"missing.bmp", "junk.bmp", "good.xyz", ""})
        EXPECT_EQ(res.loadData(file), nullptr) << file;
    EXPECT_EQ(res.loadData(nullptr), nullptr);
    EXPECT_EQ(res.getSize(), 1);
}

namespace {

void put32(std::string& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value >> (8 * i));
}

} // namespace

// Allegro's BMP loader fills in whatever a short file lacks, so the file is checked first.
TEST_F(Resources, DamagedFilesAreRefusedWithOneSentenceNamingTheFileAndTheReason) {
    std::string good = readFile(writeImage("good.bmp", 32, 32)); // 54 + 32 * 96 bytes
    ASSERT_EQ(good.size(), 3126u);
    writeFile("short.bmp", good.substr(0, 70));
    writeFile("headless.bmp", good.substr(0, 20));
    writeFile("empty.bmp", "");
    writeFile("text.bmp", "this is not a bitmap at all, only some words");
    mkdir("folder.bmp", 0755);
    std::string wide = good;
    put32(wide, 18, 33); // one more column than the rows hold
    writeFile("wide.bmp", wide);
    std::string deep = good;
    put32(deep, 28, 7); // 7 bits per pixel (the count is 16 bits; 7 then 0)
    writeFile("deep.bmp", deep);
    std::string rle = good;
    put32(rle, 30, 1);    // RLE8 ...
    put32(rle, 34, 5000); // ... promising 5000 bytes of data
    writeFile("rle.bmp", rle);
    std::string huge = good;
    put32(huge, 18, 0x7fffffff);
    put32(huge, 22, 0x7fffffff); // the largest size: never an overflow
    writeFile("huge.bmp", huge);
    std::string topDown = good;
    put32(topDown, 22, static_cast<std::uint32_t>(-32)); // Allegro reads bottom-up rows only
    writeFile("topdown.bmp", topDown);
    std::string early = good;
    put32(early, 10, 20); // pixels inside the headers
    writeFile("early.bmp", early);

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"short.bmp", "Image file \"short.bmp\" is cut short: 70 of 3126 bytes."},
        {"headless.bmp", "Image file \"headless.bmp\" is cut short: 20 of 54 bytes."},
        {"empty.bmp", "Image file \"empty.bmp\" is empty."},
        {"text.bmp", "Image file \"text.bmp\" is not a BMP image."},
        {"folder.bmp", "Image file \"folder.bmp\" is a folder, not a file."},
        {"missing.bmp", "Image file \"missing.bmp\" cannot be read: No such file or directory."},
        {"wide.bmp", "Image file \"wide.bmp\" is cut short: 3126 of 3254 bytes."},
        {"deep.bmp", "Image file \"deep.bmp\" is damaged: 7 bits per pixel."},
        {"rle.bmp", "Image file \"rle.bmp\" is cut short: 3126 of 5054 bytes."},
        {"huge.bmp", "Image file \"huge.bmp\" is 2147483647 x 2147483647 pixels, at 4 bytes a "
                     "pixel beyond the limit of 268435456 bytes (TrelLoadLimits::imageMemory)."},
        {"topdown.bmp", "Image file \"topdown.bmp\" is damaged: its rows are stored top-down, "
                        "which cannot be read."},
        {"early.bmp",
         "Image file \"early.bmp\" is damaged: its pixel data would start inside its headers."},
    };
    TrelResource res;
    for (const auto& [file, reason] : cases) {
        EXPECT_EQ(res.loadData(file.c_str()), nullptr) << file;
        EXPECT_EQ(res.getLoadError(), reason);
    }
    EXPECT_EQ(res.getSize(), 0);
    EXPECT_NE(res.loadData("good.bmp"), nullptr);
    EXPECT_STREQ(res.getLoadError(), "");
}

TEST_F(Resources, EveryBmpLayoutThatHoldsItsPixelsStillLoads) {
    std::string good = readFile(writeImage("base.bmp", 5, 3)); // rows of 15 bytes padded to 16
    ASSERT_EQ(good.size(), 54u + 3 * 16);
    writeFile("trailing.bmp", good + std::string(10, '\0'));

    BITMAP* eight = create_bitmap_ex(8, 3, 2);
    clear_to_color(eight, 7);
    PALETTE pal;
    get_palette(pal);
    ASSERT_EQ(save_bitmap("eight.bmp", eight, pal), 0);
    destroy_bitmap(eight);

    TrelResource res;
    for (const char* file : {"base.bmp", "trailing.bmp", "eight.bmp"})
        EXPECT_NE(res.loadData(file), nullptr) << file << ": " << res.getLoadError();
    EXPECT_EQ(res.getData(1)->height, 3);
    EXPECT_EQ(res.getData(2)->width, 3);
}
