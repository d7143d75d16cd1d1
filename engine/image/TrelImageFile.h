#ifndef TREL_IMAGE_FILE_H
#define TREL_IMAGE_FILE_H

#include <cstddef>
#include <string>

// What the engine knows of image files: BMP, PNG and JPEG headers and structure, checked
// before a decoder reads the file, and the pixel size they declare. Allegro's loaders trust
// the file: a BMP cut short loads with its missing pixels made up, and a folder or an empty
// file gives no reason at all. Engine-internal: used by TrelResource::loadData, the PNG and
// JPEG loaders and the map's tilesets.
class TrelImageFile {
public:
    // True when the file is worth handing to load_bitmap. Otherwise false, with reason set
    // to one sentence that names the file and says what is wrong with it.
    static bool check(const char* fileName, std::string& reason);
    // The same for the whole bytes of a file named .png: the signature, then chunks up to
    // IEND, each within the file. libpng would find the same faults, but could only say that
    // decoding failed.
    static bool checkPng(const char* fileName, const std::string& bytes, std::string& reason);
    // The same for a JPEG: its start-of-image marker and an end-of-image marker.
    static bool checkJpeg(const char* fileName, const std::string& bytes, std::string& reason);
    // The pixel size a PNG, BMP or JPEG file declares in its header (rows counted whichever
    // way a BMP stores them); false for any other file, or a size that is not positive.
    static bool readSize(const std::string& path, int& w, int& h);

    // The reason to give when the file passed check but Allegro could not load it: the one
    // a loader reported during that load, or a general one.
    static std::string loadFailure(const char* fileName);
    // "Image file \"name\"": how every reason begins.
    static std::string named(const char* fileName);
    // Lets a loader that Allegro calls (those of engine/image) say why it gave no bitmap.
    // The reason is taken by the next loadFailure, or dropped by the next check.
    static void reportLoadFailure_(const std::string& reason);

private:
    // A BMP's file and info headers, as both layouts (Windows and OS/2) give them.
    struct BmpHeader {
        unsigned long dataOffset = 0;
        unsigned long infoSize = 0;
        std::size_t fixedPart = 0; // the bytes up to the end of the info header's fields
        long long width = 0;
        long long height = 0; // negative: rows stored top-down
        unsigned bitCount = 0;
        unsigned long compression = 0;
        unsigned long imageSize = 0;
    };
    enum class BmpRead { kRead, kNotBmp, kCutShort, kBadInfoSize };
    // Reads the headers from the file's first headSize bytes; kCutShort sets fixedPart to
    // the bytes the headers need.
    static BmpRead readBmpHeader(const unsigned char* head, std::size_t headSize,
                                 BmpHeader& header);
    // The BMP headers against the file's real size (a file of at least one byte).
    static bool checkBmp(const char* fileName, const unsigned char* head, std::size_t headSize,
                         long long fileSize, std::string& reason);
    // What makes a BMP's headers unreadable, or "" when they can be read.
    static std::string bmpFault(const BmpHeader& header);
    // The bytes the file must hold for its pixel data (headers that bmpFault accepts).
    static unsigned long long bmpFileBytes(const BmpHeader& header);
    static bool jpegSize(const unsigned char* head, std::size_t size, int& w, int& h);

    static std::string reported; // main thread only, as all loading is
};

#endif
