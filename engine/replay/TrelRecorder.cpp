#include "replay/TrelRecorder.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "core/TrelSystem.h"
#include "image/TrelFileBytes.h"
#include "replay/internal/TrelRecording.h"
#include "world/TrelZone.h"

TrelRecorder::TrelRecorder(TrelSystem* owner) : system(owner) {
}

TrelRecorder::~TrelRecorder() {
    if (out != nullptr)
        finish();
}

bool TrelRecorder::fail(const std::string& reason) {
    error = "Cannot record to " + TrelFileBytes::quoted(fileName) + ": " + reason + ".";
    system->consprintf("\n%s", error.c_str());
    return false;
}

void TrelRecorder::write(const std::string& bytes) {
    written += bytes;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size())
        writeFailed = true;
}

bool TrelRecorder::start(const char* file, std::uint32_t seed) {
    if (out != nullptr) {
        fileName = file != nullptr ? file : "";
        return fail("a recording is already open");
    }
    fileName = file != nullptr ? file : "";
    out = std::fopen(fileName.c_str(), "wb");
    if (out == nullptr)
        return fail(std::strerror(errno));
    written.clear();
    error.clear();
    writeFailed = false;
    ticks = 0;
    lastHash = 0;
    last.assign(TrelInput::kCodes, 0);
    write(TrelRecording::header(TREL_VERSION_STRING, system->getName(), system->framerate, seed));
    std::srand(seed);
    system->input.reset_();
    system->consprintf("\n\nRecording to %s.", TrelFileBytes::quoted(fileName).c_str());
    return true;
}

bool TrelRecorder::step() {
    if (out == nullptr || system->runTicks(1) != 1)
        return false;
    const std::array<std::uint8_t, TrelInput::kCodes>& state = system->input.getState_();
    std::vector<std::uint8_t> changed;
    for (int code = 0; code < TrelInput::kCodes; ++code) {
        if (state[code] != last[code])
            changed.push_back(static_cast<std::uint8_t>(code));
        last[code] = state[code];
    }
    lastHash = system->zone != nullptr ? system->zone->stateHash() : 0;
    std::string tick;
    TrelRecording::appendTick(tick, changed, lastHash);
    write(tick);
    ++ticks;
    return true;
}

void TrelRecorder::run() {
    while (step()) {
    }
}

bool TrelRecorder::finish() {
    if (out == nullptr)
        return false;
    std::string end;
    TrelRecording::appendEnd(end, static_cast<std::uint32_t>(ticks));
    write(end);
    std::string sum;
    TrelRecording::appendChecksum(sum, TrelRecording::checksum(written.data(), written.size()));
    write(sum);
    bool closed = std::fclose(out) == 0;
    out = nullptr;
    written.clear();
    if (writeFailed || !closed)
        return fail("the file could not be written completely");
    system->consprintf("\nRecorded %d ticks to %s.", ticks,
                       TrelFileBytes::quoted(fileName).c_str());
    return true;
}
