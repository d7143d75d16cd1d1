#ifndef TREL_BENCH_SUPPORT_H
#define TREL_BENCH_SUPPORT_H

// Installs Allegro without a display, once, for the benchmarks that need bitmaps.
void ensureAllegro();

#endif
