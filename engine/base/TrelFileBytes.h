#ifndef TREL_FILE_BYTES_H
#define TREL_FILE_BYTES_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "base/TrelExport.h"

// The bytes of files: a whole file read within a limit, the start of a file, numbers read
// from bytes in either byte order, and names made safe for one-line messages.
// The floor's file reader: used by the image checks and loaders, the map and sheet readers,
// the sound files and the recordings.
class TREL_API TrelFileBytes {
public:
    // A limit of TrelLoadLimits, with the name of its field for the messages: bytes is what
    // may still be read, of whole bytes when part of the limit is spent (0: none is).
    struct Limit {
        std::size_t bytes;
        const char* name;
        std::size_t whole = 0;
    };
    // "beyond the limit of M bytes (TrelLoadLimits::name)", or "beyond the B bytes left of the
    // limit of M bytes (...)": how a refusal names the limit.
    static std::string beyond(const Limit& limit);

    // The whole file, which must be a regular file: it is opened without blocking, so a pipe,
    // a device or a socket is refused at once instead of waiting for data. False, with reason
    // set to a phrase that follows the file's name ("was not found", "cannot be read: ...",
    // "is a folder, not a file", "is not a regular file", "is N bytes, beyond the limit..."),
    // for a file that is missing, unreadable, not a regular file, or longer than the limit.
    static bool read(const std::string& path, const Limit& limit, std::string& bytes,
                     std::string& reason);
    // Opens a regular file for reading as a stream (for files read piece by piece, such as
    // music); null, with reason set as read sets it, when it is missing, unreadable or not a
    // regular file. The caller closes the stream.
    static std::FILE* openStream(const std::string& path, std::string& reason);
    // At most count bytes from the start of a regular file; false when it cannot be opened or
    // is not a regular file.
    static bool readStart(const std::string& path, std::size_t count, std::string& bytes);

    // Whether the file's real path, links followed, is inside the folder's (the working folder
    // for ""); false when the file does not exist.
    static bool reallyInside(const std::string& path, const std::string& folder);

    // Quoted, as messages show names: "\"name\"", control characters escaped ("\\n"), so
    // that a message stays one line whatever the name holds.
    static std::string quoted(const std::string& text) { return "\"" + escaped(text) + "\""; }
    // The same without the quotes.
    static std::string escaped(const std::string& text);

    // Bytes read one at a time, as a decoder reads them: reading past the end sets cutShort.
    struct Cursor {
        const unsigned char* data;
        std::size_t size;
        std::size_t at;
        bool cutShort = false;

        bool skip(std::size_t count) {
            if (count > size - at) {
                at = size;
                cutShort = true;
                return false;
            }
            at += count;
            return true;
        }
        // The next byte, or -1 past the end.
        int next() { return skip(1) ? data[at - 1] : -1; }
    };

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
