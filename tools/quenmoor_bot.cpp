// quenmoor_bot: plays the demo headless, holding the arrow keys towards the nearest gem, and
// records what it pressed: quenmoor_bot OUT.trec [TICKS [SEED]] (defaults: 9000 ticks, two
// and a half minutes, and seed 1). Run it where data/ is found.
#include <allegro.h>

#include <cstdio>
#include <cstdlib>

#include "Ball.h"
#include "Level.h"

using fixedpoint::fix16;
using Vec = vmath::vec2<fix16>;

namespace {

// The gem closest to the ball, by the larger of the two distances; false when none is left.
bool nearestGem(Vec& found) {
    Vec b;
    ball->getPos(b);
    bool any = false;
    fix16 best;
    for (TrelObject* object : ball->getLayer()->getObjects()) {
        if (object == ball || object->isDestroyed())
            continue;
        Vec g;
        object->getPos(g);
        fix16 dx = g.x > b.x ? g.x - b.x : b.x - g.x;
        fix16 dy = g.y > b.y ? g.y - b.y : b.y - g.y;
        fix16 d = dx > dy ? dx : dy;
        if (!any || d < best) {
            best = d;
            found = g;
            any = true;
        }
    }
    return any;
}

// Holds the key towards the target on one axis, easing off as the ball's speed would carry
// it there anyway: the speed wanted is a tenth of the distance, at most 6 pixels a tick.
void steer(TrelInput& input, fix16 distance, fix16 speed, int lessKey, int moreKey) {
    fix16 wanted = distance / 10;
    const fix16 top(6);
    if (wanted > top)
        wanted = top;
    if (wanted < -top)
        wanted = -top;
    input.feed(lessKey, speed > wanted);
    input.feed(moreKey, speed < wanted);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: quenmoor_bot OUT.trec [TICKS [SEED]]\n");
        return 2;
    }
    int ticks = argc > 2 ? std::atoi(argv[2]) : 9000;
    auto seed = static_cast<std::uint32_t>(argc > 3 ? std::strtoul(argv[3], nullptr, 10) : 1);
    gameSystem.setName("Quenmoor");
    gameSystem.iface.initHeadless();
    TrelRecorder recorder(&gameSystem);
    if (!recorder.start(argv[1], seed))
        return 2;
    setUpLevel();
    TrelInput& input = gameSystem.input;
    for (int t = 0; t < ticks; ++t) {
        Vec b, v, g;
        ball->getPos(b);
        ball->getSpeed(v);
        input.releaseFed();
        if (nearestGem(g)) {
            steer(input, g.x - b.x, v.x, KEY_LEFT, KEY_RIGHT);
            steer(input, g.y - b.y, v.y, KEY_UP, KEY_DOWN);
        }
        if (!recorder.step())
            break;
    }
    std::printf("\n%d ticks, %d rounds, best time %d, last time %d, hash %016llx\n",
                recorder.getTick(), ball->rounds, ball->bestTime, ball->lastTime,
                static_cast<unsigned long long>(recorder.getHash()));
    return recorder.finish() ? 0 : 2;
}
END_OF_MAIN()
