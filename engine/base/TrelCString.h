#ifndef TREL_CSTRING_H
#define TREL_CSTRING_H

#include "base/TrelExport.h"

// An owned C string on the C heap, sized exactly to its text.
// The pointer returned by set/append stays valid until the next set, append or destruction.
// A null text counts as an empty one.
class TREL_API TrelCString {
public:
    TrelCString() : str(nullptr) {}
    ~TrelCString();

    TrelCString(const TrelCString&) = delete;
    TrelCString& operator=(const TrelCString&) = delete;

    // Both return the new buffer, or null when memory ran out (the string is then empty).
    // The text may point into this string's own buffer.
    char* set(const char* text);
    char* append(const char* text);
    // The text, or "" while none has been set: never null, so it can go straight to printf.
    const char* get() const { return str != nullptr ? str : ""; }

    char* str; // NUL-terminated text, or null while no text has been set
};

#endif
