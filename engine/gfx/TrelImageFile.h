#ifndef TREL_IMAGE_FILE_H
#define TREL_IMAGE_FILE_H

#include <string>

// Checks an image file before Allegro's loader reads it. The loader trusts the file: a BMP
// cut short loads with its missing pixels made up, and a folder or an empty file gives no
// reason at all. Engine-internal: used by TrelResource::loadData.
class TrelImageFile {
public:
    // True when the file is worth handing to load_bitmap. Otherwise false, with reason set
    // to one sentence that names the file and says what is wrong with it.
    static bool check(const char* fileName, std::string& reason);
    // The reason to give when the file passed check but Allegro could not load it: the one
    // a loader reported during that load, or a general one.
    static std::string loadFailure(const char* fileName);
    // "Image file \"name\"": how every reason begins.
    static std::string named(const char* fileName);
    // Lets a loader that Allegro calls (those of engine/image) say why it gave no bitmap.
    // The reason is taken by the next loadFailure, or dropped by the next check.
    static void reportLoadFailure_(const std::string& reason);

private:
    static std::string reported; // main thread only, as all loading is
    // The BMP headers against the file's real size (a file of at least one byte).
    static bool checkBmp(const char* fileName, const unsigned char* head, std::size_t headSize,
                         long long fileSize, std::string& reason);
};

#endif
