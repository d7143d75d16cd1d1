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
    // The reason to give when the file passed check but Allegro could not load it.
    static std::string loadFailure(const char* fileName);

private:
    // The BMP headers against the file's real size (a file of at least one byte).
    static bool checkBmp(const char* fileName, const unsigned char* head, std::size_t headSize,
                         long long fileSize, std::string& reason);
};

#endif
