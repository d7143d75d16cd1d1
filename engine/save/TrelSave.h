#ifndef TREL_SAVE_H
#define TREL_SAVE_H

#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "base/TrelExport.h"
#include "save/TrelSaveValue.h"

// A saved game or a game's settings: named values, read and written as a whole by a
// TrelSaveStore. Names are 1 to 255 bytes with no control characters; a setter given any
// other name stores nothing and returns false. Values are kept in name order, so the same
// values always make the same file.
class TREL_API TrelSave {
public:
    static const std::size_t kMaxName = 255;

    bool set(const std::string& name, const TrelSaveValue& value);
    bool setInt(const std::string& name, std::int64_t n) {
        return set(name, TrelSaveValue::ofInt(n));
    }
    bool setFixed(const std::string& name, fixedpoint::fix16 f) {
        return set(name, TrelSaveValue::ofFixed(f));
    }
    bool setText(const std::string& name, const std::string& text) {
        return set(name, TrelSaveValue::ofText(text));
    }
    bool setBytes(const std::string& name, const std::string& bytes) {
        return set(name, TrelSaveValue::ofBytes(bytes));
    }

    // kNone for a name not in the save.
    const TrelSaveValue& get(const std::string& name) const;
    // The value, or otherwise when the name is missing or holds another type.
    std::int64_t getInt(const std::string& name, std::int64_t otherwise = 0) const {
        return get(name).getInt(otherwise);
    }
    fixedpoint::fix16 getFixed(const std::string& name,
                               fixedpoint::fix16 otherwise = fixedpoint::fix16()) const {
        return get(name).getFixed(otherwise);
    }
    std::string getText(const std::string& name, const std::string& otherwise = "") const {
        return get(name).getType() == TrelSaveValue::kText ? get(name).getText() : otherwise;
    }
    bool has(const std::string& name) const { return values.count(name) != 0; }
    void remove(const std::string& name) { values.erase(name); }
    void clear() { values.clear(); }
    const std::map<std::string, TrelSaveValue>& getValues() const { return values; }

    // The game's version of what it saves, which the game sets before writing; a store reading
    // an older one upgrades it (TrelSaveStore::setVersion).
    void setVersion(std::uint32_t v) { version = v; }
    std::uint32_t getVersion() const { return version; }

    // The checksum of the file this save was read from or last written to (0 for neither): what
    // a recording that starts from it keeps (TrelRecorder::setStartingSave).
    std::uint64_t getChecksum() const { return checksum; }

    static bool isValidName(const std::string& name);

    // Called by TrelSaveStore and the file reader only: the checksum, and a value whose name
    // was checked and follows every name already held, appended without a search.
    void setChecksum_(std::uint64_t c) { checksum = c; }
    void append_(std::string&& name, TrelSaveValue&& value) {
        values.emplace_hint(values.end(), std::move(name), std::move(value));
    }

private:
    std::map<std::string, TrelSaveValue> values;
    std::uint32_t version = 0;
    std::uint64_t checksum = 0;
};

#endif
