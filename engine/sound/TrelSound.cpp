#include "sound/TrelSound.h"

#include <string>

#include "base/TrelFileBytes.h"
#include "base/TrelLoadLimits.h"
#include "sound/internal/TrelSoundFile.h"

TrelSound::TrelSound(const std::int16_t* from, int frameCount, int channelCount, int frameRate) {
    if (from == nullptr || frameCount <= 0 || channelCount < 1 || channelCount > 2 ||
        frameRate < 8000 || frameRate > 192000)
        return;
    samples.assign(from, from + static_cast<std::size_t>(frameCount) * channelCount);
    frames = frameCount;
    channels = channelCount;
    rate = frameRate;
}

std::unique_ptr<TrelSound> TrelSound::load(const char* file, TrelCString& error) {
    const std::string path = file != nullptr ? file : "";
    std::string reason;
    TrelSoundFile in;
    if (in.open(path, reason)) {
        const std::size_t limit = TrelLoadLimits::get().soundMemory;
        const auto bytes = static_cast<unsigned long long>(in.getFrames()) * in.getChannels() * 2;
        if (bytes > limit || in.getFrames() > 0x7fffffff) {
            reason = "decodes to " + std::to_string(bytes) + " bytes, " +
                     TrelFileBytes::beyond({limit, "soundMemory"});
        } else {
            std::unique_ptr<TrelSound> sound(new TrelSound());
            sound->channels = in.getChannels();
            sound->rate = in.getRate();
            sound->frames = static_cast<int>(in.getFrames());
            sound->samples.resize(static_cast<std::size_t>(bytes / 2));
            long got = in.read(sound->samples.data(), sound->frames, reason);
            if (got == sound->frames)
                return sound;
            if (got >= 0)
                reason = "is cut short: it ends after " + std::to_string(got) + " of " +
                         std::to_string(sound->frames) + " frames";
        }
    }
    error.set(("The sound " + TrelFileBytes::quoted(path) + " " + reason + ".").c_str());
    return nullptr;
}
