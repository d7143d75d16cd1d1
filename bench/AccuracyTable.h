#ifndef TREL_ACCURACY_TABLE_H
#define TREL_ACCURACY_TABLE_H

// Prints each fixed-point function's largest error against a double-precision reference
// over a sweep, next to Allegro's fixed-point function and the C library's float function.
void printAccuracyTable();

#endif
