#include "gfx/TrelImageFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

namespace {

std::string cutShort(const char* fileName, long long have, unsigned long long need) {
    return TrelImageFile::named(fileName) + " is cut short: " + std::to_string(have) + " of " +
           std::to_string(need) + " bytes.";
}

std::string damaged(const char* fileName, const std::string& what) {
    return TrelImageFile::named(fileName) + " is damaged: " + what + ".";
}

std::uint32_t le32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint16_t le16(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool hasExtension(const char* fileName, const char* extension) {
    const char* dot = std::strrchr(fileName, '.');
    return dot != nullptr && strcasecmp(dot + 1, extension) == 0;
}

const std::size_t kFileHeader = 14;    // "BM", file size, reserved, pixel data offset
const std::size_t kWindowsHeader = 40; // the info header that also ends the OS/2 one's reach
const std::size_t kHeadBytes = kFileHeader + kWindowsHeader;

} // namespace

std::string TrelImageFile::reported;

bool TrelImageFile::check(const char* fileName, std::string& reason) {
    reported.clear();
    if (fileName == nullptr || fileName[0] == '\0') {
        reason = "No image file name was given.";
        return false;
    }
    struct stat info;
    if (stat(fileName, &info) != 0) {
        reason = named(fileName) + " cannot be read: " + std::strerror(errno) + ".";
        return false;
    }
    if (S_ISDIR(info.st_mode)) {
        reason = named(fileName) + " is a folder, not a file.";
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        reason = named(fileName) + " is not a regular file.";
        return false;
    }
    if (info.st_size == 0) {
        reason = named(fileName) + " is empty.";
        return false;
    }
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) {
        reason = named(fileName) + " cannot be read: " + std::strerror(errno) + ".";
        return false;
    }
    unsigned char head[kHeadBytes];
    std::size_t headSize = std::fread(head, 1, sizeof head, file);
    std::fclose(file);

    // Allegro picks the loader by the extension, so that is what the content must match.
    if (hasExtension(fileName, "bmp"))
        return checkBmp(fileName, head, headSize, static_cast<long long>(info.st_size), reason);
    return true;
}

bool TrelImageFile::checkBmp(const char* fileName, const unsigned char* head, std::size_t headSize,
                             long long fileSize, std::string& reason) {
    if (headSize < 2 || head[0] != 'B' || head[1] != 'M') {
        reason = named(fileName) + " is not a BMP image.";
        return false;
    }
    if (headSize < kFileHeader + 4) {
        reason = cutShort(fileName, fileSize, kHeadBytes);
        return false;
    }
    std::uint32_t dataOffset = le32(head + 10);
    std::uint32_t infoSize = le32(head + 14);
    bool os2 = infoSize == 12;
    if (!os2 && infoSize < kWindowsHeader) {
        reason = damaged(fileName, "its header size is " + std::to_string(infoSize));
        return false;
    }
    std::size_t fixedPart = kFileHeader + (os2 ? 12 : kWindowsHeader);
    if (headSize < fixedPart) {
        reason = cutShort(fileName, fileSize, fixedPart);
        return false;
    }

    long long width, height;
    unsigned bitCount;
    std::uint32_t compression = 0;
    std::uint32_t imageSize = 0;
    const unsigned char* info = head + kFileHeader;
    if (os2) {
        width = le16(info + 4);
        height = le16(info + 6);
        bitCount = le16(info + 10);
    } else {
        width = static_cast<std::int32_t>(le32(info + 4));
        height = static_cast<std::int32_t>(le32(info + 8)); // negative: rows top-down
        bitCount = le16(info + 14);
        compression = le32(info + 16);
        imageSize = le32(info + 20);
    }
    if (width <= 0 || height == 0) {
        reason = damaged(fileName, "its size is " + std::to_string(width) + " x " +
                                       std::to_string(height) + " pixels");
        return false;
    }
    if (height < 0) {
        // Allegro's loader reads rows bottom-up only.
        reason = damaged(fileName, "its rows are stored top-down, which cannot be read");
        return false;
    }
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 16 && bitCount != 24 &&
        bitCount != 32) {
        reason = damaged(fileName, std::to_string(bitCount) + " bits per pixel");
        return false;
    }
    if (dataOffset < fixedPart) {
        reason = damaged(fileName, "its pixel data would start inside its headers");
        return false;
    }

    unsigned long long need;
    const unsigned long long huge = ~0ULL;
    if (compression == 0 || compression == 3) { // plain rows, or rows with colour masks
        // Each row is padded to a multiple of four bytes.
        unsigned long long rowBytes =
            (static_cast<unsigned long long>(width) * bitCount + 31) / 32 * 4;
        unsigned long long pixels =
            rowBytes > (huge - dataOffset) / static_cast<unsigned long long>(height)
                ? huge - dataOffset
                : rowBytes * static_cast<unsigned long long>(height);
        need = dataOffset + pixels;
    } else if (compression == 1 || compression == 2) { // RLE8, RLE4: the header gives the size
        need = static_cast<unsigned long long>(dataOffset) + (imageSize != 0 ? imageSize : 1);
    } else {
        reason = damaged(fileName, "it uses compression " + std::to_string(compression) +
                                       ", which cannot be read");
        return false;
    }
    if (static_cast<unsigned long long>(fileSize) < need) {
        reason = cutShort(fileName, fileSize, need);
        return false;
    }
    return true;
}

std::string TrelImageFile::loadFailure(const char* fileName) {
    if (!reported.empty()) {
        std::string reason;
        reason.swap(reported);
        return reason;
    }
    return named(fileName) + " could not be loaded: not an image of a format that can be read.";
}

std::string TrelImageFile::named(const char* fileName) {
    return std::string("Image file \"") + fileName + "\"";
}

void TrelImageFile::reportLoadFailure_(const std::string& reason) {
    reported = reason;
}
