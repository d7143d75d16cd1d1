#include "image/TrelFileBytes.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Closes the file on every way out.
struct OpenFile {
    explicit OpenFile(const std::string& path) : file(std::fopen(path.c_str(), "rb")) {}
    ~OpenFile() {
        if (file != nullptr)
            std::fclose(file);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;
    std::FILE* file;
};

} // namespace

bool TrelFileBytes::read(const std::string& path, std::size_t limit, std::string& bytes,
                         std::string& reason) {
    struct stat info;
    if (stat(path.c_str(), &info) != 0) {
        reason = errno == ENOENT ? "was not found"
                                 : std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = "is a folder, not a file";
        return false;
    }
    OpenFile in(path);
    if (in.file == nullptr) {
        reason = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    bytes.clear();
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, in.file)) > 0) {
        bytes.append(chunk, got);
        if (bytes.size() > limit)
            break;
    }
    if (std::ferror(in.file) != 0) {
        reason = "cannot be read";
        return false;
    }
    if (bytes.size() > limit) {
        reason = "is larger than " + std::to_string(limit >> 20) + " MiB";
        return false;
    }
    return true;
}

bool TrelFileBytes::readStart(const std::string& path, std::size_t count, std::string& bytes) {
    OpenFile in(path);
    if (in.file == nullptr)
        return false;
    bytes.resize(count);
    bytes.resize(std::fread(&bytes[0], 1, count, in.file));
    return true;
}
