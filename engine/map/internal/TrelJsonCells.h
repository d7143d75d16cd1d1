#ifndef TREL_JSON_CELLS_H
#define TREL_JSON_CELLS_H

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

// Builds a JSON document through nlohmann's public SAX interface, as its own parser would,
// except that an array of whole numbers below 2^32 under the key "data" (a tile layer's
// cells) is kept packed, as a binary value of 4-byte GIDs with the subtype kCells: a 256 x 256
// layer is otherwise a quarter of a million JSON values. An array that holds anything else is
// built as usual. A parse error ends the parse with error, errorPosition and syntaxError set.
// What the document takes is counted as it grows (kValueBytes a value, plus its text or
// cells), and the parse ends with overBudget set once that passes the budget.
// Engine-internal: used by TrelTmjReader only.
class TrelJsonCells : public nlohmann::json_sax<nlohmann::json> {
public:
    using Json = nlohmann::json;
    static const std::uint8_t kCells = 0x47;

    static const std::size_t kValueBytes = 64;

    TrelJsonCells(Json& document, std::size_t limit) : root(document), budget(limit) {}

    bool null() override { return flush() && add(Json()); }
    bool boolean(bool value) override { return flush() && add(Json(value)); }
    bool number_integer(number_integer_t value) override;
    bool number_unsigned(number_unsigned_t value) override;
    bool number_float(number_float_t value, const string_t&) override {
        return flush() && add(Json(value));
    }
    bool string(string_t& value) override { return flush() && add(Json(std::move(value))); }
    bool binary(binary_t& value) override { return flush() && add(Json::binary(std::move(value))); }
    bool start_object(std::size_t) override;
    bool key(string_t& name) override;
    bool end_object() override;
    bool start_array(std::size_t) override;
    bool end_array() override;
    bool parse_error(std::size_t position, const std::string&, const Json::exception& e) override;

    // The GID packed at p.
    static std::uint32_t unpack(const std::uint8_t* p) {
        return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
               static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }

    std::string error;
    std::size_t errorPosition = 0; // bytes read when the parse failed
    bool syntaxError = false;      // the parse_error kind; the others have no place
    std::size_t spent = 0;         // the document's bytes, as counted
    bool overBudget = false;

private:
    // Puts the value where the parser is: the root, the next element of the innermost
    // array, or the member whose key came last.
    bool add(Json&& value);
    // Adds an empty object or array and makes it the innermost one.
    bool open(Json&& value);
    bool cell(std::uint64_t value);
    // The array turned out not to be cells: it is built as it was read so far.
    bool flush();
    // Counts bytes the document takes; false once they pass the budget.
    bool spend(std::size_t bytes);
    static const std::size_t kCheckEvery = 65536; // bytes of packed cells

    Json& root;
    std::size_t budget;
    std::vector<Json*> nest; // the objects and arrays not yet closed, innermost last
    Json* member = nullptr;  // where the value after the last key goes
    bool dataKey = false;
    bool packing = false;
    std::vector<std::uint8_t> packed;
};

#endif
