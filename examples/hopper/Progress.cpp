#include "Progress.h"

#include <memory>

#include "Hopper.h"

using fixedpoint::fix16;

namespace {

std::unique_ptr<TrelSaveStore> saves;
std::unique_ptr<TrelSettings> settings;

} // namespace

// guide: progress
void startSaves(TrelSystem& game) {
    saves.reset(new TrelSaveStore(&game.log, game.getName()));
    saves->setVersion(1);
    settings.reset(new TrelSettings(saves.get()));
    game.audio.mixer.setMusicVolume(160); // the default: under the effects
    settings->load(game);                 // what the player chose, over the defaults
}

TrelSaveStore& hopperSaves() {
    return *saves;
}

void saveCheckpoint(Hopper& hero) {
    TrelSave save;
    vmath::vec2<fix16> at;
    hero.getPos(at);
    save.setFixed("x", at.x);
    save.setFixed("y", at.y);
    save.setInt("score", hero.score);
    TrelSaveValue taken = TrelSaveValue::ofList();
    for (const vmath::vec2<fix16>& coin : hero.taken) {
        TrelSaveValue place = TrelSaveValue::ofList();
        place.add(TrelSaveValue::ofFixed(coin.x));
        place.add(TrelSaveValue::ofFixed(coin.y));
        taken.add(place);
    }
    save.set("taken", taken);
    saves->save("progress", save); // a failure is one line in the log: the game goes on
}

bool continueFromSave(Hopper* hero) {
    TrelSave save;
    const TrelSaveStore::Loaded found = saves->load("progress", save);
    if (found != TrelSaveStore::kLoaded && found != TrelSaveStore::kFromBackup)
        return false;
    const TrelSaveValue& taken = save.get("taken");
    for (std::size_t i = 0; i < taken.getCount(); ++i) {
        const vmath::vec2<fix16> coin(taken.getItem(i).getItem(0).getFixed(),
                                      taken.getItem(i).getItem(1).getFixed());
        for (TrelObject* thing : hero->getLayer()->getObjects()) {
            vmath::vec2<fix16> at;
            thing->getPos(at);
            if (thing != hero && at.x == coin.x && at.y == coin.y && !thing->isDestroyed()) {
                thing->destroy();
                hero->taken.push_back(coin);
            }
        }
    }
    hero->score = static_cast<int>(save.getInt("score"));
    hero->setPos(save.getFixed("x"), save.getFixed("y"));
    return true;
}

void toggleMusic(TrelSystem& game) {
    TrelMixer& mixer = game.audio.mixer;
    mixer.setMusicVolume(mixer.getMusicVolume() == 0 ? 160 : 0);
    settings->save(game); // written only because it changed
}
// guide: end
