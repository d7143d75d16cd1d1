#ifndef TREL_RECORDING_H
#define TREL_RECORDING_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The file format of recordings, written by TrelRecorder and read by TrelPlayer. All numbers
// are little-endian:
//   magic       8 bytes  "TrelRec" and 0x1a
//   version     u16      kVersion
//   engine      u16 length, then the engine's version text
//   game        u16 length, then the game's name
//   framerate   u16      logic ticks per second
//   seed        u32      what rand() was seeded with
//   ticks       per tick: u8 count of input codes that changed (0 to TrelInput::kCodes),
//               the codes (u8, strictly increasing), then the state hash after the tick (u64)
//   end         u8 0xff, u32 tick count, u64 checksum (XXH3-64 of every byte before it)
// Engine-internal: used by TrelRecorder and TrelPlayer only.
class TrelRecording {
public:
    static const int kVersion = 1;
    static const unsigned char kEnd = 0xff;

    // Writing.
    static std::string header(const std::string& engine, const std::string& game, int framerate,
                              std::uint32_t seed);
    static void appendTick(std::string& out, const std::vector<std::uint8_t>& changed,
                           std::uint64_t hash);
    // The end marker and the tick count; the checksum follows it, over all bytes before.
    static void appendEnd(std::string& out, std::uint32_t ticks);
    static void appendChecksum(std::string& out, std::uint64_t checksum);
    static std::uint64_t checksum(const void* data, std::size_t size);

    // Reading: checks the whole file. False, with fault set to a phrase that follows the
    // file's name ("is not a recording", "is cut short", ...), for anything but a complete,
    // undamaged recording of this format version.
    bool parse(const unsigned char* data, std::size_t size, std::string& fault);

    std::string engine;
    std::string game;
    int framerate = 0;
    std::uint32_t seed = 0;
    // Per tick: where its codes start in codes (and end: the next tick's start), and its hash.
    std::vector<std::size_t> tickStarts;
    std::vector<std::uint8_t> codes;
    std::vector<std::uint64_t> hashes;

private:
    struct Reader;
    bool parseHeader(Reader& in, std::string& fault);
    bool parseTicks(Reader& in, std::string& fault);
};

#endif
