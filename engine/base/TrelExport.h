#ifndef TREL_EXPORT_H
#define TREL_EXPORT_H

// Marks the classes and functions that trel0 exports; everything else stays hidden.
#if defined(_WIN32)
#if defined(TREL_BUILDING_LIBRARY)
#define TREL_API __declspec(dllexport)
#else
#define TREL_API __declspec(dllimport)
#endif
#else
#define TREL_API __attribute__((visibility("default")))
#endif

#endif
