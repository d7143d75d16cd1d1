#ifndef TREL_SAVE_FILE_H
#define TREL_SAVE_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

class TrelSave;
class TrelSaveValue;

// The file format of saves, written and read by TrelSaveStore. All numbers are little-endian:
//   magic     8 bytes  "TrelSav" and 0x1a
//   format    u16      kFormat
//   game      u8 length (0 to 255), then the game's name
//   version   u32      the game's version of its saves (TrelSave::getVersion)
//   count     u32      the named values that follow
//   values    in strictly increasing byte order of their names: u8 name length (1 to 255),
//             the name (no control characters), then the value
//   value     u8 type, then: 1 integer: i64; 2 16.16: i32; 3 text and 4 bytes: u32 length,
//             then the bytes; 5 list: u32 count, then the items as values (at most
//             TrelSaveValue::kMaxDepth lists deep)
//   checksum  u64 XXH3-64 of every byte before it; the file ends there
// Engine-internal: used by TrelSaveStore, its tests and its fuzz target only.
class TrelSaveFile {
public:
    static const int kFormat = 1;

    // The file's bytes, checksum included. False, with fault set to a phrase that follows the
    // slot's name, for a save the reader would refuse (lists nested too deep).
    static bool write(const TrelSave& save, const std::string& game, std::string& bytes,
                      std::string& fault);
    // Checks the whole file and reads it into save (with its checksum). False, with fault set
    // to a phrase that follows the file's name ("is not a save", "is cut short", "is damaged:
    // ...", "is of a newer save format ..."), for anything but a complete, undamaged save of
    // this game; newer is set when the file is whole but of a newer format, which no backup
    // should replace.
    static bool read(const unsigned char* data, std::size_t size, const std::string& game,
                     TrelSave& save, std::string& fault, bool& newer);

    // Whether the file is a save of this game that no byte of was changed since it was written
    // (its checksum matches), of any format version: what may replace a backup. It reads no
    // value, so it is as fast as the checksum.
    static bool isWhole(const unsigned char* data, std::size_t size, const std::string& game);

    static std::uint64_t checksum(const void* data, std::size_t size);

private:
    struct Reader;
    static bool readValue(Reader& in, int depth, TrelSaveValue& value);
    static void writeValue(std::string& out, const TrelSaveValue& value);
};

#endif
