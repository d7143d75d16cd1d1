#include "save/TrelSettings.h"

#include <string>

#include "core/TrelSystem.h"
#include "save/TrelSaveStore.h"

namespace {

const char* const kMaster = "master volume";
const char* const kEffects = "effects volume";
const char* const kMusic = "music volume";
const char* const kScale = "screen scale";
// Followed by the action's name: a list of its codes.
const std::string kKeys = "keys: ";

} // namespace

TrelSave TrelSettings::read(TrelSystem& system) {
    TrelSave settings;
    const TrelMixer& mixer = system.audio.mixer;
    settings.setInt(kMaster, mixer.getMasterVolume());
    settings.setInt(kEffects, mixer.getEffectsVolume());
    settings.setInt(kMusic, mixer.getMusicVolume());
    settings.setInt(kScale, system.screenScale);
    const TrelInput& input = system.input;
    for (int action = 0; action < input.getActionCount(); ++action) {
        TrelSaveValue codes = TrelSaveValue::ofList();
        for (int code : input.getActionCodes(action))
            codes.add(TrelSaveValue::ofInt(code));
        settings.set(kKeys + input.getActionName(action), codes);
    }
    return settings;
}

bool TrelSettings::load(TrelSystem& system) {
    TrelSave saved;
    const TrelSaveStore::Loaded found = store->load("settings", saved);
    if (found == TrelSaveStore::kNone || found == TrelSaveStore::kRefused) {
        last = read(system);
        return found == TrelSaveStore::kNone;
    }
    TrelMixer& mixer = system.audio.mixer;
    mixer.setMasterVolume(static_cast<int>(saved.getInt(kMaster, mixer.getMasterVolume())));
    mixer.setEffectsVolume(static_cast<int>(saved.getInt(kEffects, mixer.getEffectsVolume())));
    mixer.setMusicVolume(static_cast<int>(saved.getInt(kMusic, mixer.getMusicVolume())));
    const std::int64_t scale = saved.getInt(kScale, system.screenScale);
    system.screenScale = static_cast<std::int32_t>(scale < 1           ? 1
                                                   : scale > kMaxScale ? kMaxScale
                                                                       : scale);
    TrelInput& input = system.input;
    for (int action = 0; action < input.getActionCount(); ++action) {
        const TrelSaveValue& codes = saved.get(kKeys + input.getActionName(action));
        if (codes.getType() != TrelSaveValue::kList)
            continue;
        input.unbindAction(action);
        for (std::size_t i = 0; i < codes.getCount(); ++i) {
            const std::int64_t code = codes.getItem(i).getInt(-1);
            if (code >= 0 && code < TrelInput::kCodes)
                input.bindAction(action, static_cast<int>(code));
        }
    }
    last = read(system);
    return true;
}

bool TrelSettings::save(TrelSystem& system) {
    TrelSave now = read(system);
    if (now.getValues() == last.getValues())
        return true;
    if (!store->save("settings", now))
        return false;
    last = now;
    return true;
}
