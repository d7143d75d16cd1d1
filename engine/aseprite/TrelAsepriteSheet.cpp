#include "aseprite/TrelAsepriteSheet.h"

#include <allegro.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "anim/TrelAnimation.h"
#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"
#include "image/TrelImageFile.h"

namespace {

// Ordered, so that a hash of frames keeps the file's order.
using Json = nlohmann::ordered_json;

// The largest frame side taken, as for a tile.
const int kMaxSide = 4096;
// The deepest nesting of objects and arrays taken; Aseprite writes five levels.
const int kMaxNesting = 32;

// Builds a document as nlohmann's parser does, except that each key of an object is added at
// its end in constant time: the parser's own search of an ordered object makes a hash of n
// frames take n² steps. A repeated key replaces the value, as with the parser. Objects and
// arrays nested deeper than kMaxNesting end the parse, with tooDeep set.
class OrderedBuilder : public nlohmann::json_sax<Json> {
public:
    explicit OrderedBuilder(Json& document) : root(document) {}

    bool null() override { return add(Json()); }
    bool boolean(bool value) override { return add(Json(value)); }
    bool number_integer(number_integer_t value) override { return add(Json(value)); }
    bool number_unsigned(number_unsigned_t value) override { return add(Json(value)); }
    bool number_float(number_float_t value, const string_t&) override { return add(Json(value)); }
    bool string(string_t& value) override { return add(Json(std::move(value))); }
    bool binary(binary_t& value) override { return add(Json::binary(std::move(value))); }
    bool start_object(std::size_t) override { return open(Json::object()); }
    bool key(string_t& name) override {
        pendingKey = std::move(name);
        return true;
    }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(Json::array()); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const Json::exception& e) override {
        error = e.what();
        return false;
    }

    std::string error; // the parser's, when it stopped at a syntax error
    bool tooDeep = false;

private:
    struct Open {
        Json* value;
        std::unordered_map<std::string, std::size_t> keys; // an object's, by place
    };
    using Members = std::vector<std::pair<const std::string, Json>>; // an ordered object's base

    // Puts the value where the parser is: the root, the end of the innermost array, or the
    // member whose key came last; returns where it went.
    Json* place(Json&& value) {
        if (nest.empty()) {
            root = std::move(value);
            return &root;
        }
        Open& inner = nest.back();
        if (inner.value->is_array()) {
            inner.value->push_back(std::move(value));
            return &inner.value->back();
        }
        Members& members = *inner.value->get_ptr<Json::object_t*>();
        auto known = inner.keys.find(pendingKey);
        if (known != inner.keys.end()) {
            members[known->second].second = std::move(value);
            return &members[known->second].second;
        }
        inner.keys.emplace(pendingKey, members.size());
        members.emplace_back(std::move(pendingKey), std::move(value));
        return &members.back().second;
    }
    bool add(Json&& value) {
        place(std::move(value));
        return true;
    }
    // The container stays where it was placed while it is open: its parent gains no member
    // until it is closed.
    bool open(Json&& value) {
        tooDeep = nest.size() >= static_cast<std::size_t>(kMaxNesting);
        if (tooDeep)
            return false;
        nest.push_back({place(std::move(value)), {}});
        return true;
    }
    bool close() {
        nest.pop_back();
        return true;
    }

    Json& root;
    std::vector<Open> nest;
    std::string pendingKey;
};

struct Frame {
    int x = 0, y = 0, w = 0, h = 0; // where it lies in the image
    int left = 0, top = 0;          // where that piece goes in the source frame
    int sourceW = 0, sourceH = 0;
    int ms = 0;
};

struct Tag {
    std::string name;
    int from = 0, to = 0;
    TrelAnimation::Mode mode = TrelAnimation::kLoop;
    TrelAnimation::Direction direction = TrelAnimation::kForward;
    int passes = 0;
};

// Reads the checked parts of a parsed sheet; the first fault is kept in problem.
struct Reader {
    std::string problem;

    bool fail(const std::string& what) {
        problem = what;
        return false;
    }
    // A string's text, a boolean or whole number as JSON writes it, "" when absent, and the
    // kind of anything else ("array", "object"), for the values compared as they are written.
    static std::string text(const Json& o, const char* key) {
        auto it = o.find(key);
        if (it == o.end())
            return "";
        if (it->is_string())
            return it->get<std::string>();
        if (it->is_boolean())
            return it->get<bool>() ? "true" : "false";
        if (it->is_number_integer())
            return std::to_string(it->get<long long>());
        return it->type_name();
    }
    bool integer(const Json& o, const char* key, int& out, int low, int high,
                 const std::string& where) {
        auto it = o.find(key);
        if (it == o.end() || !it->is_number_integer())
            return fail(where + " has no whole number \"" + key + "\"");
        const long long value = it->get<long long>();
        if (value < low || value > high)
            return fail(where + " has \"" + key + "\" " + std::to_string(value) + ", outside " +
                        std::to_string(low) + " to " + std::to_string(high));
        out = static_cast<int>(value);
        return true;
    }
    bool object(const Json& o, const char* key, const Json*& out, const std::string& where) {
        auto it = o.find(key);
        if (it == o.end() || !it->is_object())
            return fail(where + " has no object \"" + key + "\"");
        out = &*it;
        return true;
    }

    bool frame(const Json& f, const std::string& where, Frame& out) {
        const Json *cut, *placed, *source;
        if (!f.is_object())
            return fail(where + " is not an object");
        if (text(f, "rotated") != "false" && text(f, "rotated") != "")
            return fail(where + " is rotated, which Aseprite never does: not supported");
        if (!object(f, "frame", cut, where) || !object(f, "spriteSourceSize", placed, where) ||
            !object(f, "sourceSize", source, where) ||
            !integer(*cut, "x", out.x, 0, 1 << 30, where) ||
            !integer(*cut, "y", out.y, 0, 1 << 30, where) ||
            !integer(*cut, "w", out.w, 1, kMaxSide, where) ||
            !integer(*cut, "h", out.h, 1, kMaxSide, where) ||
            !integer(*placed, "x", out.left, 0, kMaxSide, where) ||
            !integer(*placed, "y", out.top, 0, kMaxSide, where) ||
            !integer(*source, "w", out.sourceW, 1, kMaxSide, where) ||
            !integer(*source, "h", out.sourceH, 1, kMaxSide, where) ||
            !integer(f, "duration", out.ms, 0, 1 << 30, where))
            return false;
        if (out.left + out.w > out.sourceW || out.top + out.h > out.sourceH)
            return fail(where + " is placed beyond its source size");
        return true;
    }

    bool frames(const Json& root, std::vector<Frame>& out) {
        auto list = root.find("frames");
        if (list == root.end() || !(list->is_array() || list->is_object()))
            return fail("it has no \"frames\" array or hash");
        if (list->empty())
            return fail("it has no frames");
        for (auto it = list->begin(); it != list->end(); ++it) {
            std::string where = "frame " + std::to_string(out.size());
            if (list->is_object())
                where += " (" + TrelFileBytes::quoted(it.key()) + ")";
            out.emplace_back();
            if (!frame(it.value(), where, out.back()))
                return false;
        }
        return true;
    }

    bool tag(const Json& t, int count, Tag& out) {
        const std::string where = "a tag";
        if (!t.is_object() || !t.contains("name") || !t["name"].is_string())
            return fail(where + " has no name");
        out.name = t["name"].get<std::string>();
        const std::string named = "tag " + TrelFileBytes::quoted(out.name);
        if (!integer(t, "from", out.from, 0, count - 1, named) ||
            !integer(t, "to", out.to, out.from, count - 1, named))
            return false;
        const std::string direction = t.contains("direction") ? text(t, "direction") : "forward";
        if (direction == "reverse" || direction == "pingpong_reverse")
            out.direction = TrelAnimation::kReverse;
        else if (direction != "forward" && direction != "pingpong")
            return fail(named + " has direction " + TrelFileBytes::quoted(direction) +
                        ", not forward, reverse, pingpong or pingpong_reverse");
        if (direction.compare(0, 8, "pingpong") == 0)
            out.mode = TrelAnimation::kPingPong;
        return repeat(t, named, out.passes);
    }

    // Aseprite writes the repeat count as a string; a number is taken too.
    bool repeat(const Json& t, const std::string& named, int& passes) {
        auto it = t.find("repeat");
        if (it == t.end())
            return true;
        const std::string count = text(t, "repeat");
        char* end = nullptr;
        long value = std::strtol(count.c_str(), &end, 10);
        if (count.empty() || *end != '\0' || value < 0 || value > 1000000)
            return fail(named + " has repeat " +
                        (it->is_string() ? TrelFileBytes::quoted(count) : count) + ", not a count");
        passes = static_cast<int>(value);
        return true;
    }

    bool tags(const Json& meta, int count, std::vector<Tag>& out) {
        auto list = meta.find("frameTags");
        if (list == meta.end())
            return true;
        if (!list->is_array())
            return fail("its \"frameTags\" is not an array");
        for (const Json& t : *list) {
            out.emplace_back();
            if (!tag(t, count, out.back()))
                return false;
        }
        return true;
    }
};

// The image's path: relative to the sheet's folder, and inside it.
bool imagePath(const std::string& sheet, const std::string& image, std::string& path) {
    if (image.empty() || image[0] == '/')
        return false;
    std::size_t start = 0;
    while (start <= image.size()) {
        std::size_t end = image.find('/', start);
        if (end == std::string::npos)
            end = image.size();
        if (image.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    std::size_t slash = sheet.rfind('/');
    path = (slash == std::string::npos ? std::string() : sheet.substr(0, slash + 1)) + image;
    const std::string folder = slash == std::string::npos ? std::string()
                               : slash == 0               ? std::string("/")
                                                          : sheet.substr(0, slash);
    // A link in the folder may point outside it; a missing file is reported as missing.
    struct stat info;
    return stat(path.c_str(), &info) != 0 || TrelFileBytes::reallyInside(path, folder);
}

} // namespace

namespace {

// The parsed sheet within the memory limit (the text, and about 64 bytes for each value) and
// the nesting limit, which keeps every walk of the values shallow.
bool parse(const std::string& text, Json& root, std::string& problem) {
    const unsigned long long values = std::count_if(text.begin(), text.end(), [](char c) {
        return c == ',' || c == '{' || c == '[' || c == ':';
    });
    const TrelFileBytes::Limit limit{TrelLoadLimits::get().mapMemory, "mapMemory"};
    if (text.size() + values * 64 > limit.bytes) {
        problem = "its JSON values go " + TrelFileBytes::beyond(limit);
        return false;
    }
    OrderedBuilder builder(root);
    bool parsed;
    try {
        parsed = Json::sax_parse(text, &builder);
    } catch (const Json::exception& e) {
        builder.error = e.what();
        parsed = false;
    }
    if (!parsed) {
        problem = builder.tooDeep
                      ? "its JSON nests deeper than " + std::to_string(kMaxNesting) + " levels"
                      : "is not JSON: " + builder.error;
        return false;
    }
    if (!root.is_object()) {
        problem = "is not an Aseprite sheet: its JSON is not an object";
        return false;
    }
    return true;
}

// The frames cut from the image and put back at their place in their source frames.
bool cut(BITMAP* image, const std::vector<Frame>& frames, std::vector<TrelISprite*>& out,
         std::string& problem) {
    unsigned long long bytes = 0;
    for (const Frame& f : frames)
        bytes += static_cast<unsigned long long>(f.sourceW) * f.sourceH * 4;
    const TrelFileBytes::Limit limit{TrelLoadLimits::get().mapMemory, "mapMemory"};
    if (bytes > limit.bytes) {
        problem = "its frames go " + TrelFileBytes::beyond(limit);
        return false;
    }
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        if (static_cast<long long>(f.x) + f.w > image->w ||
            static_cast<long long>(f.y) + f.h > image->h) {
            problem = "frame " + std::to_string(i) + " reaches beyond its image, which is " +
                      std::to_string(image->w) + " x " + std::to_string(image->h);
            return false;
        }
        BITMAP* bitmap = create_bitmap_ex(bitmap_color_depth(image), f.sourceW, f.sourceH);
        if (bitmap == nullptr) {
            problem = "there is no memory for its frames";
            return false;
        }
        clear_to_color(bitmap, bitmap_mask_color(bitmap));
        blit(image, bitmap, f.x, f.y, f.left, f.top, f.w, f.h);
        out.push_back(new TrelISprite(bitmap));
    }
    return true;
}

// What the sheet's animations take, counted before any is built: the whole sheet's, then
// each tag's, whose span may be every frame.
unsigned long long animationBytes(const std::vector<Frame>& frames, const std::vector<Tag>& tags) {
    const unsigned long long perAnimation = sizeof(TrelAnimation) + 64, perFrame = 16;
    unsigned long long bytes = perAnimation + frames.size() * perFrame;
    for (const Tag& tag : tags)
        bytes += perAnimation + tag.name.size() +
                 static_cast<unsigned long long>(tag.to - tag.from + 1) * perFrame;
    return bytes;
}

TrelAnimation* animation(const char* name, const std::vector<TrelISprite*>& sprites,
                         const std::vector<Frame>& frames, int from, int to, int framerate) {
    auto* made = new TrelAnimation(name);
    for (int i = from; i <= to; ++i)
        made->addFrameMs(sprites[static_cast<std::size_t>(i)],
                         frames[static_cast<std::size_t>(i)].ms, framerate);
    return made;
}

// load's work, which may run out of memory: false with problem set to what follows the
// sheet's name in the error.
bool read(const std::string& name, TrelResource* into, int framerate, std::string& problem) {
    std::string text;
    Json root;
    if (!TrelFileBytes::read(name, {TrelLoadLimits::get().mapInput, "mapInput"}, text, problem) ||
        !parse(text, root, problem)) {
        problem = (problem.rfind("is ", 0) == 0 ? " " : ": ") + problem;
        return false;
    }
    Reader reader;
    std::vector<Frame> frames;
    std::vector<Tag> tags;
    const Json* meta = nullptr;
    if (!reader.frames(root, frames) || !reader.object(root, "meta", meta, "it") ||
        !reader.tags(*meta, static_cast<int>(frames.size()), tags)) {
        problem = ": " + reader.problem;
        return false;
    }
    const TrelFileBytes::Limit limit{TrelLoadLimits::get().mapMemory, "mapMemory"};
    if (animationBytes(frames, tags) > limit.bytes) {
        problem = ": its animations go " + TrelFileBytes::beyond(limit);
        return false;
    }
    const std::string image = Reader::text(*meta, "image");
    std::string path;
    if (!imagePath(name, image, path)) {
        problem = ": its image " + TrelFileBytes::quoted(image) +
                  " is not a file name inside the sheet's folder";
        return false;
    }
    TrelISprite sheet(path.c_str());
    if (sheet.bitmap == nullptr) {
        problem = ": " + TrelImageFile::loadFailure(path.c_str());
        return false;
    }
    std::vector<TrelISprite*> sprites;
    if (!cut(sheet.bitmap, frames, sprites, problem)) {
        for (TrelISprite* sprite : sprites)
            delete sprite;
        problem = ": " + problem;
        return false;
    }
    // Built apart, so that running out of memory leaves the resource as it was.
    std::vector<std::unique_ptr<TrelISprite>> owned(sprites.begin(), sprites.end());
    std::vector<std::unique_ptr<TrelAnimation>> made;
    made.reserve(tags.size() + 1);
    const int last = static_cast<int>(frames.size()) - 1;
    made.emplace_back(animation("", sprites, frames, 0, last, framerate));
    for (const Tag& tag : tags) {
        made.emplace_back(
            animation(tag.name.c_str(), sprites, frames, tag.from, tag.to, framerate));
        made.back()->setMode(tag.mode);
        made.back()->setDirection(tag.direction);
        made.back()->setPasses(tag.passes);
    }
    into->frames.reserve(into->frames.size() + sprites.size());
    for (std::unique_ptr<TrelISprite>& sprite : owned)
        into->frames.push_back(sprite.release());
    for (std::unique_ptr<TrelAnimation>& animation : made) {
        into->addAnimation(animation.get());
        animation.release(); // the resource's now
    }
    return true;
}

} // namespace

bool TrelAsepriteSheet::load(const char* file, TrelResource* into, int framerate) {
    const std::string name = file != nullptr ? file : "";
    std::string problem;
    bool loaded;
    try {
        loaded = into != nullptr ? read(name, into, framerate, problem) : false;
        if (into == nullptr)
            problem = ": no resource was given to load it into";
    } catch (const std::bad_alloc&) {
        loaded = false;
        problem = ": there is no memory for it";
    }
    error.set(loaded ? "" : ("Sprite sheet " + TrelFileBytes::quoted(name) + problem).c_str());
    return loaded;
}
