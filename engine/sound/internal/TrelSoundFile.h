#ifndef TREL_SOUND_FILE_H
#define TREL_SOUND_FILE_H

#include <cstdint>
#include <cstdio>
#include <string>

struct OggVorbis_File;
struct sf_private_tag;

// A sound file opened for reading: WAV and FLAC through libsndfile, Ogg Vorbis through
// libvorbisfile (whose seeking is exact to the frame, so that a music loop joins without a
// gap). open() checks the file before anything is played: a file that is missing, empty, cut
// short, damaged, not a sound, or whose content is not what its name says is refused with a
// reason. Samples come out as signed 16-bit, channels interleaved.
// Engine-internal: used by TrelSound and TrelMusic.
class TrelSoundFile {
public:
    TrelSoundFile() = default;
    ~TrelSoundFile();
    TrelSoundFile(const TrelSoundFile&) = delete;
    TrelSoundFile& operator=(const TrelSoundFile&) = delete;

    // False, with reason set to a phrase that follows the file's name ("is cut short: ...",
    // "is a FLAC file named as Ogg Vorbis"), when the file cannot be played.
    bool open(const std::string& path, std::string& reason);
    // Reads up to count frames from the current position; the number read (0 at the end), or
    // -1 with reason set when the file turns out to be damaged.
    long read(std::int16_t* out, long count, std::string& reason);
    bool seek(std::int64_t frame);

    int getChannels() const { return channels; }
    int getRate() const { return rate; }
    std::int64_t getFrames() const { return frames; }
    // The loop an Ogg Vorbis file names in its LOOPSTART and LOOPLENGTH comments, in frames;
    // -1 where a comment is missing.
    std::int64_t getLoopStart() const { return loopStart; }
    std::int64_t getLoopLength() const { return loopLength; }

private:
    enum Kind { kUnknown, kWav, kOgg, kFlac };
    static Kind kindOfContent(const unsigned char* start, std::size_t size);
    static Kind kindOfName(const std::string& path);
    bool openVorbis(std::string& reason);
    bool openSndfile(Kind kind, std::string& reason);
    bool readLoopComments(std::string& reason);
    bool checkShape(std::string& reason);
    // Why a rate outside kMinRate to kMaxRate is refused.
    static std::string rateOutside(long long rate);

    std::FILE* stream = nullptr;       // owned, until a decoder takes it over
    OggVorbis_File* vorbis = nullptr;  // owned; set for Ogg Vorbis files
    sf_private_tag* sndfile = nullptr; // owned; set for WAV and FLAC files
    long long fileSize = 0;
    int channels = 0;
    int rate = 0;
    std::int64_t frames = 0;
    std::int64_t loopStart = -1;
    std::int64_t loopLength = -1;
};

#endif
