#include "sound/internal/TrelSoundFile.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

#include "base/TrelFileBytes.h"

namespace {

const int kMinRate = 8000;
const int kMaxRate = 192000;
const char* const kKindNames[] = {"unknown", "WAV", "Ogg Vorbis", "FLAC"};

// libvorbisfile reads through these, from the stream the file was opened as.
std::size_t readStream(void* into, std::size_t size, std::size_t count, void* stream) {
    return std::fread(into, size, count, static_cast<std::FILE*>(stream));
}
int seekStream(void* stream, ogg_int64_t offset, int whence) {
    return fseeko(static_cast<std::FILE*>(stream), static_cast<off_t>(offset), whence);
}
int closeStream(void* stream) {
    return std::fclose(static_cast<std::FILE*>(stream));
}
long tellStream(void* stream) {
    return static_cast<long>(ftello(static_cast<std::FILE*>(stream)));
}

// Bytes of the file at offset, without moving the stream; fewer at its end.
std::string bytesAt(std::FILE* stream, long long offset, std::size_t count) {
    std::string bytes(count, '\0');
    ssize_t got = pread(fileno(stream), &bytes[0], count, static_cast<off_t>(offset));
    bytes.resize(got > 0 ? static_cast<std::size_t>(got) : 0);
    return bytes;
}

// Where a WAV file's data chunk says its data ends, or -1 when it has none that can be found
// (libsndfile then refuses the file with its own reason).
// Where the WAV chunk of this id begins (its bytes, after the id and size) and its size as
// declared; -1 when the file has none.
long long wavChunk(std::FILE* stream, long long fileSize, const char* id, long long& size) {
    long long at = 12;
    while (at + 8 <= fileSize) {
        std::string head = bytesAt(stream, at, 8);
        if (head.size() < 8)
            return -1;
        const auto* p = reinterpret_cast<const unsigned char*>(head.data());
        size = TrelFileBytes::le32(p + 4);
        if (std::memcmp(p, id, 4) == 0)
            return at + 8;
        at += 8 + size + (size & 1); // chunks are padded to an even size
    }
    return -1;
}

long long wavDataEnd(std::FILE* stream, long long fileSize) {
    long long size = 0;
    const long long at = wavChunk(stream, fileSize, "data", size);
    return at < 0 ? -1 : at + size;
}

// The frames a second a WAV or FLAC file's header declares, read without libsndfile (which
// refuses some rates without saying why); -1 when it cannot be read.
long long declaredRate(std::FILE* stream, long long fileSize, bool flac) {
    long long size = 0;
    const long long at = flac ? 18 : wavChunk(stream, fileSize, "fmt ", size);
    const std::string bytes = at < 0 ? std::string() : bytesAt(stream, at + (flac ? 0 : 4), 4);
    if (bytes.size() < 4)
        return -1;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    // FLAC's STREAMINFO, the first block, holds the rate in 20 bits at byte 18.
    return flac ? (p[0] << 12 | p[1] << 4 | p[2] >> 4) : TrelFileBytes::le32(p);
}

// Whether an Ogg file's last page is whole and marks the end of its stream: a file cut short
// loses that page, and libvorbisfile would quietly end the sound at the last whole one.
bool oggEndsWhole(std::FILE* stream, long long fileSize) {
    const long long tail = std::min<long long>(fileSize, 65536 + 282);
    std::string bytes = bytesAt(stream, fileSize - tail, static_cast<std::size_t>(tail));
    std::size_t at = bytes.rfind("OggS");
    if (at == std::string::npos || bytes.size() - at < 27)
        return false;
    const auto* page = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    const std::size_t segments = page[26];
    if (bytes.size() - at < 27 + segments)
        return false;
    std::size_t body = 0;
    for (std::size_t i = 0; i < segments; ++i)
        body += page[27 + i];
    return bytes.size() - at >= 27 + segments + body && (page[5] & 0x04) != 0;
}

// A comment's value as a count of frames: -1 when missing, -2 when not a whole number.
std::int64_t frameComment(vorbis_comment* comments, const char* tag) {
    const char* value = vorbis_comment_query(comments, tag, 0);
    if (value == nullptr)
        return -1;
    std::int64_t number = 0;
    if (*value == '\0')
        return -2;
    for (const char* c = value; *c != '\0'; ++c) {
        if (!std::isdigit(static_cast<unsigned char>(*c)) || number > (INT64_C(1) << 40))
            return -2;
        number = number * 10 + (*c - '0');
    }
    return number;
}

std::string withoutFinalStop(std::string text) {
    while (!text.empty() && (text.back() == '.' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

TrelSoundFile::~TrelSoundFile() {
    if (vorbis != nullptr) {
        ov_clear(vorbis); // closes the stream too
        delete vorbis;
    }
    if (sndfile != nullptr)
        sf_close(sndfile);
    if (stream != nullptr)
        std::fclose(stream);
}

TrelSoundFile::Kind TrelSoundFile::kindOfContent(const unsigned char* start, std::size_t size) {
    if (size >= 12 && (std::memcmp(start, "RIFF", 4) == 0 || std::memcmp(start, "RF64", 4) == 0) &&
        std::memcmp(start + 8, "WAVE", 4) == 0)
        return kWav;
    if (size >= 4 && std::memcmp(start, "OggS", 4) == 0)
        return kOgg;
    if (size >= 4 && std::memcmp(start, "fLaC", 4) == 0)
        return kFlac;
    return kUnknown;
}

TrelSoundFile::Kind TrelSoundFile::kindOfName(const std::string& path) {
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos)
        return kUnknown;
    std::string extension = path.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == "wav")
        return kWav;
    if (extension == "ogg" || extension == "oga")
        return kOgg;
    if (extension == "flac")
        return kFlac;
    return kUnknown;
}

bool TrelSoundFile::open(const std::string& path, std::string& reason) {
    stream = TrelFileBytes::openStream(path, reason);
    if (stream == nullptr)
        return false;
    struct stat info;
    fileSize = fstat(fileno(stream), &info) == 0 ? static_cast<long long>(info.st_size) : 0;
    if (fileSize == 0) {
        reason = "is empty";
        return false;
    }
    std::string start = bytesAt(stream, 0, 12);
    Kind kind = kindOfContent(reinterpret_cast<const unsigned char*>(start.data()), start.size());
    if (kind == kUnknown) {
        reason = "is not a WAV, Ogg Vorbis or FLAC file";
        return false;
    }
    Kind named = kindOfName(path);
    if (named != kUnknown && named != kind) {
        reason = std::string("is a ") + kKindNames[kind] + " file named as " + kKindNames[named];
        return false;
    }
    bool opened = kind == kOgg ? openVorbis(reason) : openSndfile(kind, reason);
    return opened && checkShape(reason);
}

bool TrelSoundFile::openVorbis(std::string& reason) {
    if (!oggEndsWhole(stream, fileSize)) {
        reason = "is cut short: its last Ogg page is missing or incomplete";
        return false;
    }
    const ov_callbacks callbacks = {readStream, seekStream, closeStream, tellStream};
    vorbis = new OggVorbis_File;
    int result = ov_open_callbacks(stream, vorbis, nullptr, 0, callbacks);
    if (result != 0) {
        delete vorbis; // on failure the stream stays the caller's
        vorbis = nullptr;
        reason = result == OV_ENOTVORBIS ? "is an Ogg file without Vorbis sound"
                                         : "is damaged: its Ogg Vorbis headers cannot be read";
        return false;
    }
    stream = nullptr; // libvorbisfile closes it now
    vorbis_info* info = ov_info(vorbis, -1);
    channels = info->channels;
    rate = static_cast<int>(info->rate);
    frames = ov_pcm_total(vorbis, -1);
    if (frames < 0) {
        reason = "is damaged: its length cannot be read";
        return false;
    }
    if (frames == 0) { // a last page that gives no end, or one before the start
        reason = "holds no sound";
        return false;
    }
    return readLoopComments(reason);
}

bool TrelSoundFile::readLoopComments(std::string& reason) {
    vorbis_comment* comments = ov_comment(vorbis, -1);
    loopStart = frameComment(comments, "LOOPSTART");
    loopLength = frameComment(comments, "LOOPLENGTH");
    if (loopStart == -2 || loopLength == -2) {
        reason = "has a LOOPSTART or LOOPLENGTH comment that is not a whole number of frames";
        return false;
    }
    std::int64_t start = loopStart < 0 ? 0 : loopStart;
    if (start >= frames || (loopLength >= 0 && (loopLength == 0 || start + loopLength > frames))) {
        reason = "has a loop (LOOPSTART " + std::to_string(loopStart) + ", LOOPLENGTH " +
                 std::to_string(loopLength) + ") outside its " + std::to_string(frames) + " frames";
        return false;
    }
    return true;
}

bool TrelSoundFile::openSndfile(Kind kind, std::string& reason) {
    const long long declared = declaredRate(stream, fileSize, kind == kFlac);
    // libsndfile is handed a descriptor of its own: it closes the one it is given when it
    // refuses a file, whatever it is told, and the stream's would then be closed twice.
    const int descriptor = dup(fileno(stream));
    if (descriptor < 0) {
        reason = "cannot be read";
        return false;
    }
    SF_INFO info{};
    sndfile = sf_open_fd(descriptor, SFM_READ, &info, SF_TRUE);
    if (sndfile == nullptr) {
        if (declared >= 0 && (declared < kMinRate || declared > kMaxRate))
            reason = rateOutside(declared);
        else
            reason = "is damaged: " + withoutFinalStop(sf_strerror(nullptr));
        return false;
    }
    channels = info.channels;
    rate = info.samplerate;
    frames = info.frames;
    if (frames == SF_COUNT_MAX) {
        reason = "does not give its length (a FLAC file written as a stream): save it again";
        return false;
    }
    if (kind == kWav) {
        long long end = wavDataEnd(stream, fileSize);
        if (end > fileSize) {
            reason = "is cut short: its sound data ends at byte " + std::to_string(fileSize) +
                     " of " + std::to_string(end);
            return false;
        }
    }
    // The last frame must be there: a FLAC file cut short still gives its full length.
    std::int16_t last[2];
    if (frames > 0 && channels >= 1 && channels <= 2 &&
        (sf_seek(sndfile, frames - 1, SEEK_SET) < 0 || sf_readf_short(sndfile, last, 1) != 1 ||
         sf_seek(sndfile, 0, SEEK_SET) != 0)) {
        reason = "is cut short: its last frame cannot be read";
        return false;
    }
    return true;
}

std::string TrelSoundFile::rateOutside(long long rate) {
    return "is at " + std::to_string(rate) + " frames a second, outside " +
           std::to_string(kMinRate) + " to " + std::to_string(kMaxRate);
}

bool TrelSoundFile::checkShape(std::string& reason) {
    if (channels < 1 || channels > 2) {
        reason = "has " + std::to_string(channels) + " channels; a sound has 1 or 2";
        return false;
    }
    if (rate < kMinRate || rate > kMaxRate) {
        reason = rateOutside(rate);
        return false;
    }
    if (frames == 0) {
        reason = "holds no sound";
        return false;
    }
    return true;
}

long TrelSoundFile::read(std::int16_t* out, long count, std::string& reason) {
    if (sndfile != nullptr)
        return static_cast<long>(sf_readf_short(sndfile, out, count));
    long done = 0;
    while (done < count) {
        int section = 0;
        long bytes = ov_read(vorbis, reinterpret_cast<char*>(out + done * channels),
                             static_cast<int>(std::min<long>(count - done, 4096) * channels * 2), 0,
                             2, 1, &section);
        if (bytes == 0)
            break;
        if (bytes < 0 || ov_info(vorbis, section)->channels != channels) {
            reason = "is damaged after frame " + std::to_string(ov_pcm_tell(vorbis));
            return -1;
        }
        done += bytes / (2 * channels);
    }
    return done;
}

bool TrelSoundFile::seek(std::int64_t frame) {
    if (sndfile != nullptr)
        return sf_seek(sndfile, frame, SEEK_SET) == frame;
    return ov_pcm_seek(vorbis, frame) == 0;
}
