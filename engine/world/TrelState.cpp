#include "world/TrelState.h"

#define XXH_INLINE_ALL // header-only: nothing of xxHash is linked or exported
#include <xxhash.h>

#include <cinttypes>
#include <cstring>
#include <new>
#include <string>

static_assert(sizeof(XXH3_state_t) <= 640 && alignof(XXH3_state_t) <= 64,
              "TrelState keeps xxHash's state in its own storage");

namespace {

XXH3_state_t* hasherIn(unsigned char* storage) {
    return std::launder(reinterpret_cast<XXH3_state_t*>(storage));
}

const bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

} // namespace

TrelState::TrelState(std::FILE* text) : textOut(text) {
    new (hasher) XXH3_state_t;
    XXH3_64bits_reset(hasherIn(hasher));
}

void TrelState::flush() {
    XXH3_64bits_update(hasherIn(hasher), staged, stagedSize);
    stagedSize = 0;
}

void TrelState::putRaw(const void* data, std::size_t size) {
    if (stagedSize + size > kStageSize)
        flush();
    if (size > kStageSize) {
        XXH3_64bits_update(hasherIn(hasher), data, size);
        return;
    }
    std::memcpy(staged + stagedSize, data, size);
    stagedSize += size;
}

void TrelState::put(std::uint64_t value, int count) {
    if (stagedSize + 8 > kStageSize)
        flush();
    // All 8 bytes are written in one store, in little-endian order; only count of them are
    // kept, the low ones.
    if (!kLittleEndian)
        value = __builtin_bswap64(value);
    std::memcpy(staged + stagedSize, &value, 8);
    stagedSize += static_cast<std::size_t>(count);
}

void TrelState::name(const char* text, int index) {
    putRaw(text, std::strlen(text) + 1);
    put(static_cast<std::uint32_t>(index), 4);
}

void TrelState::part(const char* partName, int index) {
    name(partName, index);
    if (textOut == nullptr)
        return;
    outer.set(partName);
    if (index >= 0)
        outer.append((" " + std::to_string(index)).c_str());
    where.set(outer.str);
}

void TrelState::subpart(const char* partName, int index) {
    name(partName, index);
    if (textOut == nullptr)
        return;
    where.set(outer.str);
    where.append((std::string(" ") + partName + " " + std::to_string(index)).c_str());
}

void TrelState::add(const char* valueName, std::int64_t value) {
    put(static_cast<std::uint64_t>(value), 8);
    if (textOut != nullptr)
        std::fprintf(textOut, "%s %s %" PRId64 "\n", where.get(), valueName, value);
}

void TrelState::add(const char* valueName, fixedpoint::fix16 value) {
    put(static_cast<std::uint32_t>(value.raw), 4);
    if (textOut != nullptr)
        std::fprintf(textOut, "%s %s %.5f (0x%08" PRIx32 ")\n", where.get(), valueName,
                     value.raw / 65536.0, static_cast<std::uint32_t>(value.raw));
}

void TrelState::add(const char* valueName, fixedpoint::fix16 x, fixedpoint::fix16 y) {
    put(static_cast<std::uint32_t>(x.raw) |
            static_cast<std::uint64_t>(static_cast<std::uint32_t>(y.raw)) << 32,
        8);
    if (textOut != nullptr)
        std::fprintf(textOut, "%s %s %.5f %.5f (0x%08" PRIx32 " 0x%08" PRIx32 ")\n", where.get(),
                     valueName, x.raw / 65536.0, y.raw / 65536.0, static_cast<std::uint32_t>(x.raw),
                     static_cast<std::uint32_t>(y.raw));
}

void TrelState::addCells(const short* cells, int width, int height) {
    std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (kLittleEndian) {
        putRaw(cells, 2 * count); // already in the hashed form
    } else {
        for (std::size_t i = 0; i < count; ++i)
            put(static_cast<std::uint16_t>(cells[i]), 2);
    }
    if (textOut == nullptr)
        return;
    for (int y = 0; y < height; ++y) {
        std::fprintf(textOut, "%s cells row %d:", where.get(), y);
        for (int x = 0; x < width; ++x)
            std::fprintf(textOut, " %d", cells[static_cast<std::size_t>(y) * width + x]);
        std::fputc('\n', textOut);
    }
}

std::uint64_t TrelState::hash() {
    flush();
    return XXH3_64bits_digest(hasherIn(hasher));
}
