#include "particles/TrelEmitter.h"

#include <allegro.h>

#include <algorithm>

#include "asset/TrelISprite.h"
#include "asset/TrelResource.h"
#include "math/FixedMath.h"
#include "random/TrelRandom.h"
#include "world/TrelLayer.h"
#include "world/TrelState.h"

namespace {

// start + (end - start) × age ÷ life, rounded toward zero.
int along(int start, int end, std::int32_t age, std::int32_t life) {
    return start + static_cast<int>(static_cast<std::int64_t>(end - start) * age / life);
}

int colourAlong(int start, int end, std::int32_t age, std::int32_t life) {
    int colour = 0;
    for (int shift = 0; shift <= 16; shift += 8)
        colour |= along(start >> shift & 0xff, end >> shift & 0xff, age, life) << shift;
    return colour;
}

} // namespace

TrelEmitter::TrelEmitter(TrelLayer* home, Fixed x, Fixed y, TrelRandom* generator, int capacity)
    : TrelObject(home, x, y, Fixed(), Fixed()), random(generator),
      pool(static_cast<std::size_t>(std::max(capacity, 0))) {
    setSelfDrawn(true);
}

void TrelEmitter::emit() {
    if (live == pool.size())
        return;
    Particle& particle = pool[live++];
    Vec at;
    getPos(at);
    particle.pos = Vec(at.x + Fixed(random->range(-settings.spreadX, settings.spreadX)),
                       at.y + Fixed(random->range(-settings.spreadY, settings.spreadY)));
    const Fixed pace = random->rangeFixed(settings.speedMin, settings.speedMax + Fixed::fromRaw(1));
    const Fixed angle =
        random->rangeFixed(settings.angleMin, settings.angleMax + Fixed::fromRaw(1));
    particle.speed = vmath::rotated(Vec(pace, Fixed()), angle);
    particle.age = 0;
    particle.life = std::max(random->range(settings.lifeMin, settings.lifeMax), 1);
}

void TrelEmitter::burst(int count) {
    for (int i = 0; i < count && live < pool.size(); ++i)
        emit();
}

void TrelEmitter::onProcess() {
    // Each particle's tick; a dead one takes the last live one's place.
    for (std::size_t i = 0; i < live;) {
        Particle& particle = pool[i];
        if (++particle.age >= particle.life) {
            particle = pool[--live];
            continue;
        }
        particle.speed = particle.speed + settings.gravity;
        particle.speed = particle.speed - particle.speed * settings.drag;
        particle.pos = particle.pos + particle.speed;
        ++i;
    }
    if (emitting && settings.perTick > Fixed()) {
        owed += settings.perTick;
        const int now = owed.toInt();
        owed -= Fixed(now);
        burst(now);
    }
}

void TrelEmitter::drawPixels(BITMAP* buffer, const Particle& particle, int ox, int oy) {
    const int side = along(settings.sizeStart, settings.sizeEnd, particle.age, particle.life);
    const int rgb =
        colourAlong(settings.colourStart, settings.colourEnd, particle.age, particle.life);
    const int x = particle.pos.x.toInt() + ox - side / 2,
              y = particle.pos.y.toInt() + oy - side / 2;
    const int colour = makecol(rgb >> 16 & 0xff, rgb >> 8 & 0xff, rgb & 0xff);
    if (side <= 1)
        putpixel(buffer, x, y, colour);
    else
        rectfill(buffer, x, y, x + side - 1, y + side - 1, colour);
}

void TrelEmitter::drawFrame(BITMAP* buffer, const Particle& particle, int ox, int oy) {
    const int count = settings.frames->getSize();
    TrelISprite* frame = settings.frames->getData(
        static_cast<unsigned>(static_cast<std::int64_t>(particle.age) * count / particle.life));
    if (frame == nullptr || frame->bitmap == nullptr)
        return;
    const int x = particle.pos.x.toInt() + ox - frame->width / 2;
    const int y = particle.pos.y.toInt() + oy - frame->height / 2;
    if (bitmap_color_depth(buffer) > 8 &&
        along(settings.opacityStart, settings.opacityEnd, particle.age, particle.life) < 255)
        draw_trans_sprite(buffer, frame->bitmap, x, y); // with the blender onDraw set
    else
        draw_sprite(buffer, frame->bitmap, x, y);
}

void TrelEmitter::onDraw(BITMAP* buffer) {
    int ox, oy;
    getLayer()->getDrawOrigin(ox, oy);
    const bool blends = bitmap_color_depth(buffer) > 8;
    int lastAlpha = -1;
    for (std::size_t i = 0; i < live; ++i) {
        const Particle& particle = pool[i];
        const int alpha =
            along(settings.opacityStart, settings.opacityEnd, particle.age, particle.life);
        if (alpha <= 0 || (!blends && alpha < 128))
            continue;
        if (blends && alpha != lastAlpha) {
            // Allegro's translucency blender, as for an object's opacity.
            set_trans_blender(0, 0, 0, alpha);
            drawing_mode(alpha < 255 ? DRAW_MODE_TRANS : DRAW_MODE_SOLID, nullptr, 0, 0);
            lastAlpha = alpha;
        }
        if (settings.frames != nullptr && settings.frames->getSize() > 0)
            drawFrame(buffer, particle, ox, oy);
        else
            drawPixels(buffer, particle, ox, oy);
    }
    solid_mode();
}

void TrelEmitter::writeState(TrelState& state) const {
    state.add("particles", static_cast<std::int64_t>(live));
    state.add("owed", owed);
    for (std::size_t i = 0; i < live; ++i) {
        state.add("particle", pool[i].pos.x, pool[i].pos.y);
        state.add("particle speed", pool[i].speed.x, pool[i].speed.y);
        state.add("particle age", pool[i].age * 65536ll + pool[i].life);
    }
}
