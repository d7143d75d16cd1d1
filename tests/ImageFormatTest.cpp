#include <allegro.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TestSupport.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"

namespace {

// A 4 × 1 RGBA strip: clear, just below the alpha threshold, just on it, and opaque
// magenta, the mask colour's own value.
std::string writeRgbaStrip(const std::string& name) {
    BITMAP* strip = create_bitmap_ex(32, 4, 1);
    putpixel(strip, 0, 0, makeacol32(200, 10, 10, 0));
    putpixel(strip, 1, 0, makeacol32(10, 200, 10, 127));
    putpixel(strip, 2, 0, makeacol32(10, 20, 200, 128));
    putpixel(strip, 3, 0, makeacol32(255, 0, 255, 255));
    EXPECT_EQ(save_bitmap(name.c_str(), strip, nullptr), 0);
    destroy_bitmap(strip);
    return name;
}

struct Colour {
    int r, g, b;
};

Colour colourAt(BITMAP* bitmap, int x, int y) {
    int depth = bitmap_color_depth(bitmap);
    int p = getpixel(bitmap, x, y);
    return {getr_depth(depth, p), getg_depth(depth, p), getb_depth(depth, p)};
}

} // namespace

// Loading converts to the current colour depth, as it does after the video mode is set.
class ImageFormats : public InTempDir, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        InTempDir::SetUp();
        set_color_depth(GetParam());
    }
    void TearDown() override {
        set_color_depth(32);
        InTempDir::TearDown();
    }

    // The sprite drawn over grey, as the renderer draws it.
    BITMAP* drawnOverGrey(TrelISprite* sprite) {
        BITMAP* canvas = create_bitmap(sprite->width, sprite->height);
        clear_to_color(canvas, makecol(60, 60, 60));
        draw_sprite(canvas, sprite->bitmap, 0, 0);
        return canvas;
    }
};

TEST_P(ImageFormats, PngAlphaBecomesTheMaskAndOpaqueMaskColouredPixelsStayVisible) {
    TrelResource res;
    TrelISprite* sprite = res.loadData(writeRgbaStrip("strip.png").c_str());
    ASSERT_NE(sprite, nullptr) << res.getLoadError();
    EXPECT_EQ(bitmap_color_depth(sprite->bitmap), GetParam());
    BITMAP* canvas = drawnOverGrey(sprite);
    int grey = makecol(60, 60, 60);
    EXPECT_EQ(getpixel(canvas, 0, 0), grey);                 // alpha 0
    EXPECT_EQ(getpixel(canvas, 1, 0), grey);                 // alpha 127
    EXPECT_EQ(getpixel(canvas, 2, 0), makecol(10, 20, 200)); // alpha 128, colour exact
    Colour nudged = colourAt(canvas, 3, 0);
    EXPECT_EQ(nudged.r, 255);
    EXPECT_EQ(nudged.b, 255);
    EXPECT_GT(nudged.g, 0);
    EXPECT_LE(nudged.g, 8); // one step of green at this depth
    destroy_bitmap(canvas);
}

TEST_P(ImageFormats, PngWithoutAlphaAndJpegLoadLikeABmp) {
    BITMAP* rgb = create_bitmap_ex(24, 8, 8);
    clear_to_color(rgb, makecol24(30, 120, 220));
    putpixel(rgb, 0, 0, makecol24(255, 0, 255));
    ASSERT_EQ(save_bitmap("rgb.png", rgb, nullptr), 0);
    ASSERT_EQ(save_bitmap("photo.jpg", rgb, nullptr), 0);
    ASSERT_EQ(save_bitmap("photo.jpeg", rgb, nullptr), 0);
    destroy_bitmap(rgb);
    BITMAP* indexed = create_bitmap_ex(8, 3, 3);
    clear_to_color(indexed, 9);
    PALETTE pal;
    for (int i = 0; i < 256; ++i)
        pal[i].r = pal[i].g = pal[i].b = static_cast<unsigned char>(i / 4);
    pal[9].r = 63;
    ASSERT_EQ(save_bitmap("indexed.png", indexed, pal), 0);
    destroy_bitmap(indexed);

    TrelResource res;
    for (const char* file : {"rgb.png", "photo.jpg", "photo.jpeg", "indexed.png"})
        ASSERT_NE(res.loadData(file), nullptr) << file << ": " << res.getLoadError();
    BITMAP* canvas = drawnOverGrey(res.getData(0));
    EXPECT_EQ(getpixel(canvas, 0, 0), makecol(60, 60, 60)); // magenta is the mask, as in a BMP
    EXPECT_EQ(getpixel(canvas, 4, 4), makecol(30, 120, 220));
    destroy_bitmap(canvas);
    Colour photo = colourAt(res.getData(1)->bitmap, 4, 4); // JPEG is lossy: close, not equal
    EXPECT_NEAR(photo.r, 30, 12);
    EXPECT_NEAR(photo.g, 120, 12);
    EXPECT_NEAR(photo.b, 220, 12);
    EXPECT_EQ(bitmap_color_depth(res.getData(3)->bitmap), GetParam());
    Colour red = colourAt(res.getData(3)->bitmap, 1, 1);
    EXPECT_GT(red.r, 240);
    EXPECT_LT(red.g, 12);
}

INSTANTIATE_TEST_SUITE_P(AtDepth, ImageFormats, ::testing::Values(16, 32),
                         [](const ::testing::TestParamInfo<int>& depth) {
                             return std::to_string(depth.param) + "bpp";
                         });

using BadImageFiles = InTempDir;

TEST_F(BadImageFiles, CutShortOrDamagedPngAndJpegAreRefusedWithTheReason) {
    set_color_depth(32);
    std::string png = readFile(writeRgbaStrip("good.png"));
    BITMAP* photo = create_bitmap_ex(24, 64, 64);
    for (int i = 0; i < 64; ++i)
        line(photo, 0, i, 63, 63 - i, makecol24(i * 4, 255 - i * 4, i * 2));
    ASSERT_EQ(save_bitmap("good.jpg", photo, nullptr), 0);
    destroy_bitmap(photo);
    std::string jpg = readFile("good.jpg");
    ASSERT_GT(png.size(), 40u);

    writeFile("short.png", png.substr(0, 40));
    std::string garbled = png;
    std::size_t data = garbled.find("IDAT") + 4; // keep the chunk layout, spoil the data
    for (std::size_t i = data; i < data + 8 && i < garbled.size(); ++i)
        garbled[i] = static_cast<char>(~garbled[i]);
    writeFile("garbled.png", garbled);
    writeFile("text.png", "plain words, not a picture");
    writeFile("short.jpg", jpg.substr(0, jpg.size() / 2));
    writeFile("text.jpg", "plain words, not a picture");

    TrelResource res;
    ASSERT_NE(res.loadData("good.png"), nullptr) << res.getLoadError();
    ASSERT_NE(res.loadData("good.jpg"), nullptr) << res.getLoadError();
    const std::pair<const char*, std::string> cases[] = {
        {"short.png", "Image file \"short.png\" is cut short: 40 of at least "},
        {"garbled.png", "Image file \"garbled.png\" is damaged: its image data cannot be "
                        "decoded ("},
        {"text.png", "Image file \"text.png\" is not a PNG image."},
        {"short.jpg", "Image file \"short.jpg\" is cut short: " + std::to_string(jpg.size() / 2) +
                          " bytes, with no end-of-image marker."},
        {"text.jpg", "Image file \"text.jpg\" is not a JPEG image."},
    };
    for (const auto& [file, reason] : cases) {
        EXPECT_EQ(res.loadData(file), nullptr) << file;
        EXPECT_EQ(std::string(res.getLoadError()).substr(0, reason.size()), reason);
    }
    EXPECT_EQ(res.getSize(), 2);
}
