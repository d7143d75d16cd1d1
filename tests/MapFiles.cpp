#include "MapFiles.h"

#include <allegro.h>
#include <zlib.h>
#include <zstd.h>

#include "TestFiles.h"

namespace {

std::string base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            n |= static_cast<unsigned char>(bytes[i + 2]);
        out += digits[n >> 18 & 63];
        out += digits[n >> 12 & 63];
        out += i + 1 < bytes.size() ? digits[n >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? digits[n & 63] : '=';
    }
    return out;
}

std::string deflateBytes(const std::string& bytes, int windowBits, int level = Z_BEST_COMPRESSION) {
    z_stream z{};
    deflateInit2(&z, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, bytes.size()) + 32, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(&out[0]);
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

} // namespace

std::string gzipBytes(const std::string& bytes) {
    return deflateBytes(bytes, 15 + 16);
}

std::string encodeGids(const std::vector<std::uint32_t>& gids, const std::string& encoding,
                       const std::string& compression, bool fast) {
    if (encoding == "csv") {
        std::string out;
        for (std::size_t i = 0; i < gids.size(); ++i)
            out += (i ? "," : "") + std::to_string(gids[i]);
        return out;
    }
    std::string raw(gids.size() * 4, '\0');
    for (std::size_t i = 0; i < gids.size(); ++i)
        for (int b = 0; b < 4; ++b)
            raw[i * 4 + b] = static_cast<char>(gids[i] >> (8 * b) & 0xFF); // little-endian
    if (compression == "zlib") {
        raw = deflateBytes(raw, 15, fast ? Z_BEST_SPEED : Z_BEST_COMPRESSION);
    } else if (compression == "gzip") {
        raw = gzipBytes(raw);
    } else if (compression == "zstd") {
        std::string out(ZSTD_compressBound(raw.size()), '\0');
        out.resize(ZSTD_compress(&out[0], out.size(), raw.data(), raw.size(), 3));
        raw = out;
    }
    return base64(raw);
}

int tileColour(int i) {
    return ((40 + 50 * (i % 5)) << 16) | ((30 + 40 * (i / 5 % 5)) << 8) | (60 + 36 * (i / 25 % 5));
}

std::string writeTileSheet(const std::string& name, int w, int h, int columns, int rows,
                           const std::vector<int>& colours, int margin, int spacing) {
    BITMAP* sheet = create_bitmap_ex(24, 2 * margin + columns * w + (columns - 1) * spacing,
                                     2 * margin + rows * h + (rows - 1) * spacing);
    clear_to_color(sheet, makecol24(0, 0, 0));
    for (std::size_t i = 0; i < colours.size(); ++i) {
        int x = margin + static_cast<int>(i) % columns * (w + spacing);
        int y = margin + static_cast<int>(i) / columns * (h + spacing);
        int c = colours[i];
        rectfill(sheet, x, y, x + w - 1, y + h - 1,
                 makecol24(c >> 16 & 255, c >> 8 & 255, c & 255));
        putpixel(sheet, x, y, makecol24(255, 255, 255));
    }
    save_bitmap(name.c_str(), sheet, nullptr);
    destroy_bitmap(sheet);
    return name;
}
