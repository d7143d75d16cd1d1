#include "SaveFuzzInput.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cstring>

#include "save/TrelSave.h"
#include "save/TrelSaveStore.h"

std::string loadSaveFuzzInput(const std::uint8_t* data, std::size_t size) {
    // Sealed again with the checksum of what it holds, so that mutations reach the values
    // instead of stopping at the checksum; inputs of odd length are kept as they are.
    std::string bytes(reinterpret_cast<const char*>(data), size);
    if (size > 8 && size % 2 == 0) {
        const std::uint64_t sum = XXH3_64bits(data, size - 8);
        for (int i = 0; i < 8; ++i)
            bytes[size - 8 + i] = static_cast<char>(sum >> (8 * i) & 0xff);
    }
    TrelSaveStore store(nullptr, "Saver");
    TrelSave save;
    if (store.loadBytes(bytes.data(), size, "fuzz.sav", save) == TrelSaveStore::kRefused) {
        const char* error = store.getError();
        if (std::strstr(error, "\"fuzz.sav\"") == nullptr || std::strchr(error, '\n') != nullptr)
            return std::string("a refusal that is not one line naming the file: ") + error;
        return save.getValues().empty() ? "" : "a refused save left values behind";
    }
    for (const auto& named : save.getValues()) {
        if (!TrelSave::isValidName(named.first))
            return "a save with the name \"" + named.first + "\" was accepted";
        if (named.second.getDepth() > TrelSaveValue::kMaxDepth)
            return "a save with lists nested too deep was accepted";
    }
    return "";
}
