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
//   save        (version 3) u64 the checksum of the save the session started from
//               (TrelSave::getChecksum), 0 for none
//   ticks       per tick: u8 count of input codes that changed (0 to TrelInput::kCodes),
//               the codes (u8, strictly increasing), then the state hash after the tick (u64)
//   sound       (version 2) after every framerate-th tick, and after the last tick when the
//               last second is not whole: u8 0xfe, then the sound hash of the ticks since the
//               previous such record (u64, see soundHash)
//   end         u8 0xff, u32 tick count, u64 checksum (XXH3-64 of every byte before it)
// Engine-internal: used by TrelRecorder and TrelPlayer only.
class TrelRecording {
public:
    static const int kVersion = 3;
    static const int kOldestVersion = 1; // recordings without sound hashes
    static const unsigned char kEnd = 0xff;
    static const unsigned char kSound = 0xfe;

    // Writing.
    static std::string header(const std::string& engine, const std::string& game, int framerate,
                              std::uint32_t seed, std::uint64_t save);
    static void appendTick(std::string& out, const std::vector<std::uint8_t>& changed,
                           std::uint64_t hash);
    static void appendSound(std::string& out, std::uint64_t hash);
    // The sound hash of a run of ticks: previous is the hash of the ticks before this one in
    // the run (0 for its first), samples the tick's mix (frames × 2, left first).
    static std::uint64_t soundHash(std::uint64_t previous, const std::int16_t* samples, int frames);
    // The end marker and the tick count; the checksum follows it, over all bytes before.
    static void appendEnd(std::string& out, std::uint32_t ticks);
    static void appendChecksum(std::string& out, std::uint64_t checksum);
    static std::uint64_t checksum(const void* data, std::size_t size);

    // Reading: checks the whole file. False, with fault set to a phrase that follows the
    // file's name ("is not a recording", "is cut short", ...), for anything but a complete,
    // undamaged recording of this format version.
    bool parse(const unsigned char* data, std::size_t size, std::string& fault);

    int formatVersion = 0;
    std::string engine;
    std::string game;
    int framerate = 0;
    std::uint32_t seed = 0;
    std::uint64_t save = 0;
    // Per tick: where its codes start in codes (and end: the next tick's start), and its hash.
    std::vector<std::size_t> tickStarts;
    std::vector<std::uint8_t> codes;
    std::vector<std::uint64_t> hashes;
    // The sound hashes, each with the number of ticks played when it was recorded.
    std::vector<std::uint64_t> soundHashes;
    std::vector<int> soundTicks;

private:
    struct Reader;
    bool parseHeader(Reader& in, std::string& fault);
    bool parseTicks(Reader& in, std::string& fault);
};

#endif
