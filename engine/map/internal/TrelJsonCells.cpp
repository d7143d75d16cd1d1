#include "map/internal/TrelJsonCells.h"

bool TrelJsonCells::number_integer(number_integer_t value) {
    if (packing && value >= 0)
        return cell(static_cast<std::uint64_t>(value));
    return flush() && add(Json(value));
}

bool TrelJsonCells::number_unsigned(number_unsigned_t value) {
    if (packing)
        return cell(value);
    return add(Json(value));
}

bool TrelJsonCells::start_object(std::size_t) {
    dataKey = false;
    return flush() && open(Json::object());
}

bool TrelJsonCells::key(string_t& name) {
    dataKey = name == "data";
    member = &(*nest.back())[name];
    return true;
}

bool TrelJsonCells::end_object() {
    if (!flush())
        return false;
    nest.pop_back();
    return true;
}

bool TrelJsonCells::start_array(std::size_t) {
    if (!flush())
        return false;
    if (dataKey) {
        dataKey = false;
        packing = true;
        packed.clear();
        return true;
    }
    return open(Json::array());
}

bool TrelJsonCells::end_array() {
    if (!packing) {
        nest.pop_back();
        return true;
    }
    packing = false;
    return add(Json::binary(std::move(packed), kCells));
}

bool TrelJsonCells::parse_error(std::size_t position, const std::string&,
                                const Json::exception& e) {
    error = e.what();
    errorPosition = position;
    syntaxError = e.id >= 100 && e.id < 200;
    return false;
}

bool TrelJsonCells::spend(std::size_t bytes) {
    spent += bytes;
    overBudget = spent > budget;
    return !overBudget;
}

bool TrelJsonCells::add(Json&& value) {
    std::size_t extra = value.is_string()   ? value.get_ref<const std::string&>().size()
                        : value.is_binary() ? value.get_binary().size()
                                            : 0;
    if (!spend(kValueBytes + extra))
        return false;
    if (nest.empty()) {
        root = std::move(value);
        return true;
    }
    Json& parent = *nest.back();
    if (parent.is_array())
        parent.push_back(std::move(value));
    else
        *member = std::move(value);
    return true;
}

bool TrelJsonCells::open(Json&& value) {
    if (!spend(kValueBytes))
        return false;
    if (nest.empty()) {
        root = std::move(value);
        nest.push_back(&root);
        return true;
    }
    // Elements of the containers still open never move: only the innermost one grows.
    Json& parent = *nest.back();
    if (parent.is_array()) {
        parent.push_back(std::move(value));
        nest.push_back(&parent.back());
    } else {
        *member = std::move(value);
        nest.push_back(member);
    }
    return true;
}

bool TrelJsonCells::cell(std::uint64_t value) {
    if (value > 0xFFFFFFFFu)
        return flush() && add(Json(value));
    for (int b = 0; b < 4; ++b)
        packed.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
    // The packed cells are counted once, when the array ends; until then, now and then, what
    // they would add is checked against the budget.
    if (packed.size() % kCheckEvery == 0 && spent + packed.size() > budget)
        return spend(packed.size());
    return true;
}

bool TrelJsonCells::flush() {
    if (!packing)
        return true;
    packing = false;
    if (!open(Json::array()))
        return false;
    if (!spend(packed.size() / 4 * kValueBytes))
        return false;
    Json& array = *nest.back();
    for (std::size_t i = 0; i < packed.size(); i += 4)
        array.push_back(Json(static_cast<std::uint64_t>(unpack(packed.data() + i))));
    packed.clear();
    return true;
}
