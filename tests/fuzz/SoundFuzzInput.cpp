#include "SoundFuzzInput.h"

#include "FuzzFile.h"
#include "base/TrelLoadLimits.h"
#include "sound/TrelMixer.h"
#include "sound/TrelMusic.h"
#include "sound/TrelSound.h"

namespace {

// What a refusal must look like: a reason of one line, and no object.
std::string checkRefusal(bool made, const TrelCString& error, const char* what) {
    const std::string reason = error.get();
    if (made == !reason.empty())
        return std::string(what) +
               (made ? " made with a reason: " + reason : " refused without a reason");
    if (reason.find('\n') != std::string::npos)
        return std::string(what) + " refused in more than one line: " + reason;
    return "";
}

} // namespace

std::string loadSoundFuzzInput(const std::string& folder, const std::uint8_t* data,
                               std::size_t size) {
    if (size == 0)
        return "";
    const char* names[4] = {"sound.wav", "sound.ogg", "sound.flac", "sound.snd"};
    const std::string name = folder + names[data[0] % 4];
    const std::string unwritten = writeFuzzFile(name, data + 1, size - 1);
    if (!unwritten.empty())
        return unwritten;

    TrelCString error;
    std::unique_ptr<TrelSound> sound = TrelSound::load(name.c_str(), error);
    std::string problem = checkRefusal(sound != nullptr, error, "a sound");
    if (problem.empty() && sound != nullptr &&
        (sound->getChannels() < 1 || sound->getChannels() > 2 || sound->getFrames() < 1 ||
         2ULL * sound->getFrames() * sound->getChannels() > TrelLoadLimits::get().soundMemory))
        problem = "a sound outside the limits was made";
    if (!problem.empty())
        return problem;

    TrelCString musicError;
    TrelMusic* music = TrelMusic::open(name.c_str(), musicError).release();
    problem = checkRefusal(music != nullptr, musicError, "a music");
    if (music == nullptr || !problem.empty())
        return problem;
    TrelMixer mixer;
    mixer.playMusic(music); // owned by the mixer now
    for (int tick = 0; tick < 20 && mixer.getMusic() != nullptr; ++tick)
        mixer.mixTick(60);
    const std::string late = mixer.getMusicError();
    if (late.find('\n') != std::string::npos)
        return "a music stopped with a reason of more than one line: " + late;
    return "";
}
