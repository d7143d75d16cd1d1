#include "save/TrelSaveValue.h"

TrelSaveValue TrelSaveValue::ofInt(std::int64_t n) {
    TrelSaveValue value;
    value.type = kInt;
    value.number = n;
    return value;
}

TrelSaveValue TrelSaveValue::ofFixed(fixedpoint::fix16 f) {
    TrelSaveValue value;
    value.type = kFixed;
    value.number = f.raw;
    return value;
}

TrelSaveValue TrelSaveValue::ofText(const std::string& text) {
    TrelSaveValue value;
    value.type = kText;
    value.data = text;
    return value;
}

TrelSaveValue TrelSaveValue::ofBytes(const std::string& bytes) {
    TrelSaveValue value;
    value.type = kBytes;
    value.data = bytes;
    return value;
}

TrelSaveValue TrelSaveValue::ofList() {
    TrelSaveValue value;
    value.type = kList;
    return value;
}

const TrelSaveValue& TrelSaveValue::getItem(std::size_t index) const {
    static const TrelSaveValue nothing;
    return index < items.size() ? items[index] : nothing;
}

TrelSaveValue& TrelSaveValue::add(const TrelSaveValue& item) {
    static TrelSaveValue discarded;
    if (type != kList) {
        discarded = TrelSaveValue();
        return discarded;
    }
    items.push_back(item);
    return items.back();
}

int TrelSaveValue::getDepth() const {
    if (type != kList)
        return 0;
    int deepest = 0;
    for (const TrelSaveValue& item : items) {
        const int depth = item.getDepth();
        if (depth > deepest)
            deepest = depth;
    }
    return deepest + 1;
}

bool TrelSaveValue::operator==(const TrelSaveValue& other) const {
    return type == other.type && number == other.number && data == other.data &&
           items == other.items;
}

const std::string& TrelSaveValue::none() {
    static const std::string empty;
    return empty;
}
