// Maps, tilesets and images as a hostile modder would make them: each is refused in one line
// or loaded within the limits, never a crash, a hang or memory exhausted. Every file is made
// at test time; the suite runs under a memory limit and a timeout.
#include <allegro.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>

#include "MapFiles.h"
#include "TestSupport.h"
#include "aseprite/TrelAsepriteSheet.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "base/TrelLoadLimits.h"
#include "core/TrelSystem.h"
#include "map/TrelTiledMap.h"
#include "motion/TrelTileShapes.h"
#include "world/TrelZone.h"

namespace {

std::string le16(int v) {
    return {static_cast<char>(v & 0xff), static_cast<char>(v >> 8 & 0xff)};
}
std::string le32(std::uint32_t v) {
    return le16(static_cast<int>(v & 0xffff)) + le16(static_cast<int>(v >> 16));
}
std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16 & 0xff),
            static_cast<char>(v >> 8 & 0xff), static_cast<char>(v & 0xff)};
}

// An 8-bit BMP of w x h pixels, grey palette, whose pixel data is rle (compression 1), or
// plain rows when rle is empty.
std::string bmp8(int w, int h, const std::string& rle) {
    std::string palette;
    for (int i = 0; i < 256; ++i)
        palette += std::string(3, static_cast<char>(i)) + '\0';
    std::string pixels = rle;
    if (rle.empty())
        pixels.assign(static_cast<std::size_t>((w + 3) / 4 * 4 * h), '\x40');
    const std::uint32_t offset = 54 + 1024;
    return "BM" + le32(offset + static_cast<std::uint32_t>(pixels.size())) + le32(0) +
           le32(offset) + le32(40) + le32(static_cast<std::uint32_t>(w)) +
           le32(static_cast<std::uint32_t>(h)) + le16(1) + le16(8) + le32(rle.empty() ? 0 : 1) +
           le32(static_cast<std::uint32_t>(pixels.size())) + le32(0) + le32(0) + le32(0) + le32(0) +
           palette + pixels;
}

// A TGA header: 24-bit truecolour (type 2, +8 when run-length coded) unless given otherwise.
std::string tgaHeader(int w, int h, int type = 10, int paletteColours = 0) {
    return std::string{0, static_cast<char>(paletteColours > 0), static_cast<char>(type)} +
           le16(0) + le16(paletteColours) + std::string(1, 24) + le16(0) + le16(0) + le16(w) +
           le16(h) + std::string{24, 0};
}

std::string pcx(int xmin, int xmax, int bytesPerLine, const std::string& data) {
    std::string header{10, 5, 1, 8};
    header += le16(xmin) + le16(0) + le16(xmax) + le16(1) + le16(72) + le16(72);
    header += std::string(48, '\0') + '\0' + '\1' + le16(bytesPerLine);
    header.resize(128, '\0');
    return header + data;
}

// A PNG signature and header chunk that claim w x h pixels (nothing after them).
std::string pngClaiming(std::uint32_t w, std::uint32_t h) {
    return std::string("\x89PNG\r\n\x1a\n", 8) + be32(13) + "IHDR" + be32(w) + be32(h) +
           std::string{8, 6, 0, 0, 0} + be32(0);
}

std::string tmx(int w, int h, const std::string& body) {
    return "<map orientation=\"orthogonal\" width=\"" + std::to_string(w) + "\" height=\"" +
           std::to_string(h) + "\" tilewidth=\"8\" tileheight=\"8\">\n" + body + "</map>\n";
}
std::string sheetTileset(int firstGid, const std::string& image, int imageSide,
                         const std::string& extra = "") {
    return "<tileset firstgid=\"" + std::to_string(firstGid) +
           "\" name=\"s\" tilewidth=\"8\" tileheight=\"8\"" + extra + "><image source=\"" + image +
           "\" width=\"" + std::to_string(imageSide) + "\" height=\"" + std::to_string(imageSide) +
           "\"/></tileset>\n";
}

// A one-tile sheet of t.png (8 x 8) whose tiles are described by tiles.
std::string oneTileSheet(const std::string& tiles) {
    return "<tileset firstgid=\"1\" name=\"s\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"1\" "
           "columns=\"1\"><image source=\"t.png\" width=\"8\" height=\"8\"/>" +
           tiles + "</tileset>\n";
}
std::string csvLayer(int w, int h, std::uint32_t gid) {
    return "<layer name=\"l\" width=\"" + std::to_string(w) + "\" height=\"" + std::to_string(h) +
           "\"><data encoding=\"csv\">" +
           encodeGids(std::vector<std::uint32_t>(static_cast<std::size_t>(w) * h, gid), "csv", "") +
           "</data></layer>\n";
}

// A grey progressive JPEG of side x side pixels in 127 valid scans: the DC, then each AC
// coefficient on its own, first its high bits and then its last one. Each scan costs a pass
// over the whole image, which is how a small file can take minutes to decode.
void writeManyScanJpeg(const std::string& name, int side) {
    std::vector<jpeg_scan_info> scans(1 + 2 * 63);
    scans[0] = {1, {0}, 0, 0, 0, 0};
    for (int k = 1; k <= 63; ++k) {
        scans[static_cast<std::size_t>(2 * k - 1)] = {1, {0}, k, k, 0, 1};
        scans[static_cast<std::size_t>(2 * k)] = {1, {0}, k, k, 1, 0};
    }
    jpeg_compress_struct jpeg;
    jpeg_error_mgr errors;
    jpeg.err = jpeg_std_error(&errors);
    jpeg_create_compress(&jpeg);
    FILE* out = std::fopen(name.c_str(), "wb");
    jpeg_stdio_dest(&jpeg, out);
    jpeg.image_width = jpeg.image_height = static_cast<JDIMENSION>(side);
    jpeg.input_components = 1;
    jpeg.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&jpeg);
    jpeg.scan_info = scans.data();
    jpeg.num_scans = static_cast<int>(scans.size());
    jpeg_start_compress(&jpeg, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(side));
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x)
            row[static_cast<std::size_t>(x)] = static_cast<JSAMPLE>((x * 7 + y * 13) & 0xff);
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&jpeg, rows, 1);
    }
    jpeg_finish_compress(&jpeg);
    jpeg_destroy_compress(&jpeg);
    std::fclose(out);
}

void writeSquarePng(const std::string& name, int side) {
    BITMAP* image = create_bitmap_ex(24, side, side);
    clear_to_color(image, makecol24(30, 60, 90));
    ASSERT_EQ(save_bitmap(name.c_str(), image, nullptr), 0);
    destroy_bitmap(image);
}

class StrangerFiles : public InTempDir {
protected:
    void TearDown() override {
        TrelLoadLimits::set(TrelLoadLimits());
        InTempDir::TearDown();
    }

    // The error of a resource load that must fail, checked to be one line.
    std::string imageError(const std::string& file) {
        TrelResource res;
        EXPECT_EQ(res.loadData(file.c_str()), nullptr) << file;
        std::string error = res.getLoadError();
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        return error;
    }
    // The error of a map load (and, when it loads, of addToZone), checked to be one line.
    std::string mapError(const std::string& file, bool fromPlayer = false) {
        TrelTiledMap map;
        map.setFromPlayer(fromPlayer);
        bool loaded = map.load(file.c_str());
        if (loaded) {
            TrelSystem system;
            TrelZone zone(&system);
            loaded = map.addToZone(&system, &zone);
        }
        std::string error = map.getError();
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        return loaded ? "" : error;
    }
};

TEST_F(StrangerFiles, PipesAndDevicesAreRefusedAtOnce) {
    ASSERT_EQ(mkfifo("pipe.png", 0600), 0);
    ASSERT_EQ(mkfifo("pipe.tsx", 0600), 0);
    // Nobody ever writes to the pipes: a reader that waited would never return.
    EXPECT_EQ(imageError("pipe.png"), "Image file \"pipe.png\" is not a regular file (a device, "
                                      "a pipe or a socket).");
    EXPECT_EQ(mapError("/dev/null"),
              "/dev/null: the file is not a regular file (a device, a pipe or a socket)");
    writeFile("named.tmx", tmx(1, 1, "<tileset firstgid=\"1\" source=\"pipe.tsx\"/>\n"));
    EXPECT_EQ(mapError("named.tmx"),
              "named.tmx:2: tileset \"pipe.tsx\" is not a regular file (a device, a pipe or a "
              "socket)");
    writeFile("sheet.tmx", tmx(1, 1, sheetTileset(1, "pipe.png", 8) + csvLayer(1, 1, 1)));
    EXPECT_EQ(mapError("sheet.tmx"), "sheet.tmx: Image file \"pipe.png\" is not a regular file "
                                     "(a device, a pipe or a socket).");
}

TEST_F(StrangerFiles, RunsThatLeaveTheImageAreRefusedBeforeAllegroDecodesThem) {
    // 4 x 2 pixels: a good RLE8 image, then runs past the row, below the bottom row (by a
    // delta), and data without its end mark.
    writeFile("good.bmp", bmp8(4, 2, std::string("\x04\x10\x00\x00\x02\x20\x02\x30\x00\x01", 10)));
    writeFile("wide.bmp", bmp8(4, 2, std::string("\xff\x10\x00\x01", 4)));
    writeFile("below.bmp", bmp8(4, 2, std::string("\x00\x02\x00\x05\x02\x10\x00\x01", 8)));
    writeFile("literal.bmp", bmp8(4, 2, std::string("\x00\x06\x01\x02\x03\x04\x05\x06", 8)));
    writeFile("endless.bmp", bmp8(4, 2, std::string("\x04\x10\x00\x00", 4)));
    writeFile("good.tga", tgaHeader(2, 2) + "\x81" + std::string(3, 'a') + "\x81" + "bbb");
    writeFile("across.tga", tgaHeader(2, 2) + "\x83" + std::string(3, 'a'));
    writeFile("palette.tga", tgaHeader(2, 2, 1, 300) + std::string(900, 'p'));
    writeFile("empty.tga", tgaHeader(0, 5) + "abc");
    writeFile("wrapped.pcx", pcx(10, 2, 4, std::string(64, '\x01')));
    writeFile("short.pcx", pcx(0, 3, 4, "\xc9"));
    writeFile("art.lbm", "FORM....ILBMBMHD");

    TrelResource res;
    ASSERT_NE(res.loadData("good.bmp"), nullptr) << res.getLoadError();
    BITMAP* good = res.getData(0)->bitmap;
    EXPECT_EQ(getpixel(good, 0, 1), getpixel(good, 3, 1));
    EXPECT_NE(getpixel(good, 0, 1), getpixel(good, 3, 0));
    ASSERT_NE(res.loadData("good.tga"), nullptr) << res.getLoadError();
    const std::string outside = " is damaged: a run of its RLE data passes the edge of the image.";
    EXPECT_EQ(imageError("wide.bmp"), "Image file \"wide.bmp\"" + outside);
    EXPECT_EQ(imageError("below.bmp"), "Image file \"below.bmp\"" + outside);
    EXPECT_EQ(imageError("literal.bmp"), "Image file \"literal.bmp\"" + outside);
    EXPECT_EQ(imageError("endless.bmp"),
              "Image file \"endless.bmp\" is cut short: its RLE data has no end-of-image mark.");
    EXPECT_EQ(imageError("across.tga"),
              "Image file \"across.tga\" is damaged: a run of row 0 passes its end.");
    EXPECT_EQ(imageError("palette.tga"),
              "Image file \"palette.tga\" is damaged: its palette type is 1 with 300 colours.");
    EXPECT_EQ(imageError("empty.tga"), "Image file \"empty.tga\" is damaged: its size is 0 x 5 "
                                       "pixels.");
    EXPECT_EQ(imageError("wrapped.pcx"),
              "Image file \"wrapped.pcx\" is damaged: its size is -7 x 2 pixels.");
    EXPECT_EQ(imageError("short.pcx"),
              "Image file \"short.pcx\" is cut short: its pixel data ends after 129 bytes.");
    EXPECT_EQ(imageError("art.lbm"), "Image file \"art.lbm\" is not of a format that can be "
                                     "read: images may be PNG, JPEG, BMP, TGA or PCX.");
}

TEST_F(StrangerFiles, ImagesBeyondTheLimitsAreRefusedBeforeTheyAreDecoded) {
    writeFile("wide.png", pngClaiming(30000, 30000));
    writeFile("huge.jpg", std::string("\xff\xd8\xff\xc0\x00\x11\x08\xff\xff\xff\xff\x03", 12) +
                              std::string(9, '\x11') + "\xff\xd9");
    writeSquarePng("square.png", 64);
    writeManyScanJpeg("scans.jpg", 64);
    EXPECT_EQ(imageError("scans.jpg"), "Image file \"scans.jpg\" uses a JPEG encoding that cannot "
                                       "be read (more than 100 scans).");
    EXPECT_EQ(imageError("wide.png"), "Image file \"wide.png\" is 30000 x 30000 pixels, at 4 bytes "
                                      "a pixel beyond the limit of 268435456 bytes "
                                      "(TrelLoadLimits::imageMemory).");
    EXPECT_EQ(imageError("huge.jpg"), "Image file \"huge.jpg\" is 65535 x 65535 pixels, at 4 bytes "
                                      "a pixel beyond the limit of 268435456 bytes "
                                      "(TrelLoadLimits::imageMemory).");
    TrelLoadLimits limits;
    limits.imageInput = 100;
    TrelLoadLimits::set(limits);
    const std::string size = std::to_string(readFile("square.png").size());
    EXPECT_EQ(imageError("square.png"), "Image file \"square.png\" is " + size +
                                            " bytes, beyond the limit of 100 bytes "
                                            "(TrelLoadLimits::imageInput).");
    limits.imageInput = 1 << 20;
    limits.imageMemory = 64 * 64 * 4; // exactly enough
    TrelLoadLimits::set(limits);
    TrelResource res;
    EXPECT_NE(res.loadData("square.png"), nullptr) << res.getLoadError();
}

TEST_F(StrangerFiles, MapsBeyondTheLimitsAreRefusedInOneLine) {
    writeSquarePng("t.png", 8);
    writeFile("cells.tmx",
              tmx(64, 64, sheetTileset(1, "t.png", 8) + csvLayer(64, 64, 1) + csvLayer(64, 64, 1)));
    writeSquarePng("big.png", 512);
    writeFile("flips.tmx", tmx(2, 1,
                               sheetTileset(1, "big.png", 512) + "<layer name=\"l\" width=\"2\" "
                                                                 "height=\"1\"><data "
                                                                 "encoding=\"csv\">1,2147483649"
                                                                 "</data></layer>\n"));
    std::string nested = "{\"type\":\"map\",\"layers\":[";
    for (int i = 0; i < 200000; ++i)
        nested += "[[]],";
    writeFile("nested.tmj.gz", gzipBytes(nested + "[]]}"));
    TrelLoadLimits limits;
    limits.mapMemory = 64 * 64 * 6 + 22000; // the XML and one layer, not two
    TrelLoadLimits::set(limits);
    EXPECT_EQ(mapError("cells.tmx"),
              "cells.tmx:4: the layers' cells need 24576 bytes more, beyond the limit of " +
                  std::to_string(limits.mapMemory) + " bytes (TrelLoadLimits::mapMemory)");
    // Fault: each layer was decoded before the next was counted, so a small file of large
    // layers took seconds before the one beyond the limit was refused. All are counted first:
    // the damaged data of the first is not even reached, in either format.
    const std::string damaged = "<layer name=\"l\" width=\"64\" height=\"64\"><data "
                                "encoding=\"base64\" compression=\"zlib\">bm90IHpsaWI=</data>"
                                "</layer>\n";
    writeFile("ahead.tmx", tmx(64, 64, sheetTileset(1, "t.png", 8) + damaged + damaged));
    EXPECT_EQ(mapError("ahead.tmx"),
              "ahead.tmx:4: the layers' cells need 24576 bytes more, beyond the limit of " +
                  std::to_string(limits.mapMemory) + " bytes (TrelLoadLimits::mapMemory)");
    const std::string layer = "{\"type\":\"tilelayer\",\"name\":\"l\",\"width\":64,\"height\":64,"
                              "\"encoding\":\"base64\",\"compression\":\"zlib\",\"data\":"
                              "\"bm90IHpsaWI=\"}";
    writeFile("ahead.tmj", "{\"type\":\"map\",\"width\":64,\"height\":64,\"tilewidth\":8,"
                           "\"tileheight\":8,\"tilesets\":[],\"layers\":[" +
                               layer + ",{\"type\":\"group\",\"layers\":[" + layer + "]}]}");
    EXPECT_EQ(mapError("ahead.tmj"),
              "ahead.tmj: the layers' cells need 24576 bytes more, beyond the limit of " +
                  std::to_string(limits.mapMemory) + " bytes (TrelLoadLimits::mapMemory)");
    // Fault: a tile animation was copied for every tinted copy of the tiles (and every flip),
    // none of it counted, until memory ran out outside the guarded part of the load. The
    // copies are counted first: 40 tints of 4000 frames are refused in one line.
    std::string frames, tinted;
    for (int i = 0; i < 4000; ++i)
        frames += "<frame tileid=\"0\" duration=\"10\"/>";
    for (int i = 0; i < 40; ++i)
        tinted += "<layer name=\"l\" width=\"1\" height=\"1\" tintcolor=\"#" +
                  std::to_string(100000 + i) + "\"><data encoding=\"csv\">1</data></layer>\n";
    writeFile(
        "animated.tmx",
        tmx(1, 1,
            oneTileSheet("<tile id=\"0\"><animation>" + frames + "</animation></tile>") + tinted));
    limits.mapMemory = 1 << 20;
    TrelLoadLimits::set(limits);
    EXPECT_NE(mapError("animated.tmx").find("animated.tmx: the tiles' animations need "),
              std::string::npos)
        << mapError("animated.tmx");
    // 4096 tiles of 64 pixels, the 512 x 512 sheet and one flipped tile, at 4 bytes a pixel.
    limits.mapMemory = 512 * 1024;
    TrelLoadLimits::set(limits);
    EXPECT_EQ(mapError("flips.tmx"), "flips.tmx: the tile images and frames need 2097408 bytes "
                                     "more, beyond the limit of 524288 bytes "
                                     "(TrelLoadLimits::mapMemory)");
    // A tile image larger than the map declares is counted as it is decoded.
    writeFile("liar.tmx", tmx(1, 1,
                              "<tileset firstgid=\"1\" name=\"s\" tilewidth=\"8\" "
                              "tileheight=\"8\"><tile id=\"0\"><image source=\"big.png\" "
                              "width=\"8\" height=\"8\"/></tile></tileset>\n" +
                                  csvLayer(1, 1, 1)));
    EXPECT_EQ(mapError("liar.tmx"), "liar.tmx: the tile images and frames go beyond the limit of "
                                    "524288 bytes (TrelLoadLimits::mapMemory)");
    limits.mapMemory = 1 << 20;
    TrelLoadLimits::set(limits);
    EXPECT_NE(mapError("nested.tmj.gz").find("nested.tmj.gz: the file's JSON values need 1048"),
              std::string::npos);
    limits = TrelLoadLimits();
    limits.mapInput = readFile("nested.tmj.gz").size() + 10;
    TrelLoadLimits::set(limits);
    EXPECT_EQ(mapError("nested.tmj.gz"), "nested.tmj.gz: the file inflates beyond the limit of " +
                                             std::to_string(limits.mapInput) +
                                             " bytes (TrelLoadLimits::mapInput)");
}

TEST_F(StrangerFiles, AFileThatManyTilesetsNameIsReadAndDecodedOnce) {
    writeSquarePng("big.png", 256);
    writeFile("one.tsx", "<tileset name=\"one\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"1\" "
                         "columns=\"1\"><image source=\"big.png\" width=\"256\" "
                         "height=\"256\"/></tileset>\n");
    std::string sets;
    for (int i = 1; i <= 300; ++i)
        sets += "<tileset firstgid=\"" + std::to_string(i) + "\" source=\"one.tsx\"/>\n";
    writeFile("shared.tmx", tmx(1, 1, sets + csvLayer(1, 1, 300)));
    // Read 300 times, the tileset would pass the input limit, and decoded 300 times, the
    // image the memory limit.
    TrelLoadLimits limits;
    limits.mapInput = readFile("shared.tmx").size() + 2 * readFile("one.tsx").size();
    limits.mapMemory = 2 * 256 * 256 * 4;
    TrelLoadLimits::set(limits);
    EXPECT_EQ(mapError("shared.tmx"), "");
    // One byte short of reading it even once.
    const std::size_t tileset = readFile("one.tsx").size();
    limits.mapInput = readFile("shared.tmx").size() + tileset - 1;
    TrelLoadLimits::set(limits);
    EXPECT_EQ(mapError("shared.tmx"),
              "shared.tmx:2: tileset \"one.tsx\" is " + std::to_string(tileset) +
                  " bytes, beyond the " + std::to_string(tileset - 1) +
                  " bytes left of the limit of " + std::to_string(limits.mapInput) +
                  " bytes (TrelLoadLimits::mapInput)");
}

TEST_F(StrangerFiles, NamesThatHoldLineBreaksStayOnOneLine) {
    writeFile("odd.tmj", "{\"type\":\"map\",\"orientation\":\"orthogonal\",\"width\":1,"
                         "\"height\":1,\"tilewidth\":8,\"tileheight\":8,\"layers\":[],"
                         "\"tilesets\":[{\"firstgid\":1,\"source\":\"a\\nfake line.tsx\"}]}");
    EXPECT_EQ(mapError("odd.tmj"), "odd.tmj: tileset \"a\\nfake line.tsx\" not found");
    EXPECT_EQ(imageError("x\nLog: fake.png"),
              "Image file \"x\\nLog: fake.png\" cannot be read: No such file or directory.");
    writeFile("line\nbreak.tmx", "not a map");
    EXPECT_EQ(mapError("line\nbreak.tmx"),
              "line\\nbreak.tmx: this is not a Tiled map (neither XML nor JSON)");
}

TEST_F(StrangerFiles, APlayersMapReachesNothingOutsideItsFolder) {
    ASSERT_EQ(mkdir("level", 0700), 0);
    writeSquarePng("secret.png", 8);
    writeFile("outside.tsx", "<tileset name=\"o\" tilewidth=\"8\" tileheight=\"8\"><image "
                             "source=\"" +
                                 dir + "/secret.png\" width=\"8\" height=\"8\"/></tileset>\n");
    ASSERT_EQ(symlink((dir + "/outside.tsx").c_str(), "level/link.tsx"), 0);
    ASSERT_EQ(mkdir("level/art", 0700), 0);
    const std::string layer = csvLayer(1, 1, 1);
    const std::vector<std::string> sources = {"../outside.tsx", dir + "/outside.tsx", "link.tsx",
                                              "art/../../outside.tsx", "../missing.tsx"};
    for (const std::string& source : sources) {
        writeFile("level/map.tmx",
                  tmx(1, 1, "<tileset firstgid=\"1\" source=\"" + source + "\"/>\n" + layer));
        bool missing = source == "../missing.tsx";
        EXPECT_EQ(mapError("level/map.tmx", false).empty(), !missing) << source;
        EXPECT_EQ(mapError("level/map.tmx", true),
                  "level/map.tmx:2: tileset \"" + source + "\" not found");
    }
    // Even a path that names a file inside the folder is refused when it is absolute.
    writeSquarePng("level/inside.png", 8);
    writeFile("level/absolute.tmx",
              tmx(1, 1, sheetTileset(1, dir + "/level/inside.png", 8) + layer));
    EXPECT_EQ(mapError(dir + "/level/absolute.tmx", false), "");
    EXPECT_EQ(mapError(dir + "/level/absolute.tmx", true),
              dir + "/level/absolute.tmx: Image file \"" + dir +
                  "/level/inside.png\" cannot be read: No such file or directory.");
    writeFile("level/sheet.tmx", tmx(1, 1, sheetTileset(1, "../secret.png", 8) + layer));
    EXPECT_EQ(mapError("level/sheet.tmx", true),
              "level/sheet.tmx: Image file \"level/../secret.png\" cannot be read: No such file "
              "or directory.");
    writeSquarePng("level/art/own.png", 8);
    writeFile("level/own.tmx", tmx(1, 1, sheetTileset(1, "art/../art/own.png", 8) + layer));
    EXPECT_EQ(mapError("level/own.tmx", true), "");
}

TEST_F(StrangerFiles, SizesNearTheLimitsOfAnIntNeitherOverflowNorCrash) {
    // Fault: tileWidth + spacing and the tile offset overflowed int while the frames were cut.
    writeSquarePng("t.png", 8);
    writeFile("spaced.tmx", tmx(1, 1,
                                sheetTileset(1, "t.png", 8,
                                             " spacing=\"2147483000\" margin=\"2147483000\" "
                                             "tilecount=\"2\" columns=\"2\"") +
                                    csvLayer(1, 1, 2)));
    EXPECT_EQ(mapError("spaced.tmx"), "");
    writeFile("offset.tmx",
              tmx(1, 1,
                  "<tileset firstgid=\"1\" name=\"s\" tilewidth=\"8\" tileheight=\"8\">"
                  "<tileoffset x=\"0\" y=\"2147483647\"/><image source=\"t.png\" width=\"8\" "
                  "height=\"8\"/></tileset>\n" +
                      csvLayer(1, 1, 1)));
    EXPECT_EQ(mapError("offset.tmx"),
              "offset.tmx: tileset \"s\" has a tile offset beyond 65536 pixels");
    // A tile of a 32768 x 1 image, and the same tile flipped.
    BITMAP* strip = create_bitmap_ex(24, 32768, 1);
    clear_to_color(strip, makecol24(200, 0, 0));
    ASSERT_EQ(save_bitmap("strip.png", strip, nullptr), 0);
    destroy_bitmap(strip);
    writeFile("strip.tmx", tmx(2, 1,
                               "<tileset firstgid=\"1\" name=\"s\" tilewidth=\"8\" "
                               "tileheight=\"8\"><tile id=\"0\"><image "
                               "source=\"strip.png\"/></tile></tileset>\n<layer name=\"l\" "
                               "width=\"2\" height=\"1\"><data "
                               "encoding=\"csv\">1,2147483649</data></layer>\n"));
    EXPECT_EQ(mapError("strip.tmx"), "");
    // Fault: a sheet's tile with an image of its own, its id past the sheet's tiles, was
    // counted at that id, past the end of the table (ASan saw the write).
    writeFile("beyond.tmx",
              tmx(1, 1,
                  oneTileSheet("<tile id=\"30000\"><image source=\"t.png\"/></tile>") +
                      csvLayer(1, 1, 1)));
    EXPECT_EQ(mapError("beyond.tmx"), "");
    // Fault: a collision polygon reaching 1e300 pixels converted -inf and +inf to int (the
    // sanitizer build's float-cast check sees it); it covers the whole cell.
    writeFile(
        "far.tmx",
        tmx(1, 1,
            oneTileSheet("<tile id=\"0\"><objectgroup><object id=\"1\" x=\"0\" y=\"0\"><polygon "
                         "points=\"-1,-1e300 9,-1e300 9,1e300 -1,1e300\"/></object>"
                         "</objectgroup></tile>") +
                csvLayer(1, 1, 1)));
    TrelTiledMap far;
    ASSERT_TRUE(far.load("far.tmx")) << far.getError();
    TrelTileShapes shapes(8, 8);
    shapes.readMap(far, nullptr);
    int top = -1, bottom = -1;
    shapes.getRun(1, 4, top, bottom);
    EXPECT_EQ(top * 10 + bottom, 8);
}

TEST_F(StrangerFiles, HugeCountsOfLayersTilesetsAndCellsLoadOrAreRefusedInTime) {
    // 150,000 one-cell layers: an error line used to be counted from the file's start each.
    std::string layers;
    for (int i = 0; i < 150000; ++i)
        layers += "<layer name=\"l\" width=\"1\" height=\"1\"><data encoding=\"csv\">0</data>"
                  "</layer>\n";
    writeFile("layers.tmx", tmx(1, 1, layers));
    TrelTiledMap map;
    EXPECT_TRUE(map.load("layers.tmx")) << map.getError();
    // 32,767 tilesets over 16 million cells: each cell's tileset used to be searched for.
    std::string sets;
    for (int i = 1; i <= 32767; ++i)
        sets += "<tileset firstgid=\"" + std::to_string(i) +
                "\" name=\"s\" tilewidth=\"8\" tileheight=\"8\"><tile id=\"0\"><image "
                "source=\"t.png\" width=\"8\" height=\"8\"/></tile></tileset>\n";
    std::vector<std::uint32_t> gids(4000u * 4000u);
    for (std::size_t i = 0; i < gids.size(); ++i)
        gids[i] = static_cast<std::uint32_t>(i % 32767 + 1);
    writeFile("sets.tmx", tmx(4000, 4000,
                              sets +
                                  "<layer name=\"l\" width=\"4000\" "
                                  "height=\"4000\"><data encoding=\"base64\" "
                                  "compression=\"zstd\">" +
                                  encodeGids(gids, "base64", "zstd") + "</data></layer>\n"));
    EXPECT_TRUE(map.load("sets.tmx")) << map.getError();
    // 200 layers of 4000 x 4000: 4 GB once, now refused at the first layer past the limit.
    std::string big = "<layer name=\"l\" width=\"4000\" height=\"4000\"><data encoding=\"base64\" "
                      "compression=\"zstd\">" +
                      encodeGids(std::vector<std::uint32_t>(4000u * 4000u), "base64", "zstd") +
                      "</data></layer>\n";
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += big;
    writeFile("deep.tmx", tmx(4000, 4000, many));
    EXPECT_FALSE(map.load("deep.tmx"));
    EXPECT_NE(std::string(map.getError()).find(": the layers' cells need 96000000 bytes more"),
              std::string::npos)
        << map.getError();
    // 400 solid tiles of 4096 x 4096 pixels: each one's collision shape was built from a mask
    // of its pixels (about 43 s); a solid tile needs none. A tile's polygon of 100,000 points
    // is more than the shapes take: it is left out, with a warning, instead of being walked
    // by every column.
    std::string solid;
    for (int i = 0; i < 400; ++i)
        solid += "<tile id=\"" + std::to_string(i) + "\" type=\"solid\"/>";
    std::string points = "0,0";
    for (int i = 1; i < 100000; ++i)
        points += " " + std::to_string(i % 64) + "," + std::to_string(i * 7 % 64);
    writeFile("solid.tmx",
              "<map orientation=\"orthogonal\" width=\"1\" height=\"1\" tilewidth=\"4096\" "
              "tileheight=\"4096\">\n<tileset firstgid=\"1\" name=\"s\" tilewidth=\"4096\" "
              "tileheight=\"4096\">" +
                  solid +
                  "<tile id=\"400\"><objectgroup><object id=\"1\" x=\"0\" y=\"0\"><polygon "
                  "points=\"" +
                  points +
                  "\"/></object></objectgroup></tile></tileset>\n<layer name=\"l\" width=\"1\" "
                  "height=\"1\"><data encoding=\"csv\">2147483649</data></layer>\n</map>\n");
    ASSERT_TRUE(map.load("solid.tmx")) << map.getError();
    {
        TrelSystem system;
        TrelTileShapes shapes(4096, 4096);
        shapes.readMap(map, &system);
        EXPECT_EQ(shapes.getKind(map.getCellValue(400)), TrelTileShapes::kSolid);
        EXPECT_EQ(shapes.getKind(map.getCellValue(2147483649u)), TrelTileShapes::kSolid);
        EXPECT_EQ(shapes.getKind(map.getCellValue(401)), TrelTileShapes::kNone);
    }
    EXPECT_NE(readLog().find("has tile collision shapes too large to build (more than 4096 points"),
              std::string::npos);
    // A sprite sheet of 200,000 frames in a hash: each key was looked for among those before.
    writeSquarePng("t.png", 8);
    std::string hash = "{\"frames\": {";
    for (int i = 0; i < 200000; ++i)
        hash += (i ? ",\"f" : "\"f") + std::to_string(i) +
                "\": {\"frame\": {\"x\": 0, \"y\": 0, \"w\": 1, \"h\": 1}, \"spriteSourceSize\": "
                "{\"x\": 0, \"y\": 0, \"w\": 1, \"h\": 1}, \"sourceSize\": {\"w\": 1, \"h\": 1}, "
                "\"duration\": 10}";
    writeFile("hash.json", hash + "}, \"meta\": {\"image\": \"t.png\"}}");
    TrelResource frames;
    TrelAsepriteSheet sheet;
    EXPECT_TRUE(sheet.load("hash.json", &frames, 60)) << sheet.getError();
    EXPECT_EQ(frames.getSize(), 200000);
}

} // namespace
