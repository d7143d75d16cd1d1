#ifndef TREL_IMAGE_FILE_H
#define TREL_IMAGE_FILE_H

#include <cstddef>
#include <string>

// What the engine knows of image files: BMP, PNG and JPEG headers and structure, checked
// before a decoder reads the file, and the pixel size they declare. Allegro's BMP loader
// trusts the file: a BMP cut short loads with its missing pixels made up, and one whose runs
// pass the edge of the image writes outside it. Engine-internal: used by the image loaders
// and the map's tilesets.
class TrelImageFile {
public:
    // Each check takes the whole bytes of a file and returns true when a decoder may read
    // them; otherwise false, with reason set to one sentence that names the file and says
    // what is wrong with it.
    //
    // A BMP: its headers, its size within the limits, its pixel data within the file, and
    // each run of RLE data inside the image, as Allegro's decoder walks it.
    static bool checkBmp(const char* fileName, const std::string& bytes, std::string& reason);
    // A PNG: the signature, its size within the limits, then chunks up to IEND, each within
    // the file. libpng would find the same faults, but could only say that decoding failed.
    static bool checkPng(const char* fileName, const std::string& bytes, std::string& reason);
    // A JPEG: its start-of-image marker, its size within the limits and an end-of-image
    // marker.
    static bool checkJpeg(const char* fileName, const std::string& bytes, std::string& reason);
    // An image of w x h pixels: at least 1 x 1, and within TrelLoadLimits::imageMemory.
    static bool checkPixels(const char* fileName, long long w, long long h, std::string& reason);
    // The pixel size a PNG, BMP or JPEG declares in the file's first bytes (rows counted
    // whichever way a BMP stores them); false for any other file, or a size that is not
    // positive. Used by TrelImageFormats::readSize, which knows every format.
    static bool readSize(const std::string& head, int& w, int& h);

    // The reason to give when a load gave no bitmap: the one the loader reported during that
    // load, or a general one.
    static std::string loadFailure(const char* fileName);
    // The reason for a file that is not there.
    static std::string notFound(const char* fileName);
    // "Image file \"name\"", the name escaped to one line: how every reason begins.
    static std::string named(const char* fileName);
    // Lets a loader say why it gave no bitmap. The reason is taken by the next loadFailure,
    // or dropped by the next clearLoadFailure_.
    static void reportLoadFailure_(const std::string& reason);
    static void clearLoadFailure_() { reported.clear(); }

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
    // What makes a BMP's headers unreadable, or "" when they can be read.
    static std::string bmpFault(const BmpHeader& header);
    // The bytes the file must hold for its pixel data (headers that bmpFault accepts).
    static unsigned long long bmpFileBytes(const BmpHeader& header);
    // Walks RLE data as Allegro's decoder does: "" when every pixel it writes is inside the
    // image and every byte it reads inside the file, else what goes wrong (cutShort set when
    // the data ends first).
    static std::string bmpRunsFault(const BmpHeader& header, const std::string& bytes,
                                    bool& cutShort);
    static bool jpegSize(const unsigned char* head, std::size_t size, int& w, int& h);

    static std::string reported; // main thread only, as all loading is
};

#endif
