#ifndef TREL_LOAD_LIMITS_H
#define TREL_LOAD_LIMITS_H

#include <cstddef>

#include "base/TrelExport.h"

// How much one load of a map or of an image may take, so that a file from a stranger (a
// downloaded level, a mod) is refused before it exhausts memory or time. A file beyond a
// limit is refused with one line that names the file, the limit and the field to raise.
// The defaults hold every map and image of the project, its examples and Tiled's examples
// many times over. Process-wide, like the rest of the loading; set it before loading.
struct TREL_API TrelLoadLimits {
    // The bytes one map load may read after decompression: the map and its tilesets.
    std::size_t mapInput = std::size_t(64) << 20;
    // The memory one map may take once read: its cells (6 bytes each), its parsed elements,
    // and its tile and flipped-tile frames and sheet images (counted at 4 bytes a pixel).
    std::size_t mapMemory = std::size_t(512) << 20;
    // The bytes one image file may hold, and its compressed data inflate to.
    std::size_t imageInput = std::size_t(64) << 20;
    // The memory one decoded image may take, at 4 bytes a pixel (the default: 8192 x 8192).
    std::size_t imageMemory = std::size_t(256) << 20;
    // The memory one sound effect may take once decoded, at 2 bytes a sample (the default:
    // six minutes of stereo at 44,100 frames a second). Music is streamed, not held.
    std::size_t soundMemory = std::size_t(64) << 20;
    // For a map loaded as a player's (TrelTiledMap::setFromPlayer): refuse every file it names
    // by an absolute path or by a path that leaves the map's folder (by ".." or a symbolic
    // link), with the same error as for a file that is not there, so that a map cannot probe
    // the rest of the disk.
    bool confinePlayerPaths = true;
    // The bytes one recording (TrelPlayer) may hold: about five days of play.
    std::size_t recordingInput = std::size_t(256) << 20;
    // The bytes one saved game or settings file (TrelSaveStore) may hold: a hundred thousand
    // values many times over, and little enough that a hostile save cannot exhaust memory.
    std::size_t saveInput = std::size_t(4) << 20;

    // The limits in force; the defaults until set() is called.
    static const TrelLoadLimits& get();
    static void set(const TrelLoadLimits& limits);
};

#endif
