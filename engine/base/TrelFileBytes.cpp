#include "base/TrelFileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Closes the descriptor on every way out.
struct OpenFile {
    explicit OpenFile(const std::string& path)
        : fd(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC)) {}
    ~OpenFile() {
        if (fd >= 0)
            close(fd);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    int fd;
};

std::string cannotRead(int error) {
    return error == ENOENT || error == ENOTDIR
               ? "was not found"
               : std::string("cannot be read: ") + std::strerror(error);
}

// Opens the file and checks that it is a regular one; its size goes to size.
bool openRegular(OpenFile& in, long long& size, std::string& reason) {
    struct stat info;
    if (in.fd < 0 || fstat(in.fd, &info) != 0) {
        reason = cannotRead(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = "is a folder, not a file";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = "is not a regular file (a device, a pipe or a socket)";
        return false;
    }
    size = static_cast<long long>(info.st_size);
    return true;
}

// Reads up to count bytes more onto bytes; false on a read error.
bool readMore(int fd, std::size_t count, std::string& bytes) {
    char chunk[65536];
    while (count > 0) {
        ssize_t got = ::read(fd, chunk, count < sizeof chunk ? count : sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        bytes.append(chunk, static_cast<std::size_t>(got));
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

std::string TrelFileBytes::beyond(const Limit& limit) {
    std::string left = limit.whole > limit.bytes
                           ? "the " + std::to_string(limit.bytes) + " bytes left of "
                           : std::string();
    const std::size_t whole = limit.whole > limit.bytes ? limit.whole : limit.bytes;
    return "beyond " + left + "the limit of " + std::to_string(whole) +
           " bytes (TrelLoadLimits::" + limit.name + ")";
}

bool TrelFileBytes::read(const std::string& path, const Limit& limit, std::string& bytes,
                         std::string& reason) {
    OpenFile in(path);
    long long size = 0;
    if (!openRegular(in, size, reason))
        return false;
    if (static_cast<unsigned long long>(size) > limit.bytes) {
        reason = "is " + std::to_string(size) + " bytes, " + beyond(limit);
        return false;
    }
    bytes.clear();
    bytes.reserve(static_cast<std::size_t>(size));
    // One byte past the limit shows a file that grew while it was read.
    if (!readMore(in.fd, limit.bytes + 1, bytes)) {
        reason = cannotRead(errno);
        return false;
    }
    if (bytes.size() > limit.bytes) {
        reason = "is more than " + std::to_string(limit.bytes) + " bytes, " + beyond(limit);
        return false;
    }
    return true;
}

std::FILE* TrelFileBytes::openStream(const std::string& path, std::string& reason) {
    OpenFile in(path);
    long long size = 0;
    if (!openRegular(in, size, reason))
        return nullptr;
    // Opened without blocking only so that a pipe could not stall the check; a regular file
    // is read as usual.
    fcntl(in.fd, F_SETFL, fcntl(in.fd, F_GETFL) & ~O_NONBLOCK);
    std::FILE* stream = fdopen(in.fd, "rb");
    if (stream == nullptr) {
        reason = cannotRead(errno);
        return nullptr;
    }
    in.fd = -1; // the stream closes it now
    return stream;
}

bool TrelFileBytes::readStart(const std::string& path, std::size_t count, std::string& bytes) {
    OpenFile in(path);
    long long size = 0;
    std::string reason;
    bytes.clear();
    return openRegular(in, size, reason) && readMore(in.fd, count, bytes);
}

std::string TrelFileBytes::escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

bool TrelFileBytes::reallyInside(const std::string& path, const std::string& folder) {
    char* real = realpath(path.c_str(), nullptr);
    char* realFolder = realpath(folder.empty() ? "." : folder.c_str(), nullptr);
    bool inside = false;
    if (real != nullptr && realFolder != nullptr) {
        std::size_t n = std::strlen(realFolder);
        inside = std::strncmp(real, realFolder, n) == 0 && (real[n] == '/' || n == 1);
    }
    std::free(real);
    std::free(realFolder);
    return inside;
}
