#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "WorldSupport.h"

namespace {

// Whether two boxes overlap, straight from the definition: the distance between the centres
// is less than half the sum of the sizes, on both axes (at twice the scale, so exact).
bool overlapping(TrelObject* a, TrelObject* b) {
    Vec pa, pb, sa, sb;
    a->getPos(pa);
    b->getPos(pb);
    a->getSize(sa);
    b->getSize(sb);
    if (sa.x.raw <= 0 || sa.y.raw <= 0 || sb.x.raw <= 0 || sb.y.raw <= 0)
        return false;
    const std::int64_t dx = 2 * (std::int64_t(pa.x.raw) - pb.x.raw);
    const std::int64_t dy = 2 * (std::int64_t(pa.y.raw) - pb.y.raw);
    return std::llabs(dx) < std::int64_t(sa.x.raw) + sb.x.raw &&
           std::llabs(dy) < std::int64_t(sa.y.raw) + sb.y.raw;
}

std::vector<TrelOverlaps::Pair> allPairs(const std::vector<TrelObject*>& objects) {
    std::vector<TrelOverlaps::Pair> pairs;
    for (std::size_t i = 0; i < objects.size(); ++i)
        for (std::size_t j = i + 1; j < objects.size(); ++j)
            if (!objects[i]->isDestroyed() && !objects[j]->isDestroyed() &&
                overlapping(objects[i], objects[j]))
                pairs.push_back({objects[i], objects[j]});
    return pairs;
}

bool samePairs(const std::vector<TrelOverlaps::Pair>& a, const std::vector<TrelOverlaps::Pair>& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].first != b[i].first || a[i].second != b[i].second)
            return false;
    return true;
}

} // namespace

// Random sets, crowded and sparse, with sizes from nothing to half the level, fractional
// positions and odd sizes, some objects destroyed: the grid finds exactly the pairs that
// comparing every pair finds, in list order, over a layer and over a zone of two layers; and
// a rectangle finds the objects whose boxes overlap it.
TEST(Overlaps, PairsAndRectanglesAgreeWithComparingEveryPair) {
    TrelSystem system;
    std::mt19937 random(20);
    auto upTo = [&](std::int32_t n) { return static_cast<std::int32_t>(random() % (n + 1u)); };
    TrelOverlaps finder;
    std::vector<TrelOverlaps::Pair> pairs;
    for (int round = 0; round < 60; ++round) {
        TrelZone zone(&system);
        zone.addLayer(1, 1, 1, 1);
        zone.addLayer(1, 1, 1, 1);
        const int count = 1 + upTo(300);
        const std::int32_t spread = (1 + upTo(2000)) << 16;
        for (int i = 0; i < count; ++i) {
            const std::int32_t w = upTo(10) == 0 ? upTo(spread / 2) : upTo(40 << 16);
            auto* o =
                new TrelObject(zone.getLayer(i % 2), fix16::fromRaw(upTo(spread) - spread / 4),
                               fix16::fromRaw(upTo(spread)), fix16::fromRaw(upTo(6) ? w : 0),
                               fix16::fromRaw(w / 2 + upTo(9 << 16)));
            if (upTo(19) == 0)
                o->destroy();
        }
        // Edges that meet exactly do not overlap; a 65536th of a pixel more does.
        auto* left = new TrelObject(zone.getLayer(0), fix16(8), fix16(8), fix16(16), fix16(16));
        auto* right = new TrelObject(zone.getLayer(0), fix16(24), fix16(8), fix16(16), fix16(16));
        new TrelObject(zone.getLayer(0), fix16::fromRaw((24 << 16) - 1), fix16(8), fix16(16),
                       fix16(16));

        std::vector<TrelObject*> layer0(zone.getLayer(0)->getObjects().begin(),
                                        zone.getLayer(0)->getObjects().end());
        std::vector<TrelObject*> both = layer0;
        both.insert(both.end(), zone.getLayer(1)->getObjects().begin(),
                    zone.getLayer(1)->getObjects().end());
        finder.findPairs(&zone, pairs);
        ASSERT_TRUE(samePairs(pairs, allPairs(both))) << "round " << round;
        finder.findPairs(zone.getLayer(0), pairs);
        ASSERT_TRUE(samePairs(pairs, allPairs(layer0))) << "round " << round;
        EXPECT_FALSE(overlapping(left, right));

        // A rectangle is a box of its own: placed as an object in another zone, it overlaps
        // the same objects.
        const fix16 x = fix16::fromRaw(upTo(spread) - spread / 4), y = fix16::fromRaw(upTo(spread));
        // Even raw sizes, so that the centre, x + w / 2, is exact.
        const fix16 w = fix16::fromRaw(2 * upTo(100 << 16)), h = fix16::fromRaw(2 * upTo(45 << 16));
        TrelZone elsewhere(&system);
        elsewhere.addLayer(1, 1, 1, 1);
        auto* rectangle = new TrelObject(elsewhere.getLayer(0), x + w / 2, y + h / 2, w, h);
        std::vector<TrelObject*> found, expected;
        TrelOverlaps::findInside(zone.getLayer(0), x, y, w, h, found);
        for (TrelObject* o : layer0)
            if (!o->isDestroyed() && overlapping(o, rectangle))
                expected.push_back(o);
        EXPECT_EQ(found, expected) << "round " << round;
    }
}
