#include "save/internal/TrelSaveFile.h"

#define XXH_INLINE_ALL // header-only: nothing of xxHash is linked or exported
#include <xxhash.h>

#include <cstring>

#include "base/TrelFileBytes.h"
#include "save/TrelSave.h"

namespace {

const unsigned char kMagic[8] = {'T', 'r', 'e', 'l', 'S', 'a', 'v', 0x1a};
// What every file holds around its values: magic, format, an empty game name, version,
// count and checksum.
const std::size_t kSmallest = 8 + 2 + 1 + 4 + 4 + 8;

void put(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>(value >> (8 * i) & 0xff));
}

} // namespace

// Bytes read in order, the checksum left off; reading past the end sets cutShort and gives 0.
// The first fault found is kept; reading goes on harmlessly after it.
struct TrelSaveFile::Reader {
    const unsigned char* data;
    std::size_t size;
    std::size_t at = 0;
    std::string fault;

    bool fail(const std::string& why) {
        if (fault.empty())
            fault = why;
        at = size;
        return false;
    }
    std::uint64_t number(int bytes) {
        if (size - at < static_cast<std::size_t>(bytes)) {
            fail("is cut short");
            return 0;
        }
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i)
            value |= static_cast<std::uint64_t>(data[at + i]) << (8 * i);
        at += static_cast<std::size_t>(bytes);
        return value;
    }
    // length bytes, which must all be there: a length beyond the file is a lie, not a cut,
    // since the checksum already showed the file whole.
    std::string bytes(std::uint64_t length, const char* what) {
        if (length > size - at) {
            fail(std::string("is damaged: ") + what + " of " + std::to_string(length) +
                 " bytes runs past the end");
            return std::string();
        }
        std::string value(reinterpret_cast<const char*>(data + at), length);
        at += length;
        return value;
    }
};

std::uint64_t TrelSaveFile::checksum(const void* data, std::size_t size) {
    return XXH3_64bits(data, size);
}

void TrelSaveFile::writeValue(std::string& out, const TrelSaveValue& value) {
    out.push_back(static_cast<char>(value.getType()));
    switch (value.getType()) {
    case TrelSaveValue::kInt:
        put(out, static_cast<std::uint64_t>(value.getInt()), 8);
        break;
    case TrelSaveValue::kFixed:
        put(out, static_cast<std::uint32_t>(value.getFixed().raw), 4);
        break;
    case TrelSaveValue::kText:
    case TrelSaveValue::kBytes: {
        const std::string& data =
            value.getType() == TrelSaveValue::kText ? value.getText() : value.getBytes();
        put(out, data.size(), 4);
        out += data;
        break;
    }
    case TrelSaveValue::kList:
        put(out, value.getCount(), 4);
        for (std::size_t i = 0; i < value.getCount(); ++i)
            writeValue(out, value.getItem(i));
        break;
    case TrelSaveValue::kNone:
        break;
    }
}

bool TrelSaveFile::write(const TrelSave& save, const std::string& game, std::string& bytes,
                         std::string& fault) {
    bytes.assign(reinterpret_cast<const char*>(kMagic), sizeof kMagic);
    put(bytes, kFormat, 2);
    const std::size_t gameLength = game.size() < 255 ? game.size() : 255;
    put(bytes, gameLength, 1);
    bytes.append(game, 0, gameLength);
    put(bytes, save.getVersion(), 4);
    std::size_t count = 0;
    for (const auto& named : save.getValues())
        count += named.second.getType() != TrelSaveValue::kNone;
    put(bytes, count, 4);
    for (const auto& named : save.getValues()) {
        if (named.second.getType() == TrelSaveValue::kNone)
            continue; // a value never set is a name the save does not have
        if (named.second.getDepth() > TrelSaveValue::kMaxDepth) {
            fault = "holds lists nested more than " + std::to_string(TrelSaveValue::kMaxDepth) +
                    " deep in " + TrelFileBytes::quoted(named.first);
            return false;
        }
        put(bytes, named.first.size(), 1);
        bytes += named.first;
        writeValue(bytes, named.second);
    }
    put(bytes, checksum(bytes.data(), bytes.size()), 8);
    return true;
}

bool TrelSaveFile::readValue(Reader& in, int depth, TrelSaveValue& value) {
    const int type = static_cast<int>(in.number(1));
    switch (type) {
    case TrelSaveValue::kInt:
        value = TrelSaveValue::ofInt(static_cast<std::int64_t>(in.number(8)));
        break;
    case TrelSaveValue::kFixed:
        value = TrelSaveValue::ofFixed(
            fixedpoint::fix16::fromRaw(static_cast<std::int32_t>(in.number(4))));
        break;
    case TrelSaveValue::kText:
        value = TrelSaveValue::ofText(in.bytes(in.number(4), "a text"));
        break;
    case TrelSaveValue::kBytes:
        value = TrelSaveValue::ofBytes(in.bytes(in.number(4), "a block of bytes"));
        break;
    case TrelSaveValue::kList: {
        if (depth >= TrelSaveValue::kMaxDepth)
            return in.fail("is damaged: its lists are nested more than " +
                           std::to_string(TrelSaveValue::kMaxDepth) + " deep");
        const std::uint64_t count = in.number(4);
        // Every item takes at least 5 bytes, so a count the file cannot hold is refused before
        // anything is made for it.
        if (count > (in.size - in.at) / 5)
            return in.fail("is damaged: a list of " + std::to_string(count) +
                           " items runs past the end");
        value = TrelSaveValue::ofList();
        for (std::uint64_t i = 0; i < count && in.fault.empty(); ++i)
            readValue(in, depth + 1, value.add(TrelSaveValue()));
        break;
    }
    default:
        return in.fail("is damaged: a value has the unknown type " + std::to_string(type));
    }
    return in.fault.empty();
}

bool TrelSaveFile::isWhole(const unsigned char* data, std::size_t size, const std::string& game) {
    if (size < kSmallest || std::memcmp(data, kMagic, sizeof kMagic) != 0)
        return false;
    const std::size_t body = size - 8;
    const std::uint64_t stored = TrelFileBytes::le32(data + body) |
                                 std::uint64_t(TrelFileBytes::le32(data + body + 4)) << 32;
    const std::size_t nameAt = sizeof kMagic + 2;
    return stored == checksum(data, body) && TrelFileBytes::le16(data + sizeof kMagic) >= 1 &&
           data[nameAt] == game.size() && body - nameAt - 1 >= game.size() &&
           std::memcmp(data + nameAt + 1, game.data(), game.size()) == 0;
}

bool TrelSaveFile::read(const unsigned char* data, std::size_t size, const std::string& game,
                        TrelSave& save, std::string& fault, bool& newer) {
    newer = false;
    if (size < sizeof kMagic || std::memcmp(data, kMagic, sizeof kMagic) != 0) {
        fault = "is not a save";
        return false;
    }
    if (size < kSmallest) {
        fault = "is cut short";
        return false;
    }
    const std::size_t body = size - 8;
    const std::uint64_t stored = TrelFileBytes::le32(data + body) |
                                 std::uint64_t(TrelFileBytes::le32(data + body + 4)) << 32;
    if (stored != checksum(data, body)) {
        fault = "is damaged or cut short: its checksum does not match";
        return false;
    }
    Reader in{data, body, sizeof kMagic, std::string()};
    const int format = static_cast<int>(in.number(2));
    if (format > kFormat) {
        newer = true;
        fault = "is of save format " + std::to_string(format) + ", newer than this game reads (" +
                std::to_string(kFormat) + ")";
        return false;
    }
    if (format < 1)
        in.fail("is damaged: it names the save format 0");
    const std::string savedGame = in.bytes(in.number(1), "the game's name");
    if (in.fault.empty() && savedGame != game)
        in.fail("is a save of another game, " + TrelFileBytes::quoted(savedGame));
    TrelSave read;
    read.setVersion(static_cast<std::uint32_t>(in.number(4)));
    const std::uint64_t count = in.number(4);
    std::string previous;
    for (std::uint64_t i = 0; i < count && in.fault.empty(); ++i) {
        std::string name = in.bytes(in.number(1), "a name");
        if (in.fault.empty() && !TrelSave::isValidName(name))
            in.fail("is damaged: the name " + TrelFileBytes::quoted(name) +
                    " is empty or holds a control character");
        else if (in.fault.empty() && i > 0 && !(previous < name))
            in.fail("is damaged: its names are not in order (" + TrelFileBytes::quoted(name) +
                    " after " + TrelFileBytes::quoted(previous) + ")");
        previous = name;
        TrelSaveValue value;
        if (in.fault.empty() && readValue(in, 0, value))
            read.append_(std::move(name), std::move(value));
    }
    if (in.fault.empty() && in.at != body)
        in.fail("is damaged: " + std::to_string(body - in.at) + " bytes follow its values");
    if (!in.fault.empty()) {
        fault = in.fault;
        return false;
    }
    read.setChecksum_(stored);
    save = std::move(read);
    return true;
}
