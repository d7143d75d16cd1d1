#include "image/TrelClassicFormats.h"

#include <allegro.h>

#include <cstring>

#include "base/TrelFileBytes.h"
#include "image/TrelImageFile.h"

namespace {

using Bytes = TrelFileBytes;

using Walk = TrelFileBytes::Cursor;

std::string cutShort(const char* fileName, std::size_t size) {
    return TrelImageFile::named(fileName) + " is cut short: its pixel data ends after " +
           std::to_string(size) + " bytes.";
}

std::string damaged(const char* fileName, const std::string& what) {
    return TrelImageFile::named(fileName) + " is damaged: " + what + ".";
}

// The bytes one TGA pixel takes, as Allegro reads the image type and depth; 0 when Allegro
// would refuse the file anyway.
int tgaPixelBytes(int imageType, int depth) {
    if (imageType == 1 || imageType == 3)
        return depth == 8 ? 1 : 0;
    if (imageType == 2)
        return depth == 15 || depth == 16 ? 2 : depth == 24 ? 3 : depth == 32 ? 4 : 0;
    return 0;
}

// One TGA row: raw, or packets that must each end inside the row.
bool tgaRow(Walk& walk, bool compressed, int width, int pixelBytes) {
    if (!compressed)
        return walk.skip(static_cast<std::size_t>(width) * pixelBytes);
    for (int done = 0; done < width;) {
        int packet = walk.next();
        if (packet < 0)
            return false;
        int count = (packet & 0x7F) + 1;
        if (done + count > width)
            return false;
        if (!walk.skip(static_cast<std::size_t>(packet & 0x80 ? 1 : count) * pixelBytes))
            return false;
        done += count;
    }
    return true;
}

struct MemoryFile {
    const unsigned char* data;
    long size;
    long at;
};

int memoryClose(void*) {
    return 0;
}
int memoryGetc(void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    return f->at < f->size ? f->data[f->at++] : EOF;
}
int memoryUngetc(int c, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    if (f->at == 0)
        return EOF;
    --f->at;
    return c;
}
long memoryRead(void* out, long count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    long n = count < f->size - f->at ? count : f->size - f->at;
    if (n <= 0)
        return 0;
    std::memcpy(out, f->data + f->at, static_cast<std::size_t>(n));
    f->at += n;
    return n;
}
int memoryPutc(int, void*) {
    return EOF;
}
long memoryWrite(const void*, long, void*) {
    return 0;
}
int memorySeek(void* user, int offset) {
    auto* f = static_cast<MemoryFile*>(user);
    if (offset < 0 || offset > f->size - f->at)
        return -1;
    f->at += offset;
    return 0;
}
int memoryEof(void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    return f->at >= f->size;
}
int memoryError(void*) {
    return 0;
}

const PACKFILE_VTABLE kMemoryFile = {memoryClose, memoryGetc, memoryUngetc, memoryRead, memoryPutc,
                                     memoryWrite, memorySeek, memoryEof,    memoryError};

} // namespace

bool TrelClassicFormats::tgaSize(const unsigned char* p, std::size_t n, int& w, int& h) {
    if (n < 18)
        return false;
    w = Bytes::le16(p + 12);
    h = Bytes::le16(p + 14);
    return true;
}

bool TrelClassicFormats::pcxSize(const unsigned char* p, std::size_t n, int& w, int& h) {
    if (n < 128)
        return false;
    // The window's corners, inclusive.
    w = Bytes::le16(p + 8) - Bytes::le16(p + 4) + 1;
    h = Bytes::le16(p + 10) - Bytes::le16(p + 6) + 1;
    return true;
}

bool TrelClassicFormats::checkTga(const char* fileName, const std::string& bytes,
                                  std::string& reason) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    int width, height;
    if (!tgaSize(p, bytes.size(), width, height)) {
        reason = cutShort(fileName, bytes.size());
        return false;
    }
    const int paletteType = p[1], imageType = p[2] & 7, paletteColours = Bytes::le16(p + 5);
    const int entryBits = p[7];
    const bool compressed = (p[2] & 8) != 0;
    if (paletteType > 1 || (paletteType == 1 && paletteColours > 256)) {
        reason = damaged(fileName, "its palette type is " + std::to_string(paletteType) + " with " +
                                       std::to_string(paletteColours) + " colours");
        return false;
    }
    if (!TrelImageFile::checkPixels(fileName, width, height, reason))
        return false;
    const int pixelBytes = tgaPixelBytes(imageType, p[16]);
    if (pixelBytes == 0) {
        reason = damaged(fileName, "its image type " + std::to_string(p[2]) + " at " +
                                       std::to_string(p[16]) + " bits cannot be read");
        return false;
    }
    Walk walk{p, bytes.size(), 18};
    const int entryBytes = entryBits == 16 ? 2 : entryBits == 24 ? 3 : entryBits == 32 ? 4 : 0;
    walk.skip(p[0] +
              (paletteType == 1 ? static_cast<std::size_t>(paletteColours) * entryBytes : 0));
    for (int y = 0; y < height && !walk.cutShort; ++y) {
        if (!tgaRow(walk, compressed, width, pixelBytes) && !walk.cutShort) {
            reason = damaged(fileName, "a run of row " + std::to_string(y) + " passes its end");
            return false;
        }
    }
    if (walk.cutShort)
        reason = cutShort(fileName, bytes.size());
    return !walk.cutShort;
}

bool TrelClassicFormats::checkPcx(const char* fileName, const std::string& bytes,
                                  std::string& reason) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    int width, height;
    if (!pcxSize(p, bytes.size(), width, height)) {
        reason = cutShort(fileName, bytes.size());
        return false;
    }
    if (p[3] != 8 || (p[65] != 1 && p[65] != 3)) {
        reason = damaged(fileName, std::to_string(p[3]) + " bits in " + std::to_string(p[65]) +
                                       " planes cannot be read");
        return false;
    }
    if (!TrelImageFile::checkPixels(fileName, width, height, reason))
        return false;
    // Each row is bytesPerLine bytes a plane, in runs that may not leave the file.
    const long rowBytes = static_cast<long>(Bytes::le16(p + 66)) * p[65];
    Walk walk{p, bytes.size(), 128};
    for (int y = 0; y < height && !walk.cutShort; ++y) {
        for (long x = 0; x < rowBytes && !walk.cutShort;) {
            int c = walk.next();
            if ((c & 0xC0) == 0xC0) {
                x += c & 0x3F;
                walk.next();
            } else {
                ++x;
            }
        }
    }
    if (walk.cutShort)
        reason = cutShort(fileName, bytes.size());
    return !walk.cutShort;
}

BITMAP* TrelClassicFormats::decode(const std::string& extension, const std::string& bytes,
                                   RGB* palette) {
    MemoryFile file{reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<long>(bytes.size()), 0};
    PACKFILE* in = pack_fopen_vtable(&kMemoryFile, &file);
    if (in == nullptr)
        return nullptr;
    BITMAP* image = nullptr;
    if (extension == "bmp")
        image = load_bmp_pf(in, palette);
    else if (extension == "tga")
        image = load_tga_pf(in, palette);
    else if (extension == "pcx")
        image = load_pcx_pf(in, palette);
    pack_fclose(in);
    return image;
}
