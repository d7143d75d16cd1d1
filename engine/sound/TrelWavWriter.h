#ifndef TREL_WAV_WRITER_H
#define TREL_WAV_WRITER_H

#include <cstdint>
#include <cstdio>

#include "base/TrelCString.h"
#include "base/TrelExport.h"

// Writes 16-bit stereo PCM to a WAV file as it comes: the mix rendered to a file, to be
// listened to or compared. The header's sizes are filled in by finish().
class TREL_API TrelWavWriter {
public:
    TrelWavWriter() = default;
    ~TrelWavWriter(); // finishes a file still open
    TrelWavWriter(const TrelWavWriter&) = delete;
    TrelWavWriter& operator=(const TrelWavWriter&) = delete;

    // Creates the file; false, with getError() naming the file and the reason, when it
    // cannot be created or one is open.
    bool start(const char* file, int rate);
    // Appends frames × 2 samples, left first.
    void write(const std::int16_t* samples, int frames);
    // Writes the sizes and closes the file; false, with the reason, when any of it failed to
    // be written or the file grew beyond what WAV can hold (4 GiB).
    bool finish();
    bool isOpen() const { return out != nullptr; }
    const char* getError() const { return error.get(); }

private:
    std::FILE* out = nullptr;
    TrelCString fileName;
    TrelCString error;
    int rate = 0;
    std::uint64_t dataBytes = 0;
    bool failed = false;
};

#endif
