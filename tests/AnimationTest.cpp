#include <allegro.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "WorldSupport.h"
#include "base/TrelLoadLimits.h"

namespace {

int colourOf(int i) {
    return makecol(40 * i, 255 - 30 * i, 90 + 20 * i);
}

// A sheet of columns x rows frames of w x h pixels, margin pixels from its edges and spacing
// apart: frame i is colourOf(i) with a white top-left pixel.
void writeSheet(const char* name, int w, int h, int columns, int rows, int margin, int spacing) {
    BITMAP* sheet = create_bitmap_ex(24, 2 * margin + columns * (w + spacing) - spacing,
                                     2 * margin + rows * (h + spacing) - spacing);
    clear_bitmap(sheet);
    for (int i = 0; i < columns * rows; ++i) {
        int x = margin + i % columns * (w + spacing), y = margin + i / columns * (h + spacing);
        int c = colourOf(i);
        rectfill(sheet, x, y, x + w - 1, y + h - 1, makecol24(getr(c), getg(c), getb(c)));
        putpixel(sheet, x, y, makecol24(255, 255, 255));
    }
    save_bitmap(name, sheet, nullptr);
    destroy_bitmap(sheet);
}

// Three frames, a (2 ticks), b (1) and c (3), as letters, one per tick from play() on.
std::string played(TrelAnimation::Mode mode, TrelAnimation::Direction direction, int passes,
                   std::string* events = nullptr) {
    static TrelISprite a(static_cast<BITMAP*>(nullptr)), b(static_cast<BITMAP*>(nullptr)),
        c(static_cast<BITMAP*>(nullptr));
    TrelAnimation animation("abc");
    animation.addFrame(&a, 2);
    animation.addFrame(&b, 1);
    animation.addFrame(&c, 3);
    animation.setMode(mode);
    animation.setDirection(direction);
    animation.setPasses(passes);
    TrelAnimator animator;
    animator.play(&animation);
    std::string shown;
    for (int tick = 0; tick < 14; ++tick) {
        if (tick > 0)
            animator.step();
        TrelISprite* s = animator.getSprite();
        shown += s == &a ? 'a' : s == &b ? 'b' : s == &c ? 'c' : '?';
        if (events)
            *events += animator.hasJustFinished() ? 'F' : animator.hasFrameChanged() ? '*' : '.';
    }
    return shown;
}

} // namespace

TEST(SpriteAnimations, FollowTheirFrameSequenceInEveryModeAndDirection) {
    using A = TrelAnimation;
    EXPECT_EQ(played(A::kLoop, A::kForward, 0), "aabcccaabcccaa");
    EXPECT_EQ(played(A::kLoop, A::kReverse, 0), "cccbaacccbaacc");
    EXPECT_EQ(played(A::kOnce, A::kForward, 0), "aabccccccccccc");
    EXPECT_EQ(played(A::kOnce, A::kReverse, 7), "cccbaaaaaaaaaa");
    EXPECT_EQ(played(A::kPingPong, A::kForward, 0), "aabcccbaabcccb");
    EXPECT_EQ(played(A::kPingPong, A::kReverse, 0), "cccbaabcccbaab");
    // Passes: two loops; three ping-pong passes (a b c, b a, b c).
    EXPECT_EQ(played(A::kLoop, A::kForward, 2), "aabcccaabccccc");
    EXPECT_EQ(played(A::kPingPong, A::kForward, 3), "aabcccbaabcccc");

    // What each tick reports: a new frame (*), the end (F), nothing (.).
    std::string events;
    played(A::kOnce, A::kForward, 0, &events);
    EXPECT_EQ(events, "*.**..F.......");
    events.clear();
    played(A::kLoop, A::kForward, 0, &events);
    EXPECT_EQ(events, "*.**..*.**..*.");

    EXPECT_EQ(A::ticksFromMs(100, 60), 6);
    EXPECT_EQ(A::ticksFromMs(25, 60), 2); // 1.5 ticks: halves go up
    EXPECT_EQ(A::ticksFromMs(24, 60), 1);
    EXPECT_EQ(A::ticksFromMs(0, 60), 1);
    EXPECT_EQ(A::ticksFromMs(100, 30), 3);
}

// An object shows its animation's frame from the tick it plays it, advanced before its hooks;
// playing it again does not restart it; the state hash sees the time spent on a frame.
TEST(SpriteAnimations, AnObjectShowsItsFrameFromTheTickItPlaysItAndTheHashSeesTheTime) {
    TrelSystem system;
    TrelZone* zone = new TrelZone(&system);
    zone->addLayer(4, 4, 16, 16);
    TrelLayer* layer = zone->getLayer(0);
    zone->process(); // the layer's first tick, which it sits out
    TrelISprite one(static_cast<BITMAP*>(nullptr)), two(static_cast<BITMAP*>(nullptr));
    TrelAnimation blink("blink");
    blink.addFrame(&one, 2);
    blink.addFrame(&two, 2);
    std::vector<std::string> journal;
    std::string seen;
    auto* object = new Recorder(layer, journal, "o");
    object->onPre = [&](Recorder& self) {
        self.play(&blink); // every tick: no restart
        seen += self.getSprite() == &one ? '1' : '2';
        if (self.getAnimator().hasFrameChanged())
            seen += '*';
    };
    object->play(&blink);
    EXPECT_EQ(object->getSprite(), &one);
    std::vector<std::uint64_t> hashes;
    for (int tick = 0; tick < 6; ++tick) {
        zone->process();
        hashes.push_back(zone->stateHash());
    }
    // Its first tick the object is new: its animation waits with it.
    EXPECT_EQ(seen, "12*21*1");
    EXPECT_NE(hashes[2], hashes[3]); // the same frame, a tick longer
    object->setFlipped(true, false);
    EXPECT_NE(zone->stateHash(), hashes.back());
    delete zone;
}

using SpriteSheets = InTempDir;

// A sheet cut as Tiled cuts one, and drawn mirrored each way about the object's centre.
TEST_F(SpriteSheets, CutByTileSizeMarginAndSpacingAndDrawnMirrored) {
    set_color_depth(16);
    writeSheet("sheet.bmp", 6, 4, 3, 2, 2, 1);
    TrelResource frames;
    ASSERT_EQ(frames.loadSheet("sheet.bmp", 6, 4, 2, 1), 6) << frames.getLoadError();
    for (int i = 0; i < 6; ++i) {
        BITMAP* b = frames.getData(static_cast<unsigned>(i))->bitmap;
        ASSERT_EQ(b->w, 6);
        EXPECT_EQ(getpixel(b, 1, 1), colourOf(i)) << i;
        EXPECT_EQ(getpixel(b, 0, 0), makecol(255, 255, 255)) << i; // its white corner
    }
    EXPECT_EQ(frames.loadSheet("sheet.bmp", 64, 64), 0);
    EXPECT_NE(std::string(frames.getLoadError()).find("too small for one frame of 64 x 64"),
              std::string::npos)
        << frames.getLoadError();
    EXPECT_EQ(frames.loadSheet("none.bmp", 6, 4), 0);
    EXPECT_EQ(frames.getSize(), 6);

    TrelSystem system;
    BITMAP* frame = create_bitmap(20, 20);
    ASSERT_TRUE(system.iface.initOnFrame(frame));
    auto* zone = new TrelZone(&system);
    zone->addLayer(1, 1, 20, 20);
    auto* object = new TrelObject(zone->getLayer(0), fix16(10), fix16(10), fix16(6), fix16(4));
    object->setSprite(frames.getData(0));
    const int white = makecol(255, 255, 255);
    const int corners[4][2] = {{7, 8}, {12, 8}, {7, 11}, {12, 11}};
    for (int flip = 0; flip < 4; ++flip) {
        object->setFlipped(flip & 1, flip & 2);
        clear_bitmap(frame);
        system.iface.gfx.drawZone(zone, 0, 0, 20, 20);
        EXPECT_EQ(getpixel(frame, corners[flip][0], corners[flip][1]), white) << "flip " << flip;
    }
    delete zone;
    system.iface.deinit();
    destroy_bitmap(frame);
}

namespace {

// An Aseprite sheet of three 8 x 8 frames, the last trimmed to the 4 x 4 at (2, 3) of its
// source frame, with three tags; frames as an array or as a hash.
std::string asepriteJson(bool hash, const std::string& tags) {
    const char* rects[3] = {"\"frame\": {\"x\": 0, \"y\": 0, \"w\": 8, \"h\": 8}, "
                            "\"spriteSourceSize\": {\"x\": 0, \"y\": 0, \"w\": 8, \"h\": 8}",
                            "\"frame\": {\"x\": 8, \"y\": 0, \"w\": 8, \"h\": 8}, "
                            "\"spriteSourceSize\": {\"x\": 0, \"y\": 0, \"w\": 8, \"h\": 8}",
                            "\"frame\": {\"x\": 16, \"y\": 0, \"w\": 4, \"h\": 4}, "
                            "\"spriteSourceSize\": {\"x\": 2, \"y\": 3, \"w\": 4, \"h\": 4}"};
    const int ms[3] = {100, 50, 17};
    std::string frames;
    for (int i = 0; i < 3; ++i) {
        // Names that sort otherwise than the file lists them.
        std::string entry =
            std::string("{") + rects[i] +
            ", \"rotated\": false, \"trimmed\": " + (i == 2 ? "true" : "false") +
            ", \"sourceSize\": {\"w\": 8, \"h\": 8}, \"duration\": " + std::to_string(ms[i]) + "}";
        std::string name = "\"moth " + std::to_string(9 - i) + ".aseprite\"";
        frames += (i ? ", " : "") + (hash ? name + ": " + entry : entry);
    }
    return "{\"frames\": " + std::string(hash ? "{" : "[") + frames + (hash ? "}" : "]") +
           ", \"meta\": {\"app\": \"https://www.aseprite.org/\", \"version\": \"1.3\", "
           "\"image\": \"moth.bmp\", \"size\": {\"w\": 24, \"h\": 8}, \"frameTags\": [" +
           tags + "]}}";
}

const char* const kTags =
    "{\"name\": \"fly\", \"from\": 0, \"to\": 2, \"direction\": \"forward\"},"
    "{\"name\": \"back\", \"from\": 1, \"to\": 2, \"direction\": \"reverse\", \"repeat\": \"2\"},"
    "{\"name\": \"bob\", \"from\": 0, \"to\": 2, \"direction\": \"pingpong_reverse\"}";

} // namespace

TEST_F(SpriteSheets, AsepriteSheetsInBothFormsGiveFramesAndTaggedAnimations) {
    set_color_depth(16);
    writeSheet("moth.bmp", 8, 8, 3, 1, 0, 0);
    for (bool hash : {false, true}) {
        writeFile("moth.json", asepriteJson(hash, kTags));
        TrelResource frames;
        TrelAsepriteSheet sheet;
        ASSERT_TRUE(sheet.load("moth.json", &frames, 60)) << sheet.getError();
        ASSERT_EQ(frames.getSize(), 3);
        BITMAP* trimmed = frames.getData(2)->bitmap;
        ASSERT_EQ(trimmed->w, 8);
        EXPECT_EQ(getpixel(trimmed, 2, 3), makecol(255, 255, 255)); // the piece's corner
        EXPECT_EQ(getpixel(trimmed, 5, 6), colourOf(2));
        EXPECT_EQ(getpixel(trimmed, 1, 1), bitmap_mask_color(trimmed));
        ASSERT_EQ(frames.getAnimationCount(), 4);
        const TrelAnimation* all = frames.findAnimation("");
        ASSERT_NE(all, nullptr);
        EXPECT_EQ(all->getFrameCount(), 3);
        EXPECT_EQ(all->getFrame(0).sprite, frames.getData(0)); // the file's order, not names'
        EXPECT_EQ(all->getLength(), 6 + 3 + 1);
        const TrelAnimation* back = frames.findAnimation("back");
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->getFrame(0).sprite, frames.getData(1));
        EXPECT_EQ(back->getDirection(), TrelAnimation::kReverse);
        EXPECT_EQ(back->getPasses(), 2);
        const TrelAnimation* bob = frames.findAnimation("bob");
        ASSERT_NE(bob, nullptr);
        EXPECT_EQ(bob->getMode(), TrelAnimation::kPingPong);
        EXPECT_EQ(bob->getDirection(), TrelAnimation::kReverse);
    }
}

TEST_F(SpriteSheets, BrokenAsepriteSheetsAreRefusedInOneLineWithNothingAdded) {
    set_color_depth(16);
    writeSheet("moth.bmp", 8, 8, 3, 1, 0, 0);
    const std::string good = asepriteJson(false, kTags);
    auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        text.replace(text.find(from), from.size(), to);
        return text;
    };
    const std::pair<std::string, std::string> cases[] = {
        {good.substr(0, good.size() / 2), "is not JSON"},
        {"[1, 2]", "its JSON is not an object"},
        {replaced("\"x\": 16", "\"x\": 22"), "frame 2 reaches beyond its image, which is 24 x 8"},
        {replaced("\"rotated\": false", "\"rotated\": true"), "frame 0 is rotated"},
        {replaced("\"to\": 2, \"direction\": \"forward\"", "\"to\": 3"),
         "tag \"fly\" has \"to\" 3"},
        {replaced("pingpong_reverse", "sideways"), "has direction \"sideways\""},
        {replaced("\"repeat\": \"2\"", "\"repeat\": \"two\""), "has repeat \"two\", not a count"},
        {replaced("moth.bmp", "../moth.bmp"), "is not a file name inside the sheet's folder"},
        {replaced("moth.bmp", "gone.bmp"), "gone.bmp"},
        {replaced("\"x\": 2, \"y\": 3", "\"x\": 6, \"y\": 3"), "is placed beyond its source size"},
        // Fault: values nested 10^5 deep were compared through their JSON text, whose
        // writing recursed until the stack ran out.
        {replaced("\"rotated\": false",
                  "\"rotated\": " + std::string(100000, '[') + std::string(100000, ']')),
         "\"bad.json\": its JSON nests deeper than 32 levels"},
        {replaced("\"rotated\": false", "\"rotated\": [[false]]"), "frame 0 is rotated"},
        {replaced("\"repeat\": \"2\"", "\"repeat\": {\"n\": 2}"), "has repeat object, not a count"},
    };
    for (const auto& c : cases) {
        writeFile("bad.json", c.first);
        TrelResource frames;
        TrelAsepriteSheet sheet;
        EXPECT_FALSE(sheet.load("bad.json", &frames, 60));
        const std::string error = sheet.getError();
        EXPECT_EQ(error.rfind("Sprite sheet \"bad.json\"", 0), 0u) << error;
        EXPECT_NE(error.find(c.second), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_EQ(frames.getSize(), 0);
        EXPECT_EQ(frames.getAnimationCount(), 0);
    }

    // Fault: the animations were built before they were counted, so 10^5 tags over 4096
    // frames took gigabytes before memory ran out, leaving what had been built in the resource.
    // They are counted first, against the same limit as the frames.
    std::string many = "{\"frames\": [", tags;
    for (int i = 0; i < 300; ++i) {
        many += std::string(i ? "," : "") +
                "{\"frame\": {\"x\": 0, \"y\": 0, \"w\": 8, \"h\": 8}, \"spriteSourceSize\": "
                "{\"x\": 0, \"y\": 0, \"w\": 8, \"h\": 8}, \"sourceSize\": {\"w\": 8, \"h\": 8}, "
                "\"duration\": 100}";
        tags += std::string(i ? "," : "") + "{\"name\": \"t\", \"from\": 0, \"to\": 299}";
    }
    writeFile("tagged.json",
              many + "], \"meta\": {\"image\": \"moth.bmp\", \"frameTags\": [" + tags + "]}}");
    TrelLoadLimits limits;
    limits.mapMemory = 1000000; // the JSON and the frames, not 300 tags of 300 frames
    TrelLoadLimits::set(limits);
    {
        TrelResource frames;
        TrelAsepriteSheet sheet;
        EXPECT_FALSE(sheet.load("tagged.json", &frames, 60));
        EXPECT_NE(
            std::string(sheet.getError()).find(": its animations go beyond the limit of 1000000"),
            std::string::npos)
            << sheet.getError();
        EXPECT_EQ(frames.getSize() + frames.getAnimationCount(), 0);
    }
    TrelLoadLimits::set(TrelLoadLimits());

    // Fault: a link in the sheet's folder was followed wherever it pointed. One that stays in
    // the folder is taken.
    ASSERT_EQ(mkdir("sheets", 0755), 0);
    writeSheet("sheets/moth.bmp", 8, 8, 3, 1, 0, 0);
    ASSERT_EQ(symlink("../moth.bmp", "sheets/escape.bmp"), 0);
    ASSERT_EQ(symlink("moth.bmp", "sheets/kept.bmp"), 0);
    for (const char* image : {"escape.bmp", "kept.bmp"}) {
        writeFile("sheets/linked.json", replaced("moth.bmp", image));
        TrelResource frames;
        TrelAsepriteSheet sheet;
        const bool inside = std::string(image) == "kept.bmp";
        EXPECT_EQ(sheet.load("sheets/linked.json", &frames, 60), inside) << sheet.getError();
        EXPECT_EQ(
            std::string(sheet.getError()).find("is not a file name inside the sheet's folder") !=
                std::string::npos,
            !inside);
    }
}
