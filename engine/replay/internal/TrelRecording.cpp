#include "replay/internal/TrelRecording.h"

#define XXH_INLINE_ALL // header-only: nothing of xxHash is linked or exported
#include <xxhash.h>

#include <cstring>

#include "input/TrelInput.h"

namespace {

const unsigned char kMagic[8] = {'T', 'r', 'e', 'l', 'R', 'e', 'c', 0x1a};

void put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i) & 0xff));
}

void putText(std::string& out, const std::string& text) {
    std::size_t length = text.size() < 0xffff ? text.size() : 0xffff;
    put(out, length, 2);
    out.append(text, 0, length);
}

} // namespace

// Bytes read in order; reading past the end sets cutShort and gives 0.
struct TrelRecording::Reader {
    const unsigned char* data;
    std::size_t size;
    std::size_t at = 0;
    bool cutShort = false;

    std::uint64_t number(int bytes) {
        if (size - at < static_cast<std::size_t>(bytes)) {
            cutShort = true;
            at = size;
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<std::uint64_t>(data[at + i]) << (8 * i);
        at += static_cast<std::size_t>(bytes);
        return value;
    }
    std::string text() {
        std::size_t length = static_cast<std::size_t>(number(2));
        if (size - at < length) {
            cutShort = true;
            at = size;
            return std::string();
        }
        std::string value(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return value;
    }
};

std::string TrelRecording::header(const std::string& engineVersion, const std::string& gameName,
                                  int ticksPerSecond, std::uint32_t randomSeed,
                                  std::uint64_t startingSave) {
    std::string out(reinterpret_cast<const char*>(kMagic), sizeof kMagic);
    put(out, kVersion, 2);
    putText(out, engineVersion);
    putText(out, gameName);
    put(out, static_cast<std::uint64_t>(ticksPerSecond), 2);
    put(out, randomSeed, 4);
    put(out, startingSave, 8);
    return out;
}

void TrelRecording::appendTick(std::string& out, const std::vector<std::uint8_t>& changed,
                               std::uint64_t hash) {
    out.push_back(static_cast<char>(changed.size()));
    out.append(changed.begin(), changed.end());
    put(out, hash, 8);
}

void TrelRecording::appendSound(std::string& out, std::uint64_t hash) {
    out.push_back(static_cast<char>(kSound));
    put(out, hash, 8);
}

std::uint64_t TrelRecording::soundHash(std::uint64_t previous, const std::int16_t* samples,
                                       int frames) {
    return XXH3_64bits_withSeed(samples, static_cast<std::size_t>(frames) * 4, previous);
}

void TrelRecording::appendEnd(std::string& out, std::uint32_t ticks) {
    out.push_back(static_cast<char>(kEnd));
    put(out, ticks, 4);
}

void TrelRecording::appendChecksum(std::string& out, std::uint64_t sum) {
    put(out, sum, 8);
}

std::uint64_t TrelRecording::checksum(const void* data, std::size_t size) {
    return XXH3_64bits(data, size);
}

bool TrelRecording::parse(const unsigned char* data, std::size_t size, std::string& fault) {
    Reader in{data, size};
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        fault = "is not a recording";
        return false;
    }
    in.at = sizeof kMagic;
    if (!parseHeader(in, fault) || !parseTicks(in, fault))
        return false;
    std::size_t summed = in.at;
    std::uint64_t stored = in.number(8);
    if (in.cutShort) {
        fault = "is cut short (" + std::to_string(size) + " bytes)";
        return false;
    }
    if (in.at != size) {
        fault = "has " + std::to_string(size - in.at) + " bytes after its end";
        return false;
    }
    if (stored != checksum(data, summed)) {
        fault = "is damaged: its checksum does not match its content";
        return false;
    }
    return true;
}

bool TrelRecording::parseHeader(Reader& in, std::string& fault) {
    std::uint64_t version = in.number(2);
    if (!in.cutShort && (version < kOldestVersion || version > kVersion)) {
        fault = "is of recording format version " + std::to_string(version) +
                "; this engine plays versions " + std::to_string(kOldestVersion) + " to " +
                std::to_string(kVersion);
        return false;
    }
    formatVersion = static_cast<int>(version);
    engine = in.text();
    game = in.text();
    framerate = static_cast<int>(in.number(2));
    seed = static_cast<std::uint32_t>(in.number(4));
    save = formatVersion >= 3 ? in.number(8) : 0;
    if (in.cutShort) {
        fault = "is cut short in its header";
        return false;
    }
    return true;
}

bool TrelRecording::parseTicks(Reader& in, std::string& fault) {
    tickStarts.clear();
    codes.clear();
    hashes.clear();
    soundHashes.clear();
    soundTicks.clear();
    for (;;) {
        std::size_t at = in.at;
        std::uint64_t count = in.number(1);
        if (in.cutShort) {
            fault = "is cut short after tick " + std::to_string(hashes.size());
            return false;
        }
        if (count == kEnd)
            break;
        if (count == kSound && formatVersion >= 2 && !hashes.empty()) {
            soundTicks.push_back(static_cast<int>(hashes.size()));
            soundHashes.push_back(in.number(8));
            continue;
        }
        if (count > static_cast<std::uint64_t>(TrelInput::kCodes)) {
            fault = "is damaged: tick " + std::to_string(hashes.size() + 1) + " at byte " +
                    std::to_string(at) + " changes " + std::to_string(count) + " inputs";
            return false;
        }
        tickStarts.push_back(codes.size());
        int last = -1;
        for (std::uint64_t i = 0; i < count && !in.cutShort; ++i) {
            int code = static_cast<int>(in.number(1));
            if (!in.cutShort && (code <= last || code >= TrelInput::kCodes)) {
                fault = "is damaged: tick " + std::to_string(hashes.size() + 1) +
                        " holds the input code " + std::to_string(code) + " out of order";
                return false;
            }
            last = code;
            codes.push_back(static_cast<std::uint8_t>(code));
        }
        hashes.push_back(in.number(8));
        if (in.cutShort) {
            fault = "is cut short in tick " + std::to_string(hashes.size());
            return false;
        }
    }
    std::uint64_t ticks = in.number(4);
    if (!in.cutShort && ticks != hashes.size()) {
        fault = "is damaged: it ends after " + std::to_string(hashes.size()) +
                " ticks but counts " + std::to_string(ticks);
        return false;
    }
    return true;
}
