#ifndef TREL_FILE_BYTES_H
#define TREL_FILE_BYTES_H

#include <cstddef>
#include <cstdint>
#include <string>

// The bytes of files: a whole file read within a limit, the start of a file, and numbers
// read from bytes in either byte order. Engine-internal: used by the image checks and
// loaders and by the map readers.
class TrelFileBytes {
public:
    // The whole file. False, with reason set to a phrase that follows the file's name ("was
    // not found", "cannot be read: ...", "is a folder, not a file", "is larger than 256 MiB"),
    // for a file that is missing, unreadable, a folder, or longer than limit bytes.
    static bool read(const std::string& path, std::size_t limit, std::string& bytes,
                     std::string& reason);
    // At most count bytes from the start of the file; false when it cannot be opened.
    static bool readStart(const std::string& path, std::size_t count, std::string& bytes);

    static std::uint16_t le16(const unsigned char* p) {
        return static_cast<std::uint16_t>(p[0] | p[1] << 8);
    }
    static std::uint32_t le32(const unsigned char* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    static std::uint16_t be16(const unsigned char* p) {
        return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
    }
    static std::uint32_t be32(const unsigned char* p) {
        return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
               static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
    }
};

#endif
