#include "save/TrelSave.h"

bool TrelSave::set(const std::string& name, const TrelSaveValue& value) {
    if (!isValidName(name))
        return false;
    values[name] = value;
    return true;
}

const TrelSaveValue& TrelSave::get(const std::string& name) const {
    static const TrelSaveValue nothing;
    auto found = values.find(name);
    return found == values.end() ? nothing : found->second;
}

bool TrelSave::isValidName(const std::string& name) {
    if (name.empty() || name.size() > kMaxName)
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == 0x7f)
            return false;
    return true;
}
