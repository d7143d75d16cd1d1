#ifndef TREL_TILED_MAP_H
#define TREL_TILED_MAP_H

#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/TrelExport.h"

class TrelSystem;
class TrelZone;

// A map drawn in the Tiled editor: an orthogonal map read from a .tmx (XML) or .tmj/.json
// (JSON) file, either of them also gzip-compressed, with its tilesets (embedded, or external
// .tsx/.tsj files), tile layers, object groups and custom properties. load() only parses, so
// it needs neither a window nor Allegro; addToZone() turns the map into layers of a zone.
//
// Cells: the tiles of every tileset become the frames of one sprite resource in GID order, so
// cell value v shows frame v - 1, as for any layer. A flipped or rotated tile gets a frame of
// its own, made once after the tiles. A tile image is drawn where Tiled draws it, anchored at
// its cell's bottom-left corner plus the tileset's tile offset.
//
// Tile animations are drawn as Tiled draws them, flipped and rotated cells included (see
// TrelTileAnimation), and each animated tile also becomes a TrelAnimation of the map's tile
// resource that an object can play (see addToZone).
//
// Layers are drawn as Tiled draws them: their opacity, offsets, parallax factors and tint
// colours (a group's combined with its layers'), image layers, infinite maps, and on request
// tile objects. What the engine does not show is logged by addToZone, one warning per
// feature: a render order other than right-down (drawn right-down), object templates
// (objects keep only what the map itself sets), class-typed custom properties (read with
// empty values) and, for tile objects, an object layer's opacity (drawn opaque) and a tile's
// animation (drawn still, as its first frame).
class TREL_API TrelTiledMap {
public:
    // A custom property. The value is kept as Tiled writes it: "true"/"false" for a bool, a
    // decimal number, "#aarrggbb" for a colour, a path for a file.
    struct Property {
        std::string name;
        std::string type; // "string", "int", "float", "bool", "color", "file", "object", ...
        std::string value;
    };
    using Properties = std::vector<Property>;

    enum class Shape { Rectangle, Point, Ellipse, Polygon, Polyline, Text };

    struct Point {
        double x = 0, y = 0;
    };

    // One object of an object group, in map pixels. A tile object has a non-zero gid (with
    // Tiled's flip bits) and is anchored at its bottom-left corner, as in Tiled.
    struct Object {
        int id = 0;
        std::string name;
        std::string type; // the "type" of Tiled 1.8, the "class" of later versions
        double x = 0, y = 0, width = 0, height = 0;
        double rotation = 0; // degrees, clockwise
        std::uint32_t gid = 0;
        bool visible = true;
        Shape shape = Shape::Rectangle;
        std::vector<Point> points; // a polygon's or polyline's, from (x, y)
        Properties properties;
    };

    // Where and how a layer is drawn, the groups around it included: their offsets added to
    // its own, their parallax factors and tint colours multiplied with its own.
    struct LayerLook {
        double offsetX = 0, offsetY = 0;     // pixels
        double parallaxX = 1, parallaxY = 1; // 1 scrolls with the camera
        std::uint32_t tint = 0xFFFFFFFFu;    // 0xAARRGGBB; opaque white changes nothing
    };

    struct ObjectGroup {
        std::string name;
        bool visible = true;
        double opacity = 1;
        LayerLook look;
        Properties properties;
        std::vector<Object> objects;
        // draworder="index": drawn in the file's order; else (Tiled's "topdown", its
        // default) by y, those at one y in the file's order.
        bool indexOrder = false;
    };

    // A tile layer: width × height GIDs, row after row, with Tiled's flip bits still set.
    struct TileLayer {
        std::string name;
        bool visible = true;
        double opacity = 1;
        LayerLook look;
        Properties properties;
        std::vector<std::uint32_t> gids;
    };

    // An image layer: one image with its top-left corner at the layer's offset, repeated
    // along x and/or y when Tiled's repeatx/repeaty say so.
    struct ImageLayer {
        std::string name;
        bool visible = true;
        double opacity = 1;
        LayerLook look;
        Properties properties;
        std::string image;    // resolved against the map's folder; empty for none
        int transparent = -1; // 0xRRGGBB drawn as transparent, or -1
        bool repeatX = false, repeatY = false;
    };

    // The layers in the order Tiled draws them (file order, groups flattened), each as its
    // kind and its index in getTileLayers, getObjectGroups or getImageLayers.
    enum class LayerKind { Tiles, Objects, Image };
    struct LayerEntry {
        LayerKind kind = LayerKind::Tiles;
        int index = 0;
    };

    // One frame of a tile's animation: a tile of the same tileset, shown for duration ms.
    struct AnimationFrame {
        int tileId = 0;
        int duration = 0;
    };

    struct Tile {
        int id = 0;
        std::string type;  // the "type" of Tiled 1.8, the "class" of later versions
        std::string image; // the tile's own image (image-collection tilesets), else empty
        int imageWidth = 0, imageHeight = 0;
        bool animated = false; // whether animation has frames
        std::vector<AnimationFrame> animation;
        // The shapes of Tiled's tile collision editor, in the tile's pixels.
        std::vector<Object> collision;
        Properties properties;
    };

    struct Tileset {
        std::uint32_t firstGid = 1;
        std::string name;
        std::string source; // the external file as the map names it, else empty
        int tileWidth = 0, tileHeight = 0;
        int spacing = 0, margin = 0;
        int tileCount = 0, columns = 0;
        int offsetX = 0, offsetY = 0; // Tiled's <tileoffset>
        std::string image;            // the whole-sheet image, resolved against its file's folder
        int imageWidth = 0, imageHeight = 0;
        int transparent = -1;    // 0xRRGGBB drawn as transparent, or -1
        std::vector<Tile> tiles; // the tiles Tiled lists: images, properties, animations
        // GIDs firstGid .. firstGid + getGidCount() - 1 belong to this tileset.
        int getGidCount() const;
        // Whether the GID (without flip bits) is one of this tileset's.
        bool hasGid(std::uint32_t tile) const {
            return tile >= firstGid && tile - firstGid < static_cast<std::uint32_t>(getGidCount());
        }
    };

    TrelTiledMap() = default;

    // Reads the map, replacing whatever an earlier load read. False, with getError() saying
    // why, for a file that cannot be read, is cut short or damaged, holds what the engine
    // cannot show as it is drawn (an isometric, staggered or hexagonal map, or
    // more tiles and flipped tiles than a 16-bit cell can number), or needs more than
    // TrelLoadLimits allows. Each file the map names is read once, however many tilesets
    // name it, and only regular files are read.
    bool load(const char* file);
    // Marks the maps this object loads as a player's (downloaded, or made in the game): with
    // TrelLoadLimits::confinePlayerPaths, a tileset or image it names by an absolute path, or
    // by a path that leads outside the map's folder (by ".." or a symbolic link), is refused
    // with the same error as a missing one. Off by default; kept across loads.
    void setFromPlayer(bool player) { fromPlayer = player; }
    bool getFromPlayer() { return fromPlayer; }
    // After a failed load or addToZone: one line naming the file and, where it can, the line
    // ("map.tmx:12: unknown encoding \"lz4\""). Empty after a success.
    const char* getError() { return error.c_str(); }

    // Appends one layer per tile layer and image layer (and, with setTileObjects, per object
    // group) in the layer order, with the map's size and tile size and the layer's
    // visibility, opacity, offset and parallax factors; each tile layer shows the map's tiles
    // (tinted ones where it is tinted), one resource that the
    // zone owns and frees with itself (so fifty levels in a row hold one level's tiles), not
    // the system's registry. Each animated tile animates its cells (TrelTileAnimation), and
    // becomes an animation of that resource (layer->getTileset()->findAnimation(name)),
    // named after the tile's class (its type in Tiled 1.8) or, without one, "tile N" for GID N,
    // its durations in ticks by TrelAnimation::ticksFromMs; a frame of 0 ms ends it there
    // (TrelAnimation::kOnce), as it ends Tiled's. A map's background colour becomes the zone's. The
    // zone's main layer is left as it is (layer 0, so in a new zone the map's first layer bounds
    // the camera). False, with nothing added and getError() set, when a tileset image cannot be
    // loaded or no map is loaded. Needs Allegro started and the colour depth set.
    bool addToZone(TrelSystem* system, TrelZone* zone);
    // Whether addToZone also gives each object group a layer of its own (in the layer order,
    // with no cells) and makes each of its tile objects (objects with a gid) a plain
    // TrelObject there that shows its tile as Tiled does: flipped, scaled to the object's size
    // and turned about its bottom-left corner, which is at the object's position, made (and so
    // drawn) in the layer's draw order, by y unless it is drawn by index. Off by
    // default, since most games create their own objects from the map. Set it before load,
    // which counts those layers' cells against TrelLoadLimits::mapMemory; kept across loads.
    void setTileObjects(bool made) { tileObjects = made; }
    bool getTileObjects() { return tileObjects; }

    int getWidth() { return width; }
    int getHeight() { return height; }
    int getTileWidth() { return tileWidth; }
    int getTileHeight() { return tileHeight; }
    // 0xRRGGBB, or -1 when the map sets none (an alpha is dropped). addToZone and
    // newZoneFromMap give it to the zone as its background colour.
    int getBackgroundColor() { return backgroundColor; }
    const Properties& getProperties() { return properties; }

    const std::vector<TileLayer>& getTileLayers() { return tileLayers; }
    const std::vector<ObjectGroup>& getObjectGroups() { return objectGroups; }
    const std::vector<ImageLayer>& getImageLayers() { return imageLayers; }
    const std::vector<LayerEntry>& getLayerOrder() { return layerOrder; }
    // Tiled's parallaxoriginx/y, in map pixels.
    double getParallaxOriginX() { return parallaxOriginX; }
    double getParallaxOriginY() { return parallaxOriginY; }
    // Whether the file is an infinite map. Its layers are read from their chunks into one
    // grid that covers every chunk of every layer; getOriginX/Y give the Tiled cell at the
    // grid's (0, 0), which may be negative. Every position the model holds (objects, offsets
    // of image layers, the parallax origin) is moved alike, so that pixel (0, 0) is the grid's
    // top-left corner. A finite map's origin is (0, 0).
    bool isInfinite() { return infinite; }
    int getOriginX() { return originX; }
    int getOriginY() { return originY; }
    const std::vector<Tileset>& getTilesets() { return tilesets; }
    // The features the engine does not show, as the warnings name them.
    const std::vector<std::string>& getWarnings() { return warnings; }
    // The first object group of that name, or null.
    const ObjectGroup* findObjectGroup(const char* name);
    // The tile Tiled lists for this GID (flip bits ignored), or null.
    const Tile* findTile(std::uint32_t gid) const;
    // The properties Tiled gives the tile of this GID (flip bits ignored), or null.
    const Properties* getTileProperties(std::uint32_t gid);
    // The value of the named property in the list, or fallback when it has none.
    static const char* findProperty(const Properties& list, const char* name,
                                    const char* fallback = nullptr);

    // The cell value that shows this GID (flip bits included): 0 for no tile.
    short getCellValue(std::uint32_t gid);
    // The frames the map's cells need: every tile, then each flipped tile used.
    int getFrameCount() { return static_cast<int>(baseFrames + flipped.size()); }
    // Each flipped GID (flip bits set) that a cell shows, in the order of their frames.
    const std::vector<std::uint32_t>& getFlippedGids() { return flipped; }
    // The file given to the last load.
    const char* getFileName() { return fileName.c_str(); }

    // Tiled's flags in the top bits of a GID.
    static const std::uint32_t kFlipHorizontal = 0x80000000u;
    static const std::uint32_t kFlipVertical = 0x40000000u;
    static const std::uint32_t kFlipDiagonal = 0x20000000u;
    static const std::uint32_t kRotateHex120 = 0x10000000u; // hexagonal maps only: ignored
    static const std::uint32_t kFlagBits = 0xF0000000u;
    // The most frames a cell can name.
    static const int kMaxFrames = 32767;
    // The most pixels the tiles of a map's tileset sheets may hold together (512 MiB at 16
    // bits per pixel).
    static const long long kMaxTilePixels = 1LL << 28;

    // Called by the map module's readers and checks only. fail_ sets the error
    // ("file:line: what", the line left out when 0) and returns false; warn_ notes a feature
    // once.
    bool fail_(const std::string& file, int line, const std::string& what);
    void warn_(const std::string& feature);
    // Reads the external tileset named by set.source (relative to the map's folder) into set;
    // a file that an earlier tileset of this load named is not read again.
    bool loadExternalTileset_(Tileset& set, int line);
    // Counts bytes the map will take against what is left of TrelLoadLimits::mapMemory for
    // this load: "" while within it, else the problem, naming what needs them.
    std::string charge_(unsigned long long bytes, const std::string& what);
    // The path of a file the map names, relative to folder unless it is absolute.
    std::string resolve_(const std::string& folder, const std::string& path);
    // Whether a file the map names may be read: always, unless the map is a player's and the
    // path is absolute or leads outside its folder.
    bool reachable_(const std::string& path) const;

private:
    // The parts of the map module, which fill and read the model.
    friend class TrelTiledCheck;
    friend class TrelTiledFrames;
    friend class TrelTiledZone;
    friend class TrelTmjReader;
    friend class TrelTmxReader;

    // Reads the file with the reader its content asks for.
    bool read(const std::string& text);
    // The size of each sheet image whose tileset does not give it, from the image's header,
    // and the columns and tile count that follow from it.
    bool readImageSizes();
    // The tileset that holds this GID (flip bits cleared), or null.
    const Tileset* findTileset(std::uint32_t tile) const;
    // Reads a file of this load within what is left of TrelLoadLimits::mapInput.
    bool readInput(const std::string& path, std::string& text, std::string& reason);
    // Reads the tileset file at path (source as the map names it, for errors) into set.
    bool readTilesetFile(const std::string& path, const std::string& source, int line,
                         Tileset& set);
    // load's work, which may run out of memory.
    bool loadFile(const char* file);

    std::string fileName; // as given to load
    int width = 0, height = 0;
    int tileWidth = 0, tileHeight = 0;
    int backgroundColor = -1;
    std::string orientation;
    std::string renderOrder;
    bool infinite = false;
    Properties properties;
    std::vector<Tileset> tilesets; // in firstGid order
    std::vector<TileLayer> tileLayers;
    std::vector<ObjectGroup> objectGroups;
    std::vector<ImageLayer> imageLayers;
    std::vector<LayerEntry> layerOrder;
    double parallaxOriginX = 0, parallaxOriginY = 0;
    int originX = 0, originY = 0;
    // An infinite map's chunks, by tile layer, until they are put together in one grid.
    struct Chunk {
        int x = 0, y = 0, width = 0, height = 0; // in cells
        std::vector<std::uint32_t> gids;
        std::size_t cells() const {
            return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
        }
    };
    std::vector<std::vector<Chunk>> chunks;
    std::vector<int> layerLines;       // each tile layer's line in its file, or 0
    std::vector<std::string> warnings; // the features that cannot be shown, each once
    std::string error;
    std::uint32_t baseFrames = 0;       // the highest GID of any tileset
    std::vector<std::uint32_t> flipped; // each flipped GID used, shown by frame baseFrames + i
    std::unordered_map<std::uint32_t, short> flippedValues; // flipped GID -> cell value
    std::vector<std::uint16_t> tilesetOfGid;                // GID -> index of its tileset + 1, or 0
    bool fromPlayer = false;
    bool tileObjects = false;
    // What this load may still read and take, from TrelLoadLimits when it starts.
    std::size_t inputLeft = 0;
    std::size_t memoryLeft = 0;
    std::unordered_map<std::string, Tileset> tilesetFiles; // external tilesets read, by path
    std::unordered_set<std::string> absolutePaths; // the files the map names by an absolute path
};

#endif
