// Decoding: each format's test image against its quadrants, the textured
// corpus's images against golden fingerprints, damaged and oversized headers,
// allocation failures, and ILBM images written here from known pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>

#include "image/image.h"
#include "platform/memory.h"
#include "tests/golden/golden_list.h"
#include "tests/unit/test_files.h"

namespace qavren {
namespace {

using Bytes = std::vector<uint8_t>;
using testing::ReadFile;

Bytes Fixture(const std::string& name) { return ReadFile(std::string(QAVREN_SOURCE_DIR) + "/tests/images/" + name); }

Status Decode(const Bytes& b, Image* out) { return DecodeImage(b.data(), b.size(), out); }

// tests/images/make's files: the tolerance of the lossy ones, and whether
// the white quadrant is half transparent.
struct Format {
    const char* file;
    int tolerance;
    bool clear;
};
const Format kFormats[] = {
    {"rgba8.png", 0, true},      {"rgb8.png", 0, false},     {"rgba16.png", 0, true},     {"palette.png", 0, false},
    {"grey8.png", 0, false},     {"grey16.png", 0, false},   {"greyalpha8.png", 0, true}, {"baseline.jpg", 6, false},
    {"progressive.jpg", 6, false}, {"subsampled.jpg", 60, false}, {"grey.jpg", 6, false}, {"raw.tga", 0, false},
    {"rle.tga", 0, false},       {"rle_alpha.tga", 0, true}, {"rgb24.bmp", 0, false},     {"rgba32.bmp", 0, true},
    {"palette8.bmp", 0, false},  {"palette.gif", 0, false},  {"raw.psd", 0, false},        {"rle.psd", 0, false},
};

TEST(DecodeImage, EveryFormatGivesItsQuadrants) {
    for (const Format& f : kFormats) {
        SCOPED_TRACE(f.file);
        const Bytes bytes = Fixture(f.file);
        Image image;
        ASSERT_EQ(Decode(bytes, &image), status::kOk);
        ASSERT_EQ(image.width(), 16u);
        ASSERT_EQ(image.height(), 16u);
        const bool grey = std::string(f.file).find("grey") != std::string::npos;
        for (uint32_t y = 0; y < 16; ++y) {
            for (uint32_t x = 0; x < 16; ++x) {
                if (f.tolerance > 10 && (x % 8 == 0 || x % 8 == 7 || y % 8 == 0 || y % 8 == 7)) continue;
                const int q = (y >= 8) * 2 + (x >= 8);
                int want[4] = {q == 0 || q == 3 ? 255 : 0, q == 1 || q == 3 ? 255 : 0, q >= 2 ? 255 : 0,
                               q == 3 && f.clear ? 128 : 255};
                if (grey) {  // ImageMagick's luma of each colour
                    const int luma[4] = {54, 182, 18, 255};
                    want[0] = want[1] = want[2] = luma[q];
                }
                for (int c = 0; c < 4; ++c) {
                    EXPECT_NEAR(image.At(x, y)[c], want[c], f.tolerance + (c == 3 || grey ? 1 : 0))
                        << "pixel " << x << "," << y << " channel " << c;
                }
            }
        }
    }
}

// One line an image: "path width height fingerprint" (FNV-1a of the RGBA
// pixels); the same in every build. Corpus images missing here are skipped.
TEST(DecodeImage, GoldenFingerprints) {
    std::ifstream list(std::string(QAVREN_SOURCE_DIR) + "/tests/golden/images.txt");
    std::string line;
    int checked = 0;
    while (std::getline(list, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        std::string path, want;
        uint32_t width = 0, height = 0;
        fields >> path >> width >> height >> want;
        const Bytes bytes = ReadFile(std::string(QAVREN_SOURCE_DIR) + "/" + path);
        if (bytes.empty()) continue;
        Image image;
        const Status st = Decode(bytes, &image);
        const Bytes pixels(image.pixels(), image.pixels() + size_t{image.width()} * image.height() * 4);
        EXPECT_EQ(st == status::kOk ? path + " " + std::to_string(image.width()) + " " +
                                          std::to_string(image.height()) + " " + testing::Fingerprint(pixels)
                                    : path + " failed " + std::to_string(st),
                  line);
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

// Every cut of every image fails cleanly or gives the whole image's pixels
// (a cut may leave only a trailer out); nothing is left allocated.
TEST(DecodeImage, TruncatedImagesFailCleanly) {
    for (const Format& f : kFormats) {
        const Bytes bytes = Fixture(f.file);
        Image whole;
        ASSERT_EQ(Decode(bytes, &whole), status::kOk);
        for (size_t n = 0; n < bytes.size(); ++n) {
            SCOPED_TRACE(std::string(f.file) + " cut at " + std::to_string(n));
            const int64_t live = platform::LiveBlockCount();
            {
                Image image;
                const Status st = DecodeImage(n ? bytes.data() : nullptr, n, &image);
                if (st == status::kOk) {
                    ASSERT_EQ(image.width() * image.height(), 256u);
                    EXPECT_EQ(std::memcmp(image.At(0, 0), whole.At(0, 0), 4 * 256), 0);
                } else {
                    EXPECT_TRUE(image.empty());
                }
                if (n < 8) {
                    EXPECT_NE(st, status::kOk);
                }
            }
            ASSERT_EQ(platform::LiveBlockCount(), live);
        }
    }
}

// Headers that declare too many pixels (or none) are refused before any
// pixel block is allocated.
TEST(DecodeImage, OversizedAndEmptyHeadersAreRefused) {
    struct Patch {
        const char* file;
        size_t offset;
        Bytes bytes;
    };
    const Patch patches[] = {
        {"rgba8.png", 16, {0, 0, 0x20, 0x01, 0, 0, 0x20, 0}},  // 8193 × 8192
        {"rgba8.png", 16, {0, 0, 0, 0}},                       // zero width
        {"rgb24.bmp", 18, {0, 0, 1, 0, 0, 0, 1, 0}},           // 65536 × 65536
        {"raw.tga", 12, {0xff, 0xff, 0xff, 0xff}},
        {"palette.gif", 6, {0xff, 0xff, 0xff, 0xff}},
        {"raw.psd", 14, {0, 0, 0x40, 0, 0, 0, 0x40, 0}},       // 16384 × 16384
        {"baseline.jpg", 0, {}},                               // the SOF0 height and width, found below
        {"rgba.psd", 0, {}},                                   // four channels: refused as it is
    };
    for (const Patch& p : patches) {
        SCOPED_TRACE(p.file);
        Bytes bytes = Fixture(p.file);
        Bytes patch = p.bytes;
        size_t at = p.offset;
        if (patch.empty() && p.file[0] == 'b') {
            for (at = 2; at + 9 < bytes.size() && !(bytes[at] == 0xff && bytes[at + 1] == 0xc0); ++at) {}
            at += 5;
            patch = {0xff, 0xff, 0xff, 0xff};
        }
        std::copy(patch.begin(), patch.end(), bytes.begin() + static_cast<ptrdiff_t>(at));
        const uint64_t before = platform::AllocationCount();
        Image image;
        EXPECT_TRUE(Failed(Decode(bytes, &image)));
        EXPECT_LE(platform::AllocationCount() - before, 2u);  // at most the JPEG reader's state
    }
}

// A Huffman table of more than 256 codes, which stb_image would build past
// its arrays, is refused (found among the tables of the baseline image).
TEST(DecodeImage, OversizedHuffmanTablesAreRefused) {
    Bytes bytes = Fixture("baseline.jpg");
    size_t at = 2;
    while (at + 4 < bytes.size() && !(bytes[at] == 0xff && bytes[at + 1] == 0xc4)) at += 2 + (bytes[at + 2] << 8 | bytes[at + 3]);
    ASSERT_LT(at + 21, bytes.size());
    int codes = 0;
    for (size_t k = at + 5; k < at + 21; ++k) codes += bytes[k];
    bytes[at + 20] = static_cast<uint8_t>(bytes[at + 20] + 257 - codes);  // one code too many, at 16 bits
    Image image;
    EXPECT_EQ(Decode(bytes, &image), status::kCorrupt);
}

// ILBM written here: `index` per pixel (planes <= 8) or RGBA values (24, 32).
struct IlbmPlan {
    uint32_t width, height, planes;
    bool packed, mask;
    uint32_t mode = 0;  // CAMG
};

void Chunk(Bytes* out, const char* id, const Bytes& body) {
    out->insert(out->end(), id, id + 4);
    for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<uint8_t>(body.size() >> s));
    out->insert(out->end(), body.begin(), body.end());
    if (body.size() & 1) out->push_back(0);
}

// ByteRun1: runs of three or more equal bytes repeated, the rest literal.
void Pack(const uint8_t* row, size_t n, Bytes* out) {
    for (size_t i = 0; i < n;) {
        size_t run = 1;
        while (i + run < n && run < 128 && row[i + run] == row[i]) ++run;
        if (run >= 3) {
            out->push_back(static_cast<uint8_t>(257 - run));
            out->push_back(row[i]);
            i += run;
            continue;
        }
        size_t lit = 1;
        while (i + lit < n && lit < 128 && !(i + lit + 2 < n && row[i + lit] == row[i + lit + 1] &&
                                             row[i + lit] == row[i + lit + 2])) ++lit;
        out->push_back(static_cast<uint8_t>(lit - 1));
        out->insert(out->end(), row + i, row + i + lit);
        i += lit;
    }
}

Bytes Ilbm(const IlbmPlan& p, const std::vector<uint32_t>& values, const Bytes& palette) {
    const uint32_t row_bytes = (p.width + 15) / 16 * 2;
    Bytes bmhd = {uint8_t(p.width >> 8), uint8_t(p.width), uint8_t(p.height >> 8), uint8_t(p.height), 0, 0, 0, 0,
                  uint8_t(p.planes), uint8_t(p.mask ? 1 : 0), uint8_t(p.packed ? 1 : 0), 0, 0, 0, 10, 11, 0, 0, 0, 0};
    Bytes body;
    for (uint32_t y = 0; y < p.height; ++y) {
        for (uint32_t plane = 0; plane < p.planes + (p.mask ? 1 : 0); ++plane) {
            Bytes row(row_bytes, 0);
            for (uint32_t x = 0; x < p.width; ++x) {
                const bool bit = plane < p.planes ? (values[y * p.width + x] >> plane) & 1 : x & 1;
                if (bit) row[x / 8] |= static_cast<uint8_t>(0x80 >> (x % 8));
            }
            if (p.packed) Pack(row.data(), row.size(), &body);
            else body.insert(body.end(), row.begin(), row.end());
        }
    }
    Bytes form = {'I', 'L', 'B', 'M'};
    Chunk(&form, "BMHD", bmhd);
    if (p.mode) Chunk(&form, "CAMG", {uint8_t(p.mode >> 24), uint8_t(p.mode >> 16), uint8_t(p.mode >> 8), uint8_t(p.mode)});
    if (!palette.empty()) Chunk(&form, "CMAP", palette);
    Chunk(&form, "BODY", body);
    Bytes file;
    Chunk(&file, "FORM", form);
    return file;
}

// Random images of every depth, packed or not, with and without a mask
// plane, decode to the colours they were written from.
TEST(DecodeImage, IlbmImagesGiveTheirPixels) {
    std::minstd_rand random(27);
    const uint32_t depths[] = {1, 2, 3, 4, 5, 6, 7, 8, 24, 32};
    for (uint32_t planes : depths) {
        for (int variant = 0; variant < 4; ++variant) {
            IlbmPlan p{uint32_t(1 + random() % 40), uint32_t(1 + random() % 20), planes, (variant & 1) != 0, (variant & 2) != 0};
            const bool ehb = planes == 6 && variant == 3;
            if (ehb) p.mode = 0x80;
            SCOPED_TRACE(std::to_string(planes) + " planes, variant " + std::to_string(variant));
            Bytes palette;
            const uint32_t colours = planes <= 8 ? (ehb ? 32 : 1u << planes) : 0;
            for (uint32_t k = 0; k < colours * 3; ++k) palette.push_back(static_cast<uint8_t>(random()));
            std::vector<uint32_t> values(p.width * p.height);
            for (uint32_t& v : values) {
                v = static_cast<uint32_t>(random());
                if (planes < 32) v &= (1u << planes) - 1;
                if (&v != values.data() && random() % 3 == 0) v = *(&v - 1);  // runs to pack
            }
            Image image;
            ASSERT_EQ(Decode(Ilbm(p, values, palette), &image), status::kOk);
            ASSERT_EQ(image.width(), p.width);
            ASSERT_EQ(image.height(), p.height);
            for (uint32_t k = 0; k < values.size(); ++k) {
                const uint32_t v = values[k];
                uint8_t want[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(planes == 32 ? v >> 24 : 255)};
                if (planes <= 8) {
                    const uint32_t base = ehb ? v % 32 : v;
                    for (int c = 0; c < 3; ++c) want[c] = static_cast<uint8_t>(palette[base * 3 + c] >> (v != base));
                    want[3] = 255;
                }
                const uint8_t* got = image.At(k % p.width, k / p.width);
                ASSERT_EQ(Bytes(got, got + 4), Bytes(want, want + 4)) << "pixel " << k;
            }
        }
    }
}

// Damaged and unsupported ILBM forms fail; every cut of a packed one fails
// cleanly.
TEST(DecodeImage, DamagedIlbmFails) {
    const IlbmPlan plan{21, 7, 4, true, true};
    const std::vector<uint32_t> values(21 * 7, 5);
    const Bytes palette(48, 0x80);
    const Bytes good = Ilbm(plan, values, palette);
    auto with = [&](IlbmPlan p) { return Ilbm(p, values, palette); };
    auto bmhd = [&](size_t at, uint8_t v) { Bytes b = good; b[20 + at] = v; return b; };
    const Bytes no_body(good.begin(), good.begin() + 12 + 28 + 8 + 48);
    const struct {
        const char* what;
        Bytes bytes;
        Status want;
    } cases[] = {
        {"hold-and-modify", with({21, 7, 6, true, false, 0x800}), status::kUnsupportedInput},
        {"nine planes", bmhd(8, 9), status::kUnsupportedInput},
        {"no planes", bmhd(8, 0), status::kUnsupportedInput},
        {"compression 2", bmhd(10, 2), status::kUnsupportedInput},
        {"zero width", bmhd(1, 0), status::kUnsupportedInput},
        {"65535 x 65535", [&] { Bytes b = bmhd(0, 0xff); b[21] = b[22] = b[23] = 0xff; return b; }(),
         status::kUnsupportedInput},
        {"no body", no_body, status::kCorrupt},
    };
    for (const auto& c : cases) {
        Image image;
        EXPECT_EQ(Decode(c.bytes, &image), c.want) << c.what;
    }
    for (size_t n = 12; n + 1 < good.size(); ++n) {  // the last byte may be the pad
        Image image;
        EXPECT_TRUE(Failed(DecodeImage(good.data(), n, &image))) << "cut at " << n;
    }
}

// Every allocation of a decode of each format fails in turn: -4, nothing
// left allocated, until the decode succeeds.
TEST(DecodeImage, AllocationFailuresAreReported) {
    std::vector<Bytes> images;
    for (const Format& f : kFormats) images.push_back(Fixture(f.file));
    images.push_back(Ilbm({30, 9, 24, true, false}, std::vector<uint32_t>(270, 0x123456), {}));
    for (size_t k = 0; k < images.size(); ++k) {
        SCOPED_TRACE(k < std::size(kFormats) ? kFormats[k].file : "ilbm");
        for (uint32_t n = 1;; ++n) {
            ASSERT_LT(n, 1000u);
            const int64_t live = platform::LiveBlockCount();
            platform::FailAllocationAfter(n);
            Image image;
            const Status st = Decode(images[k], &image);
            platform::FailAllocationAfter(0);
            if (st == status::kOk) break;
            EXPECT_EQ(st, status::kNoMemory) << "allocation " << n;
            EXPECT_EQ(platform::LiveBlockCount(), live);
        }
    }
}

}  // namespace
}  // namespace qavren
