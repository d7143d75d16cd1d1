#ifndef TREL_FUZZ_FILE_H
#define TREL_FUZZ_FILE_H

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// Writes a fuzz input's bytes as the file name, for a loader to read. Returns an empty string,
// or what went wrong.
inline std::string writeFuzzFile(const std::string& name, const std::uint8_t* data,
                                 std::size_t size) {
    std::FILE* out = std::fopen(name.c_str(), "wb");
    if (out == nullptr)
        return "the input could not be written to " + name;
    const bool written = std::fwrite(data, 1, size, out) == size;
    if (std::fclose(out) != 0 || !written)
        return "the input could not be written to " + name;
    return "";
}

#endif
