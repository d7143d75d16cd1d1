#include "map/internal/TrelTiledData.h"

#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/TrelFileBytes.h"
#include "map/TrelTiledMap.h"

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

} // namespace

bool TrelTiledData::readFile(const std::string& path, const TrelFileBytes::Limit& limit,
                             std::string& bytes, std::string& reason) {
    std::string raw;
    if (!TrelFileBytes::read(path, limit, raw, reason))
        return false;
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0x1f &&
        static_cast<unsigned char>(raw[1]) == 0x8b) {
        std::string why;
        if (!inflate(raw, true, limit.bytes, bytes, why)) {
            reason = "holds gzip data that " + why;
            return false;
        }
        if (bytes.size() > limit.bytes) {
            reason = "inflates " + TrelFileBytes::beyond(limit);
            return false;
        }
        return true;
    }
    bytes.swap(raw);
    return true;
}

bool TrelTiledData::decodeLayer(const std::string& encoding, const std::string& compression,
                                const char* text, std::size_t length, std::size_t cells,
                                std::vector<std::uint32_t>& gids, CellCount& count,
                                std::string& reason) {
    count = CellCount();
    if (encoding == "csv") {
        if (!compression.empty()) {
            reason = "has CSV data with the compression " + quoted(compression) +
                     ", which Tiled never writes";
            return false;
        }
        return parseCsv(text, length, cells, gids, count, reason);
    }
    if (encoding != "base64") {
        reason = "has the unknown encoding " + quoted(encoding);
        return false;
    }
    std::string packed;
    if (!decodeBase64(text, length, packed, reason))
        return false;
    // One byte more than the cells need shows data that holds too many.
    const std::size_t want = cells * 4;
    std::string raw;
    if (compression.empty()) {
        raw.swap(packed);
    } else if (compression == "zlib" || compression == "gzip") {
        if (!inflate(packed, compression == "gzip", want + 1, raw, reason)) {
            reason = "has " + compression + " data that " + reason;
            return false;
        }
    } else if (compression == "zstd") {
        if (!unzstd(packed, want + 1, raw, reason)) {
            reason = "has zstd data that " + reason;
            return false;
        }
    } else {
        reason = "has the unknown compression " + quoted(compression);
        return false;
    }
    count.found = raw.size() / 4;
    count.beyond = raw.size() > want;
    count.cutShort = raw.size() % 4 != 0;
    if (raw.size() != want)
        return true; // the count is checked on the layer
    gids.resize(cells);
    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
    for (std::size_t i = 0; i < cells; ++i, p += 4)
        gids[i] = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                  static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    return true;
}

bool TrelTiledData::decodeBase64(const char* text, std::size_t length, std::string& out,
                                 std::string& reason) {
    out.clear();
    out.reserve(length / 4 * 3);
    std::uint32_t bits = 0;
    int count = 0;
    int padding = 0;
    for (std::size_t i = 0; i < length; ++i) {
        char c = text[i];
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=') {
            ++padding;
            continue;
        } else if (isSpace(c)) {
            continue;
        } else {
            reason = "has data that is not valid base64";
            return false;
        }
        if (padding > 0) {
            reason = "has data that is not valid base64 (data after its padding)";
            return false;
        }
        bits = bits << 6 | static_cast<std::uint32_t>(v);
        if (++count == 4) {
            out.push_back(static_cast<char>(bits >> 16));
            out.push_back(static_cast<char>(bits >> 8));
            out.push_back(static_cast<char>(bits));
            bits = 0;
            count = 0;
        }
    }
    // A final group of 2 or 3 characters carries 1 or 2 bytes; 1 character carries none.
    if (count == 1) {
        reason = "has data that is not valid base64 (cut short)";
        return false;
    }
    if (count == 2)
        out.push_back(static_cast<char>(bits >> 4));
    if (count == 3) {
        out.push_back(static_cast<char>(bits >> 10));
        out.push_back(static_cast<char>(bits >> 2));
    }
    return true;
}

bool TrelTiledData::inflate(const std::string& in, bool gzip, std::size_t limit, std::string& out,
                            std::string& reason) {
    z_stream stream;
    std::memset(&stream, 0, sizeof stream);
    if (inflateInit2(&stream, gzip ? 15 + 16 : 15) != Z_OK) {
        reason = "cannot be inflated (no memory)";
        return false;
    }
    out.clear();
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    stream.avail_in = static_cast<uInt>(in.size());
    unsigned char chunk[65536];
    int status = Z_OK;
    // Stops once the output passes the limit: the caller sees more than it allows.
    while (status == Z_OK && out.size() <= limit) {
        stream.next_out = chunk;
        stream.avail_out = sizeof chunk;
        status = ::inflate(&stream, Z_NO_FLUSH);
        out.append(reinterpret_cast<char*>(chunk), sizeof chunk - stream.avail_out);
        // gzip allows several members one after another.
        if (status == Z_STREAM_END && gzip && stream.avail_in > 0 && inflateReset(&stream) == Z_OK)
            status = Z_OK;
        if (status == Z_BUF_ERROR && stream.avail_in == 0)
            break; // every byte read, yet the stream has not ended
    }
    bool complete = status == Z_STREAM_END;
    bool trailing = complete && stream.avail_in > 0;
    inflateEnd(&stream);
    if (out.size() > limit)
        return true;
    if (!complete) {
        reason = status == Z_OK || status == Z_BUF_ERROR ? "is cut short" : "is damaged";
        return false;
    }
    if (trailing) {
        reason = "is followed by stray bytes";
        return false;
    }
    return true;
}

bool TrelTiledData::unzstd(const std::string& in, std::size_t limit, std::string& out,
                           std::string& reason) {
    ZSTD_DStream* stream = ZSTD_createDStream();
    if (stream == nullptr) {
        reason = "cannot be decompressed (no memory)";
        return false;
    }
    out.clear();
    ZSTD_inBuffer input = {in.data(), in.size(), 0};
    unsigned char chunk[65536];
    std::size_t status = 1;
    bool damaged = false;
    while (input.pos < input.size && out.size() <= limit) {
        ZSTD_outBuffer output = {chunk, sizeof chunk, 0};
        status = ZSTD_decompressStream(stream, &output, &input);
        if (ZSTD_isError(status)) {
            damaged = true;
            break;
        }
        out.append(reinterpret_cast<char*>(chunk), output.pos);
    }
    // Flush what the decoder still holds once all input is in.
    while (!damaged && status != 0 && out.size() <= limit) {
        ZSTD_outBuffer output = {chunk, sizeof chunk, 0};
        status = ZSTD_decompressStream(stream, &output, &input);
        if (ZSTD_isError(status)) {
            damaged = true;
            break;
        }
        if (output.pos == 0)
            break;
        out.append(reinterpret_cast<char*>(chunk), output.pos);
    }
    ZSTD_freeDStream(stream);
    if (out.size() > limit)
        return true;
    if (damaged) {
        reason = "is damaged";
        return false;
    }
    if (status != 0 || in.empty()) {
        reason = "is cut short";
        return false;
    }
    return true;
}

bool TrelTiledData::parseCsv(const char* text, std::size_t length, std::size_t cells,
                             std::vector<std::uint32_t>& gids, CellCount& count,
                             std::string& reason) {
    gids.clear();
    gids.reserve(cells);
    std::size_t i = 0;
    std::size_t found = 0;
    for (;;) {
        while (i < length && isSpace(text[i]))
            ++i;
        if (i == length)
            break;
        if (text[i] < '0' || text[i] > '9') {
            reason = "has CSV data with a character that is not a number: " +
                     quoted(std::string(1, text[i]));
            return false;
        }
        std::uint64_t value = 0;
        while (i < length && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + static_cast<unsigned>(text[i] - '0');
            if (value > 0xFFFFFFFFull) {
                reason = "has a CSV number beyond 32 bits";
                return false;
            }
            ++i;
        }
        if (++found <= cells)
            gids.push_back(static_cast<std::uint32_t>(value));
        while (i < length && isSpace(text[i]))
            ++i;
        if (i < length && text[i] == ',')
            ++i;
        else if (i < length) {
            reason = "has CSV data with a character that is not a number: " +
                     quoted(std::string(1, text[i]));
            return false;
        }
    }
    count.found = found;
    return true;
}

bool TrelTiledData::parseColor(const std::string& text, int& rgb) {
    std::uint32_t argb;
    if (!parseArgb(text, argb))
        return false;
    rgb = static_cast<int>(argb & 0xFFFFFFu);
    return true;
}

std::uint32_t TrelTiledData::multiplyArgb(std::uint32_t a, std::uint32_t b) {
    std::uint32_t out = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t product = (a >> shift & 0xFFu) * (b >> shift & 0xFFu);
        out |= (product + 127) / 255 << shift;
    }
    return out;
}

bool TrelTiledData::parseArgb(const std::string& text, std::uint32_t& argb) {
    std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (hex.size() != 6 && hex.size() != 8)
        return false;
    unsigned long value = 0;
    for (char c : hex) {
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return false;
        value = value << 4 | static_cast<unsigned long>(digit);
    }
    argb = static_cast<std::uint32_t>(hex.size() == 6 ? value | 0xFF000000ul : value);
    return true;
}

bool TrelTiledData::parseInt(const std::string& text, int& value) {
    double number;
    if (!parseDouble(text, number) || number != std::floor(number) || number < -2147483648.0 ||
        number > 2147483647.0)
        return false;
    value = static_cast<int>(number);
    return true;
}

bool TrelTiledData::parseDouble(const std::string& text, double& value) {
    if (text.empty() || isSpace(text[0]))
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && errno != ERANGE && std::isfinite(value);
}

bool TrelTiledData::parseGid(const std::string& text, std::uint32_t& gid) {
    if (text.empty() || text.size() > 10)
        return false;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 0xFFFFFFFFull)
        return false;
    gid = static_cast<std::uint32_t>(value);
    return true;
}

std::string TrelTiledData::folderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string TrelTiledData::resolve(const std::string& folder, const std::string& path) {
    return !path.empty() && path[0] == '/' ? path : folder + path;
}

std::vector<std::size_t> TrelTiledData::lineStarts(const std::string& text) {
    std::vector<std::size_t> starts(1, 0);
    for (std::size_t i = text.find('\n'); i != std::string::npos; i = text.find('\n', i + 1))
        starts.push_back(i + 1);
    return starts;
}

int TrelTiledData::lineAt(const std::vector<std::size_t>& starts, std::size_t offset) {
    // The last line that starts at or before the offset.
    auto after = std::upper_bound(starts.begin(), starts.end(), offset);
    return static_cast<int>(after - starts.begin());
}

TrelTiledData::Look TrelTiledData::nestedLook(const Look& outer, const OwnLook& own) {
    Look look;
    look.visible = outer.visible && own.visible;
    look.opacity = outer.opacity * own.opacity;
    look.drawn.offsetX = outer.drawn.offsetX + own.drawn.offsetX;
    look.drawn.offsetY = outer.drawn.offsetY + own.drawn.offsetY;
    look.drawn.parallaxX = outer.drawn.parallaxX * own.drawn.parallaxX;
    look.drawn.parallaxY = outer.drawn.parallaxY * own.drawn.parallaxY;
    look.drawn.tint = multiplyArgb(outer.drawn.tint, own.drawn.tint);
    look.depth = outer.depth;
    return look;
}
