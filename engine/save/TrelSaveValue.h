#ifndef TREL_SAVE_VALUE_H
#define TREL_SAVE_VALUE_H

#include <cstdint>
#include <string>
#include <vector>

#include "base/TrelExport.h"
#include "math/FixedPoint.h"

// One value of a saved game: a 64-bit integer, a 16.16 value, a text (UTF-8, as the game
// gives it), a block of bytes, or a list of values (which may hold lists, up to kMaxDepth
// deep). A value read as another type gives the caller's default, so a save from an older
// version of the game, or one edited by hand, never yields a value the game did not expect.
class TREL_API TrelSaveValue {
public:
    enum Type { kNone, kInt, kFixed, kText, kBytes, kList };
    // Lists inside lists, counting the outermost as 1: deeper saves are refused when read.
    static const int kMaxDepth = 16;

    TrelSaveValue() = default; // kNone: what a missing name reads as
    static TrelSaveValue ofInt(std::int64_t n);
    static TrelSaveValue ofFixed(fixedpoint::fix16 f);
    static TrelSaveValue ofText(const std::string& text);
    static TrelSaveValue ofBytes(const std::string& bytes);
    static TrelSaveValue ofList();

    Type getType() const { return type; }
    std::int64_t getInt(std::int64_t otherwise = 0) const {
        return type == kInt ? number : otherwise;
    }
    fixedpoint::fix16 getFixed(fixedpoint::fix16 otherwise = fixedpoint::fix16()) const {
        return type == kFixed ? fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(number))
                              : otherwise;
    }
    // Empty for a value of another type.
    const std::string& getText() const { return type == kText ? data : none(); }
    const std::string& getBytes() const { return type == kBytes ? data : none(); }

    // A list's items (0 for any other type); an item past the end reads as kNone.
    std::size_t getCount() const { return items.size(); }
    const TrelSaveValue& getItem(std::size_t index) const;
    // Appends to a list and returns the item added, or does nothing on a value that is not a
    // list (and returns a kNone value).
    TrelSaveValue& add(const TrelSaveValue& item);

    // Lists nested in this value, itself counting 1 when a list (0 for any other type).
    int getDepth() const;

    bool operator==(const TrelSaveValue& other) const;
    bool operator!=(const TrelSaveValue& other) const { return !(*this == other); }

private:
    static const std::string& none();

    Type type = kNone;
    std::int64_t number = 0; // kInt, and kFixed's raw value
    std::string data;        // kText, kBytes
    std::vector<TrelSaveValue> items;
};

#endif
