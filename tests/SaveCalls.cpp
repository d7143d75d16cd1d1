#include "SaveCalls.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace saveCalls {

std::atomic<int>* phase = nullptr;

void setPhase(Phase now) {
    if (phase != nullptr)
        phase->store(now);
}

namespace {

bool recording = false;
std::vector<std::string> calls;

void note(const std::string& call) {
    if (recording)
        calls.push_back(call);
}

std::string pathOf(int fd) {
    char link[64], target[PATH_MAX];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, target, sizeof target - 1);
    return length > 0 ? std::string(target, static_cast<std::size_t>(length)) : "?";
}

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

void startRecording() {
    calls.clear();
    recording = true;
}

std::vector<std::string> stopRecording() {
    recording = false;
    return calls;
}

} // namespace saveCalls

using saveCalls::setPhase;

extern "C" int fsync(int fd) {
    static auto next = saveCalls::real<int (*)(int)>("fsync");
    struct stat info;
    const bool folder = fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    saveCalls::note("fsync " + saveCalls::pathOf(fd));
    setPhase(saveCalls::kFlushing);
    const int result = next(fd);
    setPhase(folder ? saveCalls::kOutside : saveCalls::kRenaming);
    return result;
}

extern "C" int link(const char* from, const char* to) {
    static auto next = saveCalls::real<int (*)(const char*, const char*)>("link");
    saveCalls::note(std::string("link ") + from + " " + to);
    setPhase(saveCalls::kRenaming);
    return next(from, to);
}

extern "C" int rename(const char* from, const char* to) {
    static auto next = saveCalls::real<int (*)(const char*, const char*)>("rename");
    saveCalls::note(std::string("rename ") + from + " " + to);
    setPhase(saveCalls::kRenaming);
    return next(from, to);
}
