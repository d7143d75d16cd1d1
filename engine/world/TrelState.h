#ifndef TREL_STATE_H
#define TREL_STATE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/TrelCString.h"
#include "base/TrelExport.h"
#include "math/FixedPoint.h"

class TrelState;

// The game's own part of a zone's state (TrelZone::stateHash, dumpState): a function that adds
// the game's values (scores, timers) to the state, called with its user value after the
// zone's own values.
using TrelStateFunction = void (*)(TrelState& state, void* user);

// The state of a game as replays check it, written once by TrelZone (and the game's state
// function) and taken either as a hash or as text lines to compare two runs. Values are
// hashed in one fixed form (little-endian, whatever the machine), so the hash is the same on
// every compiler, build and machine; names only appear in the text.
class TREL_API TrelState {
public:
    // With a file, each value is also written to it as one line, "<where> <name> <value>".
    explicit TrelState(std::FILE* text = nullptr);

    TrelState(const TrelState&) = delete;
    TrelState& operator=(const TrelState&) = delete;

    // Names the part that the following values belong to ("layer 1"); an index below 0 is
    // left out. Hashed too, so values cannot shift from one part to the next unnoticed.
    void part(const char* name, int index = -1);
    // A part within the last part ("layer 1 object 3").
    void subpart(const char* name, int index);
    void add(const char* name, std::int64_t value);
    void add(const char* name, fixedpoint::fix16 value);
    void add(const char* name, fixedpoint::fix16 x, fixedpoint::fix16 y);
    // A map of cells, row after row; the text gives one line per row.
    void addCells(const short* cells, int width, int height);

    // The 64-bit XXH3 hash (xxHash 0.8, seed 0) of everything added so far.
    std::uint64_t hash();

private:
    static const std::size_t kHasherSize = 640; // xxHash's XXH3 state, opaque here
    static const std::size_t kStageSize = 512;

    void put(std::uint64_t value, int count);
    void putRaw(const void* data, std::size_t size);
    void flush();
    void name(const char* text, int index);

    alignas(64) unsigned char hasher[kHasherSize];
    unsigned char staged[kStageSize]; // small values, hashed in one call when full
    std::size_t stagedSize = 0;
    std::FILE* textOut; // not owned
    TrelCString where;  // the text's part; kept only with a file
    TrelCString outer;  // the part that subpart extends
};

#endif
