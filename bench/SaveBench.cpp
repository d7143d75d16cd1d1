// Saving and loading a save of 10,000 values (integers, 16.16 values, short texts and lists of
// two, as a game's progress holds them; about 230 KB) in a folder under /tmp, and apart from
// them, the flushes a save makes: the same number of bytes written to a file that is flushed,
// then its folder flushed, as the store does. What a save costs beyond its flushes is the
// difference.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "trel.h"

namespace {

TrelSave tenThousandValues() {
    TrelSave save;
    for (int i = 0; i < 10000; ++i) {
        const std::string name = "value " + std::to_string(i);
        switch (i % 4) {
        case 0:
            save.setInt(name, i * 7919);
            break;
        case 1:
            save.setFixed(name, fixedpoint::fix16(i));
            break;
        case 2:
            save.setText(name, "room " + std::to_string(i));
            break;
        default: {
            TrelSaveValue place = TrelSaveValue::ofList();
            place.add(TrelSaveValue::ofInt(i));
            place.add(TrelSaveValue::ofInt(-i));
            save.set(name, place);
        }
        }
    }
    return save;
}

std::int64_t fileSize(const std::string& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 ? static_cast<std::int64_t>(info.st_size) : 0;
}

void removeFolder(const std::string& folder) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

std::string folderForBench() {
    char name[] = "/tmp/trel-bench-saves-XXXXXX";
    return mkdtemp(name) != nullptr ? name : "";
}

void BM_save10000Values(benchmark::State& state) {
    TrelSaveStore store(nullptr, "Bench");
    store.setFolder(folderForBench());
    TrelSave save = tenThousandValues();
    for (auto _ : state)
        if (!store.save("progress", save))
            state.SkipWithError(store.getError());
    state.SetBytesProcessed(state.iterations() * fileSize(store.pathOf("progress")));
    removeFolder(store.getFolder());
}

void BM_load10000Values(benchmark::State& state) {
    TrelSaveStore store(nullptr, "Bench");
    store.setFolder(folderForBench());
    TrelSave save = tenThousandValues();
    store.save("progress", save);
    for (auto _ : state) {
        TrelSave loaded;
        if (store.load("progress", loaded) != TrelSaveStore::kLoaded)
            state.SkipWithError(store.getError());
        benchmark::DoNotOptimize(loaded.getValues().size());
    }
    removeFolder(store.getFolder());
}

void BM_saveFlushesAlone(benchmark::State& state) {
    TrelSaveStore store(nullptr, "Bench");
    const std::string folder = folderForBench();
    store.setFolder(folder);
    TrelSave save = tenThousandValues();
    store.save("progress", save);
    const std::string bytes(static_cast<std::size_t>(fileSize(store.pathOf("progress"))), 'x');
    for (auto _ : state) {
        const int file = open((folder + "/flushed").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        benchmark::DoNotOptimize(write(file, bytes.data(), bytes.size()));
        fsync(file);
        close(file);
        const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        fsync(dir);
        close(dir);
    }
    removeFolder(folder);
}

} // namespace

BENCHMARK(BM_save10000Values)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_load10000Values)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_saveFlushesAlone)->Unit(benchmark::kMillisecond);
