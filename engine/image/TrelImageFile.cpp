#include "image/TrelImageFile.h"

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"

namespace {

std::string cutShort(const char* fileName, long long have, unsigned long long need) {
    return TrelImageFile::named(fileName) + " is cut short: " + std::to_string(have) + " of " +
           std::to_string(need) + " bytes.";
}

std::string damaged(const char* fileName, const std::string& what) {
    return TrelImageFile::named(fileName) + " is damaged: " + what + ".";
}

using Bytes = TrelFileBytes;

const std::size_t kFileHeader = 14;    // "BM", file size, reserved, pixel data offset
const std::size_t kWindowsHeader = 40; // the info header that also ends the OS/2 one's reach
const std::size_t kHeadBytes = kFileHeader + kWindowsHeader;
const unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

bool startsAsPng(const unsigned char* bytes, std::size_t size) {
    return size >= 8 && std::memcmp(bytes, kPngSignature, 8) == 0;
}

bool startsAsJpeg(const unsigned char* bytes, std::size_t size) {
    return size >= 3 && bytes[0] == 0xff && bytes[1] == 0xd8 && bytes[2] == 0xff;
}

const unsigned char* bytesOf(const std::string& text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

} // namespace

std::string TrelImageFile::reported;

TrelImageFile::BmpRead TrelImageFile::readBmpHeader(const unsigned char* head, std::size_t headSize,
                                                    BmpHeader& header) {
    if (headSize < 2 || head[0] != 'B' || head[1] != 'M')
        return BmpRead::kNotBmp;
    if (headSize < kFileHeader + 4) {
        header.fixedPart = kHeadBytes;
        return BmpRead::kCutShort;
    }
    header.dataOffset = Bytes::le32(head + 10);
    header.infoSize = Bytes::le32(head + 14);
    const bool os2 = header.infoSize == 12;
    if (!os2 && header.infoSize < kWindowsHeader)
        return BmpRead::kBadInfoSize;
    header.fixedPart = kFileHeader + (os2 ? 12 : kWindowsHeader);
    if (headSize < header.fixedPart)
        return BmpRead::kCutShort;
    const unsigned char* info = head + kFileHeader;
    if (os2) {
        header.width = Bytes::le16(info + 4);
        header.height = Bytes::le16(info + 6);
        header.bitCount = Bytes::le16(info + 10);
    } else {
        header.width = static_cast<std::int32_t>(Bytes::le32(info + 4));
        header.height = static_cast<std::int32_t>(Bytes::le32(info + 8));
        header.bitCount = Bytes::le16(info + 14);
        header.compression = Bytes::le32(info + 16);
        header.imageSize = Bytes::le32(info + 20);
    }
    return BmpRead::kRead;
}

bool TrelImageFile::checkBmp(const char* fileName, const std::string& bytes, std::string& reason) {
    BmpHeader header;
    const long long fileSize = static_cast<long long>(bytes.size());
    switch (readBmpHeader(bytesOf(bytes), bytes.size(), header)) {
    case BmpRead::kNotBmp:
        reason = named(fileName) + " is not a BMP image.";
        return false;
    case BmpRead::kCutShort:
        reason = cutShort(fileName, fileSize, header.fixedPart);
        return false;
    case BmpRead::kBadInfoSize:
        reason = damaged(fileName, "its header size is " + std::to_string(header.infoSize));
        return false;
    case BmpRead::kRead:
        break;
    }
    std::string fault = bmpFault(header);
    if (!fault.empty()) {
        reason = damaged(fileName, fault);
        return false;
    }
    if (!checkPixels(fileName, header.width, header.height, reason))
        return false;
    unsigned long long need = bmpFileBytes(header);
    if (static_cast<unsigned long long>(fileSize) < need) {
        reason = cutShort(fileName, fileSize, need);
        return false;
    }
    if (header.compression != 1 && header.compression != 2)
        return true;
    bool runsCutShort = false;
    fault = bmpRunsFault(header, bytes, runsCutShort);
    if (runsCutShort)
        reason = named(fileName) + " is cut short: its RLE data has no end-of-image mark.";
    else if (!fault.empty())
        reason = damaged(fileName, fault);
    return fault.empty();
}

std::string TrelImageFile::bmpRunsFault(const BmpHeader& header, const std::string& bytes,
                                        bool& cutShort) {
    const bool fourBits = header.compression == 2;
    Bytes::Cursor data{bytesOf(bytes), bytes.size(), header.dataOffset};
    const long long width = header.width;
    const std::string outside = "a run of its RLE data passes the edge of the image";
    // Rows from the bottom, as Allegro's decoder fills them; each op reads two bytes first.
    for (long long row = header.height - 1; row >= 0; --row) {
        long long x = 0;
        for (bool rowEnd = false; !rowEnd && x - 1 <= width;) {
            const int count = data.next(), value = data.next();
            long long pixels = count > 0 ? count : value > 2 ? value : 0;
            if (value < 0) {
                cutShort = true;
                return "cut short";
            }
            if (pixels > 0 && (row < 0 || x + pixels > width))
                return outside;
            if (count == 0 && value == 0) {
                rowEnd = true;
            } else if (count == 0 && value == 1) {
                return "";
            } else if (count == 0 && value == 2) {
                x += data.next();
                row -= data.next();
            } else if (count == 0) {
                // Literal pixels, padded to 16 bits.
                data.skip(static_cast<std::size_t>(fourBits ? (pixels + 3) / 4 * 2
                                                            : pixels + (pixels & 1)));
            }
            x += pixels;
            if (data.cutShort) {
                cutShort = true;
                return "cut short";
            }
        }
    }
    return "";
}

std::string TrelImageFile::bmpFault(const BmpHeader& header) {
    const unsigned bits = header.bitCount;
    if (header.width <= 0 || header.height == 0)
        return "its size is " + std::to_string(header.width) + " x " +
               std::to_string(header.height) + " pixels";
    // Allegro's loader reads rows bottom-up only.
    if (header.height < 0)
        return "its rows are stored top-down, which cannot be read";
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return std::to_string(bits) + " bits per pixel";
    if (header.dataOffset < header.fixedPart)
        return "its pixel data would start inside its headers";
    // 0: plain rows; 3: rows with colour masks; 1, 2: RLE8, RLE4.
    if (header.compression > 3)
        return "it uses compression " + std::to_string(header.compression) +
               ", which cannot be read";
    return "";
}

unsigned long long TrelImageFile::bmpFileBytes(const BmpHeader& header) {
    const unsigned long long offset = header.dataOffset;
    // RLE data: the header gives its size.
    if (header.compression == 1 || header.compression == 2)
        return offset + (header.imageSize != 0 ? header.imageSize : 1);
    // Each row is padded to a multiple of four bytes; a size beyond 64 bits is as good as the
    // largest.
    const unsigned long long huge = ~0ULL;
    unsigned long long rowBytes =
        (static_cast<unsigned long long>(header.width) * header.bitCount + 31) / 32 * 4;
    unsigned long long rows = static_cast<unsigned long long>(header.height);
    return rowBytes > (huge - offset) / rows ? huge : offset + rowBytes * rows;
}

std::string TrelImageFile::loadFailure(const char* fileName) {
    if (!reported.empty()) {
        std::string reason;
        reason.swap(reported);
        return reason;
    }
    return named(fileName) + " could not be loaded: not an image of a format that can be read.";
}

std::string TrelImageFile::notFound(const char* fileName) {
    return named(fileName) + " cannot be read: " + std::strerror(ENOENT) + ".";
}

std::string TrelImageFile::named(const char* fileName) {
    return "Image file " + Bytes::quoted(fileName);
}

bool TrelImageFile::checkPixels(const char* fileName, long long w, long long h,
                                std::string& reason) {
    if (w < 1 || h < 1) {
        reason = damaged(fileName, "its size is " + std::to_string(w) + " x " + std::to_string(h) +
                                       " pixels");
        return false;
    }
    const Bytes::Limit limit{TrelLoadLimits::get().imageMemory, "imageMemory"};
    // Sides come from 32-bit fields, so the pixel count fits 64 bits.
    if (static_cast<unsigned long long>(w) * static_cast<unsigned long long>(h) > limit.bytes / 4) {
        reason = named(fileName) + " is " + std::to_string(w) + " x " + std::to_string(h) +
                 " pixels, at 4 bytes a pixel " + Bytes::beyond(limit) + ".";
        return false;
    }
    return true;
}

void TrelImageFile::reportLoadFailure_(const std::string& reason) {
    reported = reason;
}

bool TrelImageFile::checkPng(const char* fileName, const std::string& bytes, std::string& reason) {
    if (!startsAsPng(bytesOf(bytes), bytes.size())) {
        reason = named(fileName) + " is not a PNG image.";
        return false;
    }
    // The header chunk comes first and gives the size, checked before any pixel is made.
    if (bytes.size() >= 24 && bytes.compare(12, 4, "IHDR") == 0 &&
        !checkPixels(fileName, Bytes::be32(bytesOf(bytes) + 16), Bytes::be32(bytesOf(bytes) + 20),
                     reason))
        return false;
    unsigned long long at = 8;
    const unsigned long long size = bytes.size();
    for (;;) {
        // A chunk is its length, its type, its data and a 4-byte checksum.
        unsigned long long need = at + 12;
        if (size >= at + 8)
            need += Bytes::be32(bytesOf(bytes) + at);
        if (size < need) {
            reason = named(fileName) + " is cut short: " + std::to_string(size) + " of at least " +
                     std::to_string(need) + " bytes.";
            return false;
        }
        bool end = bytes.compare(at + 4, 4, "IEND") == 0;
        at = need;
        if (end)
            return true;
    }
}

bool TrelImageFile::checkJpeg(const char* fileName, const std::string& bytes, std::string& reason) {
    const unsigned char* p = bytesOf(bytes);
    if (!startsAsJpeg(p, bytes.size())) {
        reason = named(fileName) + " is not a JPEG image.";
        return false;
    }
    int w = 0, h = 0;
    if (jpegSize(p, bytes.size(), w, h) && !checkPixels(fileName, w, h, reason))
        return false;
    // Inside a JPEG's coded data a 0xff byte is never followed by 0xd9, so a file without
    // that pair has lost its end.
    bool ended = false;
    for (std::size_t i = bytes.size(); i-- > 3 && !ended;)
        ended = p[i - 1] == 0xff && p[i] == 0xd9;
    if (!ended) {
        reason = named(fileName) + " is cut short: " + std::to_string(bytes.size()) +
                 " bytes, with no end-of-image marker.";
        return false;
    }
    return true;
}

bool TrelImageFile::readSize(const std::string& head, int& w, int& h) {
    const unsigned char* p = bytesOf(head);
    if (startsAsPng(p, head.size())) {
        if (head.size() < 24)
            return false;
        w = static_cast<int>(Bytes::be32(p + 16));
        h = static_cast<int>(Bytes::be32(p + 20));
        return w > 0 && h > 0;
    }
    BmpHeader bmp;
    switch (readBmpHeader(p, head.size(), bmp)) {
    case BmpRead::kRead:
        if (bmp.width <= 0 || bmp.height == 0 || bmp.height == INT32_MIN)
            return false;
        w = static_cast<int>(bmp.width);
        h = static_cast<int>(bmp.height < 0 ? -bmp.height : bmp.height);
        return true;
    case BmpRead::kNotBmp:
        break;
    default:
        return false;
    }
    return startsAsJpeg(p, head.size()) && jpegSize(p, head.size(), w, h);
}

bool TrelImageFile::jpegSize(const unsigned char* head, std::size_t n, int& w, int& h) {
    // The frame header (SOF0..SOF15 but DHT, JPG and DAC) holds height, then width.
    for (std::size_t i = 2; i + 9 < n;) {
        if (head[i] != 0xFF)
            return false;
        unsigned marker = head[i + 1];
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
            marker != 0xCC) {
            h = Bytes::be16(head + i + 5);
            w = Bytes::be16(head + i + 7);
            return w > 0 && h > 0;
        }
        std::size_t length = Bytes::be16(head + i + 2);
        if (length < 2)
            return false;
        i += 2 + length;
    }
    return false;
}
