#include "sound/TrelAudio.h"

#include <string>

#include "base/TrelLog.h"
#include "sound/TrelMusic.h"
#include "sound/TrelSound.h"
#include "sound/internal/TrelSoundOutput.h"

TrelAudio::TrelAudio(TrelLog* owner) : log(owner) {
}

TrelAudio::~TrelAudio() {
    delete output;
    clearSounds();
}

TrelSound* TrelAudio::loadSound(const char* file) {
    TrelCString error;
    std::unique_ptr<TrelSound> sound = TrelSound::load(file, error);
    if (sound == nullptr) {
        log->printf("\n%s", error.get());
        return nullptr;
    }
    sounds.push_back(sound.release());
    startOutput();
    return sounds.back();
}

void TrelAudio::clearSounds() {
    for (TrelSound* sound : sounds) {
        mixer.stopSound(sound);
        delete sound;
    }
    sounds.clear();
}

bool TrelAudio::playMusic(const char* file, bool loop) {
    TrelCString error;
    std::unique_ptr<TrelMusic> music = TrelMusic::open(file, error);
    if (music == nullptr) {
        log->printf("\n%s", error.get());
        return false;
    }
    music->setLooping(loop);
    mixer.playMusic(music.release());
    startOutput();
    return true;
}

bool TrelAudio::startRendering(const char* file) {
    if (!wav.start(file, mixer.getRate())) {
        log->printf("\n%s", wav.getError());
        return false;
    }
    return true;
}

bool TrelAudio::stopRendering() {
    if (!wav.isOpen())
        return false;
    if (!wav.finish()) {
        log->printf("\n%s", wav.getError());
        return false;
    }
    return true;
}

void TrelAudio::startOutput() {
    if (outputTried || outputPlace == kNoOutputYet)
        return;
    outputTried = true;
    std::string reason = "running headless";
    if (outputPlace == kWindow) {
        output = new TrelSoundOutput();
        if (output->start(mixer.getRate(), reason))
            return;
        delete output;
        output = nullptr;
    }
    log->warn("No sound is heard (%s); the game plays on silently.", reason.c_str());
}

void TrelAudio::tick_(int framerate) {
    if (!outputTried && mixer.isActive())
        startOutput();
    mixer.mixTick(framerate);
    if (mixer.getMusicError()[0] != '\0') {
        log->printf("\n%s", mixer.getMusicError());
        mixer.clearMusicError_();
    }
    if (output != nullptr)
        output->feed(mixer.getTickSamples(), mixer.getTickFrames());
    wav.write(mixer.getTickSamples(), mixer.getTickFrames());
}

void TrelAudio::stopOutput_() {
    delete output;
    output = nullptr;
    outputTried = false;
    stopRendering();
}
