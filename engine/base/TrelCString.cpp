#include "base/TrelCString.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

// Offset of text inside [buf, buf + size), or -1 when text lies elsewhere.
long offsetInside(const char* buf, std::size_t size, const char* text) {
    if (buf == nullptr)
        return -1;
    auto b = reinterpret_cast<std::uintptr_t>(buf);
    auto t = reinterpret_cast<std::uintptr_t>(text);
    return (t >= b && t < b + size) ? static_cast<long>(t - b) : -1;
}

} // namespace

TrelCString::~TrelCString() {
    std::free(str);
}

char* TrelCString::set(const char* text) {
    if (text == nullptr)
        text = "";
    std::size_t len = std::strlen(text);
    long self = offsetInside(str, str ? std::strlen(str) + 1 : 0, text);
    if (self >= 0) {
        // A tail of our own text: move it to the front before the block shrinks.
        std::memmove(str, text, len + 1);
    }
    char* grown = static_cast<char*>(std::realloc(str, len + 1)); // realloc(null) is malloc
    if (grown == nullptr) {
        std::free(str);
        str = nullptr;
        return nullptr;
    }
    str = grown;
    if (self < 0)
        std::memcpy(str, text, len + 1);
    return str;
}

char* TrelCString::append(const char* text) {
    if (text == nullptr)
        text = "";
    if (str == nullptr)
        return set(text);
    std::size_t oldLen = std::strlen(str);
    std::size_t addLen = std::strlen(text);
    // The block may move while it grows, so a pointer into it is kept as an offset.
    long self = offsetInside(str, oldLen + 1, text);
    char* grown = static_cast<char*>(std::realloc(str, oldLen + addLen + 1));
    if (grown == nullptr) {
        std::free(str);
        str = nullptr;
        return nullptr;
    }
    str = grown;
    const char* source = self >= 0 ? str + self : text;
    std::memmove(str + oldLen, source, addLen);
    str[oldLen + addLen] = '\0';
    return str;
}
