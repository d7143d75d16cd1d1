#ifndef TREL_TEST_REFERENCE_RENDERER_H
#define TREL_TEST_REFERENCE_RENDERER_H

#include <string>

struct BITMAP;
class TrelIGfx;
class TrelZone;

// The zone renderer at its plainest, to hold the engine's against: every visited cell drawn
// with draw_sprite (or its marker) in row order, then each object's sprite and its onDraw,
// layer after layer, into target (gfx's target while it draws, so that hooks find it).
void referenceDrawZone(TrelIGfx& gfx, BITMAP* target, TrelZone* zone, int x, int y, int w, int h);

// The number of pixels in which two bitmaps of the same size differ, and the first of them.
int differingPixels(BITMAP* a, BITMAP* b, std::string* first = nullptr);

// Fills a bitmap with a deterministic pattern, the "previous frame" both renderers start on.
void fillWithNoise(BITMAP* bitmap, unsigned seed);

#endif
