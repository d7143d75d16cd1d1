#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "ImageFiles.h"
#include "TestSupport.h"
#include "gfx/TrelISprite.h"
#include "gfx/TrelResource.h"

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
    EXPECT_EQ(res.getSize(), 1);
}
