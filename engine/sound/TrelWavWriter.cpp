#include "sound/TrelWavWriter.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "base/TrelFileBytes.h"

namespace {

const std::uint64_t kMaxData = 0xffffffffu - 36;

void put(unsigned char* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i) & 0xff);
}

// The 44-byte header of a 16-bit stereo PCM file with this much data.
void header(unsigned char* h, int rate, std::uint32_t dataBytes) {
    std::memcpy(h, "RIFF", 4);
    put(h + 4, 36 + dataBytes, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    put(h + 16, 16, 4); // the fmt chunk's size
    put(h + 20, 1, 2);  // PCM
    put(h + 22, 2, 2);  // channels
    put(h + 24, static_cast<std::uint32_t>(rate), 4);
    put(h + 28, static_cast<std::uint32_t>(rate) * 4, 4); // bytes a second
    put(h + 32, 4, 2);                                    // bytes a frame
    put(h + 34, 16, 2);                                   // bits a sample
    std::memcpy(h + 36, "data", 4);
    put(h + 40, dataBytes, 4);
}

} // namespace

TrelWavWriter::~TrelWavWriter() {
    finish();
}

bool TrelWavWriter::start(const char* file, int framesPerSecond) {
    const std::string name = file != nullptr ? file : "";
    if (out != nullptr) {
        error.set(("Cannot render to " + TrelFileBytes::quoted(name) + ": " +
                   TrelFileBytes::quoted(fileName.get()) + " is being written.")
                      .c_str());
        return false;
    }
    out = std::fopen(name.c_str(), "wb");
    if (out == nullptr) {
        error.set(
            ("Cannot render to " + TrelFileBytes::quoted(name) + ": " + std::strerror(errno) + ".")
                .c_str());
        return false;
    }
    fileName.set(name.c_str());
    rate = framesPerSecond;
    dataBytes = 0;
    failed = false;
    unsigned char h[44];
    header(h, rate, 0);
    failed = std::fwrite(h, 1, sizeof h, out) != sizeof h;
    return true;
}

void TrelWavWriter::write(const std::int16_t* samples, int frames) {
    if (out == nullptr || frames <= 0)
        return;
    // WAV holds little-endian samples, as this machine does.
    unsigned char bytes[4096];
    for (int i = 0; i < frames * 2;) {
        int n = 0;
        for (; n < static_cast<int>(sizeof bytes) && i < frames * 2; n += 2, ++i)
            put(bytes + n, static_cast<std::uint16_t>(samples[i]), 2);
        failed |=
            std::fwrite(bytes, 1, static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n);
        dataBytes += static_cast<std::uint64_t>(n);
    }
}

bool TrelWavWriter::finish() {
    if (out == nullptr)
        return false;
    bool ok = !failed && dataBytes <= kMaxData;
    unsigned char h[44];
    header(h, rate, static_cast<std::uint32_t>(ok ? dataBytes : 0));
    ok &= std::fseek(out, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, out) == sizeof h;
    ok &= std::fclose(out) == 0;
    out = nullptr;
    if (!ok)
        error.set(("Cannot render to " + TrelFileBytes::quoted(fileName.get()) +
                   ": it could not all be written.")
                      .c_str());
    return ok;
}
