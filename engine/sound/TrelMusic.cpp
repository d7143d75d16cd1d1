#include "sound/TrelMusic.h"

#include <algorithm>
#include <string>

#include "base/TrelFileBytes.h"
#include "sound/internal/TrelSoundFile.h"

namespace {

// The one line that says why a music cannot be played.
std::string refusal(const std::string& file, const std::string& reason) {
    return "The music " + TrelFileBytes::quoted(file) + " " + reason + ".";
}

} // namespace

TrelMusic::TrelMusic(TrelSoundFile* opened, const char* fileName) : file(opened) {
    name.set(fileName);
    loopEnd = file->getFrames();
    if (file->getLoopStart() >= 0)
        loopStart = file->getLoopStart();
    if (file->getLoopLength() > 0)
        loopEnd = loopStart + file->getLoopLength();
}

TrelMusic::~TrelMusic() {
    delete file;
}

std::unique_ptr<TrelMusic> TrelMusic::open(const char* fileName, TrelCString& errorOut) {
    const std::string path = fileName != nullptr ? fileName : "";
    std::string reason;
    auto* opened = new TrelSoundFile();
    if (opened->open(path, reason))
        return std::unique_ptr<TrelMusic>(new TrelMusic(opened, path.c_str()));
    delete opened;
    errorOut.set(refusal(path, reason).c_str());
    return nullptr;
}

bool TrelMusic::setLoop(std::int64_t start, std::int64_t length) {
    const std::int64_t frames = file->getFrames();
    if (start < 0 || start >= frames || length < 0 || length > frames - start)
        return false;
    loopStart = start;
    loopEnd = length == 0 ? frames : start + length;
    loopFrames.clear();
    return true;
}

std::int64_t TrelMusic::getFrames() const {
    return file->getFrames();
}

int TrelMusic::getChannels() const {
    return file->getChannels();
}

int TrelMusic::getRate() const {
    return file->getRate();
}

long TrelMusic::fail(const std::string& reason) {
    error.set(refusal(name.get(), reason).c_str());
    return -1;
}

bool TrelMusic::cacheLoop() {
    const int channels = file->getChannels();
    loopFrames.assign(static_cast<std::size_t>((loopEnd - loopStart) * channels), 0);
    std::string reason;
    if (!file->seek(loopStart)) {
        fail("is damaged: the start of its loop cannot be found");
        return false;
    }
    long got = file->read(loopFrames.data(), static_cast<long>(loopEnd - loopStart), reason);
    fileAt = loopStart + std::max(got, 0L);
    if (got != loopEnd - loopStart) {
        loopFrames.clear();
        fail(got < 0 ? reason : "is cut short: it ends after frame " + std::to_string(fileAt));
        return false;
    }
    return true;
}

long TrelMusic::read_(std::int16_t* out, long count) {
    if (error.get()[0] != '\0')
        return -1;
    const int channels = file->getChannels();
    long done = 0;
    while (done < count) {
        const std::int64_t end = looping ? loopEnd : file->getFrames();
        if (position >= end) {
            if (!looping)
                break;
            if (loopEnd - loopStart <= kCachedLoop && loopFrames.empty() && !cacheLoop())
                return -1;
            position = loopStart;
        }
        const std::int64_t want = std::min<std::int64_t>(count - done, end - position);
        if (looping && !loopFrames.empty() && position >= loopStart) {
            // A short loop, from memory.
            std::copy_n(&loopFrames[static_cast<std::size_t>((position - loopStart) * channels)],
                        want * channels, out + done * channels);
            position += want;
            done += static_cast<long>(want);
            continue;
        }
        if (position != fileAt && !file->seek(position))
            return fail("is damaged: frame " + std::to_string(position) + " cannot be found");
        fileAt = position;
        std::string reason;
        long got = file->read(out + done * channels, static_cast<long>(want), reason);
        if (got < 0)
            return fail(reason);
        if (got == 0 && looping)
            return fail("is cut short: it ends after frame " + std::to_string(position));
        if (got == 0)
            break;
        position += got;
        fileAt += got;
        done += got;
    }
    return done;
}
