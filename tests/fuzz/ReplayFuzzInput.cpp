#include "ReplayFuzzInput.h"

#include <cstring>

#include "core/TrelSystem.h"
#include "replay/TrelPlayer.h"
#include "world/TrelLayer.h"
#include "world/TrelObject.h"
#include "world/TrelZone.h"

std::string playReplayFuzzInput(const std::uint8_t* data, std::size_t size, TrelSystem* system) {
    system->quit = 0;
    system->newZone("fuzz");
    system->zone->addLayer(4, 4, 8, 8);
    new TrelObject(system->zone->getLayer(0), TrelObject::Fixed(8), TrelObject::Fixed(8),
                   TrelObject::Fixed(4), TrelObject::Fixed(4));
    TrelPlayer player(system);
    if (!player.openBytes(data, size, "fuzz.trec")) {
        const char* error = player.getError();
        if (std::strstr(error, "\"fuzz.trec\"") == nullptr || std::strchr(error, '\n') != nullptr)
            return std::string("a refusal that is not one line naming the file: ") + error;
        return "";
    }
    // Stepping past the end must stop at once; a tick count is what bounds the loop.
    int limit = player.getTickCount() + 2;
    int played = 0;
    while (player.step() && played < limit)
        ++played;
    if (played >= limit)
        return "the player went on past the recording's end";
    if (!player.hasDiverged() && !player.isFinished() && system->quit == 0)
        return "the player stopped before the end without a reason";
    return "";
}
