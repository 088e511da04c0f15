// iconbuild: turns a picture drawn as text (one character per pixel, a legend
// of colours) into a Windows .ico (one 16-colour image) or a monochrome .cur
// file for the resource compiler. Built and run on the build machine.
//
//   iconbuild icon PICTURE.txt OUT.ico
//   iconbuild cursor PICTURE.txt OUT.cur
//
// The picture file: '#' starts a comment line; "legend C RRGGBB" or
// "legend C transparent" gives character C a colour; "hotspot X Y" (cursors);
// each row of pixels stands between two '|', top row first.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const uint32_t kTransparent = 0xFFFFFFFF;

struct Picture {
    std::map<char, uint32_t> legend;  // character -> 0xRRGGBB or kTransparent
    std::vector<std::string> rows;
    int hot_x = 0;
    int hot_y = 0;
};

bool Fail(const char* path, int line, const char* what) {
    std::fprintf(stderr, "%s:%d: %s\n", path, line, what);
    return false;
}

bool ParseLegend(const char* text, Picture* picture) {
    char c = 0;
    char colour[16] = {};
    if (std::sscanf(text, "legend %c %15s", &c, colour) != 2) return false;
    if (!std::strcmp(colour, "transparent")) {
        picture->legend[c] = kTransparent;
        return true;
    }
    char* end = nullptr;
    const unsigned long rgb = std::strtoul(colour, &end, 16);
    if (std::strlen(colour) != 6 || *end) return false;
    picture->legend[c] = static_cast<uint32_t>(rgb);
    return true;
}

bool ParseLine(const char* path, int number, std::string line, Picture* picture) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty() || line[0] == '#') return true;
    if (!line.compare(0, 7, "legend ")) {
        return ParseLegend(line.c_str(), picture) || Fail(path, number, "bad legend line");
    }
    if (!line.compare(0, 8, "hotspot ")) {
        return std::sscanf(line.c_str(), "hotspot %d %d", &picture->hot_x, &picture->hot_y) == 2 ||
               Fail(path, number, "bad hotspot line");
    }
    if (line.size() < 3 || line.front() != '|' || line.back() != '|') return Fail(path, number, "not a row");
    line = line.substr(1, line.size() - 2);
    for (char c : line) {
        if (!picture->legend.count(c)) return Fail(path, number, "pixel character not in the legend");
    }
    if (!picture->rows.empty() && line.size() != picture->rows[0].size()) {
        return Fail(path, number, "rows differ in length");
    }
    picture->rows.push_back(line);
    return true;
}

bool ReadPicture(const char* path, Picture* picture) {
    FILE* f = std::fopen(path, "r");
    if (!f) return Fail(path, 0, "cannot open");
    char buffer[512];
    bool ok = true;
    for (int number = 1; ok && std::fgets(buffer, sizeof buffer, f); ++number) {
        ok = ParseLine(path, number, buffer, picture);
    }
    std::fclose(f);
    if (!ok) return false;
    const size_t width = picture->rows.empty() ? 0 : picture->rows[0].size();
    if (width == 0 || width > 255 || picture->rows.size() > 255) return Fail(path, 0, "size must be 1..255");
    return true;
}

void Put16(std::vector<uint8_t>* out, uint32_t v) {
    out->push_back(static_cast<uint8_t>(v));
    out->push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>* out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

// Bytes per row of a bitmap: rows are padded to 32 bits.
uint32_t Stride(uint32_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

// Sets pixel x of a bottom-up row to `value` (bits per pixel 1 or 4).
void SetPixel(uint8_t* row, int x, uint32_t bits, uint32_t value) {
    const int per_byte = 8 / static_cast<int>(bits);
    const int shift = static_cast<int>((per_byte - 1 - x % per_byte) * bits);
    row[x / per_byte] |= static_cast<uint8_t>(value << shift);
}

// The palette: index 0 is black, which transparent pixels use so that the
// AND mask alone decides them; the legend's colours follow in order of use.
bool BuildPalette(const Picture& picture, uint32_t bits, std::vector<uint32_t>* palette) {
    palette->assign(1, 0x000000);
    if (bits == 1) palette->push_back(0xFFFFFF);
    for (const std::string& row : picture.rows) {
        for (char c : row) {
            const uint32_t rgb = picture.legend.at(c);
            if (rgb == kTransparent) continue;
            bool known = false;
            for (uint32_t p : *palette) known = known || p == rgb;
            if (!known) palette->push_back(rgb);
        }
    }
    return palette->size() <= (1u << bits);
}

uint32_t IndexOf(const std::vector<uint32_t>& palette, uint32_t rgb) {
    for (uint32_t i = 0; i < palette.size(); ++i) {
        if (palette[i] == rgb) return i;
    }
    return 0;
}

// The image as the file holds it: header, palette, colour rows, mask rows.
std::vector<uint8_t> Image(const Picture& picture, uint32_t bits, const std::vector<uint32_t>& palette) {
    const uint32_t w = static_cast<uint32_t>(picture.rows[0].size());
    const uint32_t h = static_cast<uint32_t>(picture.rows.size());
    std::vector<uint8_t> colour(Stride(w, bits) * h, 0), mask(Stride(w, 1) * h, 0);
    for (uint32_t y = 0; y < h; ++y) {
        const uint32_t up = h - 1 - y;  // bitmaps are stored bottom-up
        for (uint32_t x = 0; x < w; ++x) {
            const uint32_t rgb = picture.legend.at(picture.rows[y][x]);
            const bool clear = rgb == kTransparent;
            SetPixel(&mask[up * Stride(w, 1)], static_cast<int>(x), 1, clear ? 1 : 0);
            SetPixel(&colour[up * Stride(w, bits)], static_cast<int>(x), bits, clear ? 0 : IndexOf(palette, rgb));
        }
    }
    std::vector<uint8_t> out;
    for (uint32_t v : {40u, w, 2 * h}) Put32(&out, v);
    Put16(&out, 1);
    Put16(&out, bits);
    for (uint32_t v : {0u, static_cast<uint32_t>(colour.size() + mask.size()), 0u, 0u, 0u, 0u}) Put32(&out, v);
    const size_t entries = size_t{1} << bits;
    for (size_t i = 0; i < entries; ++i) {
        const uint32_t rgb = i < palette.size() ? palette[i] : 0;
        Put32(&out, rgb);  // 0x00RRGGBB, little-endian: the B, G, R, 0 of a palette entry
    }
    out.insert(out.end(), colour.begin(), colour.end());
    out.insert(out.end(), mask.begin(), mask.end());
    return out;
}

// One-image .ico or .cur: directory, entry, image. A cursor's entry holds
// the hot spot where an icon's holds planes and bit count.
bool Write(const char* path, const Picture& picture, bool cursor) {
    const uint32_t bits = cursor ? 1 : 4;
    std::vector<uint32_t> palette;
    if (!BuildPalette(picture, bits, &palette)) return Fail(path, 0, "too many colours for the format");
    const std::vector<uint8_t> image = Image(picture, bits, palette);
    std::vector<uint8_t> out;
    for (uint32_t v : {0u, cursor ? 2u : 1u, 1u}) Put16(&out, v);
    out.push_back(static_cast<uint8_t>(picture.rows[0].size()));
    out.push_back(static_cast<uint8_t>(picture.rows.size()));
    out.push_back(cursor ? 0 : 16);
    out.push_back(0);
    Put16(&out, cursor ? static_cast<uint32_t>(picture.hot_x) : 1);
    Put16(&out, cursor ? static_cast<uint32_t>(picture.hot_y) : bits);
    Put32(&out, static_cast<uint32_t>(image.size()));
    Put32(&out, 6 + 16);
    out.insert(out.end(), image.begin(), image.end());
    FILE* f = std::fopen(path, "wb");
    if (!f) return Fail(path, 0, "cannot create");
    const bool written = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    return (std::fclose(f) == 0 && written) || Fail(path, 0, "cannot write");
}

}  // namespace

int main(int argc, char** argv) {
    const bool cursor = argc == 4 && !std::strcmp(argv[1], "cursor");
    if (argc != 4 || (!cursor && std::strcmp(argv[1], "icon"))) {
        std::fprintf(stderr, "usage: iconbuild icon|cursor PICTURE.txt OUT\n");
        return 2;
    }
    Picture picture;
    if (!ReadPicture(argv[2], &picture)) return 1;
    const bool in_range = picture.hot_x >= 0 && picture.hot_y >= 0 &&
                          picture.hot_x < static_cast<int>(picture.rows[0].size()) &&
                          picture.hot_y < static_cast<int>(picture.rows.size());
    if (!in_range) {
        Fail(argv[2], 0, "hot spot outside the picture");
        return 1;
    }
    return Write(argv[3], picture, cursor) ? 0 : 1;
}
