// PNG chunks, the Up filter and the two deflate paths.
#include "tools/qavren/png_encoder.h"

#include <cstdlib>
#include <libdeflate.h>
#include <zlib.h>

namespace qavren::cli {
namespace {

constexpr uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kFilterUp = 2;
constexpr int kWholeLevel = 6;  // libdeflate: the size of zlib's level 6 in a third of the time
constexpr int kStreamLevel = 6;
constexpr size_t kStreamChunk = size_t{1} << 16;

void PutBe32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

// One chunk: length, type, data, CRC over type and data. `size` < 2^31.
bool WriteChunk(OutputFile* out, const char type[4], const uint8_t* data, size_t size) {
    uint8_t head[8];
    PutBe32(head, static_cast<uint32_t>(size));
    for (int i = 0; i < 4; ++i) head[4 + i] = static_cast<uint8_t>(type[i]);
    uint8_t tail[4];
    // libdeflate_crc32 answers its initial value for a null buffer, whatever
    // the running CRC: IEND's empty data must not be null.
    const uint32_t type_crc = libdeflate_crc32(0, head + 4, 4);
    PutBe32(tail, size ? libdeflate_crc32(type_crc, data, size) : type_crc);
    return out->Write(head, sizeof head) && out->Write(data, size) && out->Write(tail, sizeof tail);
}

// The rows to encode: the plug-in's bottom-up BGR rows padded to `stride`,
// or RGBA rows top first, written with their alpha or (all opaque) without.
struct PngRows {
    enum class Kind { kBottomUpBgr, kRgba, kRgbaOpaque };
    Kind kind;
    int32_t width;
    int32_t height;
    const uint8_t* bits;
    size_t stride;

    const uint8_t* Row(int32_t y) const {
        const auto from_top = static_cast<size_t>(kind == Kind::kBottomUpBgr ? height - 1 - y : y);
        return bits + from_top * stride;
    }
    size_t Channels() const { return kind == Kind::kRgba ? 4 : 3; }
};

bool WriteHeader(const PngRows& l, OutputFile* out) {
    uint8_t ihdr[13] = {};
    PutBe32(ihdr, static_cast<uint32_t>(l.width));
    PutBe32(ihdr + 4, static_cast<uint32_t>(l.height));
    ihdr[8] = 8;                                               // bits per sample
    ihdr[9] = l.kind == PngRows::Kind::kRgba ? 6 : 2;  // RGBA or RGB; compression, filter method and interlace stay 0
    const uint8_t srgb = 0;  // perceptual: the canvas's colours are sRGB as they are
    return out->Write(kSignature, sizeof kSignature) && WriteChunk(out, "IHDR", ihdr, sizeof ihdr) &&
           WriteChunk(out, "sRGB", &srgb, 1);
}

// Row y counted from the top, filtered: the Up filter's byte, then each
// sample less the one above it (the row above the first is zero).
void FilterRow(const PngRows& l, int32_t y, uint8_t* out) {
    const uint8_t* row = l.Row(y);
    out[0] = kFilterUp;
    uint8_t* o = out + 1;
    const auto w = static_cast<size_t>(l.width);
    if (l.kind == PngRows::Kind::kRgba) {
        const uint8_t* up = y == 0 ? nullptr : l.Row(y - 1);
        for (size_t i = 0; i < 4 * w; ++i) o[i] = static_cast<uint8_t>(row[i] - (up ? up[i] : 0));
        return;
    }
    if (l.kind == PngRows::Kind::kRgbaOpaque) {
        const uint8_t* up = y == 0 ? nullptr : l.Row(y - 1);
        for (size_t x = 0; x < w; ++x, o += 3) {
            for (size_t c = 0; c < 3; ++c) o[c] = static_cast<uint8_t>(row[4 * x + c] - (up ? up[4 * x + c] : 0));
        }
        return;
    }
    if (y == 0) {
        for (size_t x = 0; x < w; ++x, o += 3) {
            o[0] = row[3 * x + 2];
            o[1] = row[3 * x + 1];
            o[2] = row[3 * x];
        }
        return;
    }
    const uint8_t* up = row + l.stride;
    for (size_t x = 0; x < w; ++x, o += 3) {
        o[0] = static_cast<uint8_t>(row[3 * x + 2] - up[3 * x + 2]);
        o[1] = static_cast<uint8_t>(row[3 * x + 1] - up[3 * x + 1]);
        o[2] = static_cast<uint8_t>(row[3 * x] - up[3 * x]);
    }
}

bool WriteIdat(OutputFile* out, const uint8_t* data, size_t size) {
    for (size_t at = 0; at < size; at += kStreamChunk) {
        const size_t n = size - at < kStreamChunk ? size - at : kStreamChunk;
        if (!WriteChunk(out, "IDAT", data + at, n)) return false;
    }
    return true;
}

bool DeflateWhole(const PngRows& l, size_t row_size, OutputFile* out, Message* why) {
    const size_t filtered_size = row_size * static_cast<size_t>(l.height);
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(kWholeLevel);
    auto* filtered = static_cast<uint8_t*>(std::malloc(filtered_size));
    const size_t bound = compressor ? libdeflate_zlib_compress_bound(compressor, filtered_size) : 0;
    auto* packed = static_cast<uint8_t*>(bound ? std::malloc(bound) : nullptr);
    bool ok = false;
    if (!compressor || !filtered || !packed) {
        Format(why, "not enough memory to encode the PNG picture");
    } else {
        for (int32_t y = 0; y < l.height; ++y) FilterRow(l, y, filtered + row_size * static_cast<size_t>(y));
        const size_t size = libdeflate_zlib_compress(compressor, filtered, filtered_size, packed, bound);
        ok = size > 0 && WriteIdat(out, packed, size);
        if (size == 0) Format(why, "the PNG encoder failed");
    }
    std::free(packed);
    std::free(filtered);
    libdeflate_free_compressor(compressor);
    return ok;
}

bool DeflateByRows(const PngRows& l, size_t row_size, OutputFile* out, Message* why) {
    auto* row = static_cast<uint8_t*>(std::malloc(row_size));
    auto* packed = static_cast<uint8_t*>(std::malloc(kStreamChunk));
    z_stream z = {};
    if (!row || !packed || deflateInit(&z, kStreamLevel) != Z_OK) {
        std::free(row);
        std::free(packed);
        Format(why, "not enough memory to encode the PNG picture");
        return false;
    }
    bool ok = true;
    int result = Z_OK;
    for (int32_t y = 0; ok && result != Z_STREAM_END; ++y) {
        const bool last = y >= l.height;
        if (!last) FilterRow(l, y, row);
        z.next_in = row;
        z.avail_in = last ? 0 : static_cast<uInt>(row_size);  // a row is under 3 MB: PNG sides are at most 10^6
        do {
            z.next_out = packed;
            z.avail_out = static_cast<uInt>(kStreamChunk);
            result = deflate(&z, last ? Z_FINISH : Z_NO_FLUSH);
            const size_t n = kStreamChunk - z.avail_out;
            if (n > 0) ok = WriteChunk(out, "IDAT", packed, n);
        } while (ok && (z.avail_out == 0 || (last && result == Z_OK)));
    }
    deflateEnd(&z);
    std::free(packed);
    std::free(row);
    return ok;
}


bool EncodeRows(const PngRows& rows, OutputFile* out, size_t whole_limit, Message* why) {
    // width <= 2^28, so 4 * width + 1 fits; the product is checked below.
    const size_t row_size = rows.Channels() * static_cast<size_t>(rows.width) + 1;
    const bool whole = row_size <= whole_limit / static_cast<size_t>(rows.height);
    if (!WriteHeader(rows, out)) return false;
    const bool ok = whole ? DeflateWhole(rows, row_size, out, why) : DeflateByRows(rows, row_size, out, why);
    return ok && WriteChunk(out, "IEND", nullptr, 0);
}

}  // namespace

bool EncodePng(const PictureLayout& layout, const uint8_t* bits, OutputFile* out, size_t whole_limit, Message* why) {
    return EncodeRows({PngRows::Kind::kBottomUpBgr, layout.width, layout.height, bits, layout.stride}, out,
                      whole_limit, why);
}

bool EncodePng(const RgbaPicture& picture, OutputFile* out, size_t whole_limit, Message* why) {
    bool opaque = true;
    const uint8_t* p = picture.pixels();
    for (uint64_t k = 3, n = uint64_t{picture.stride()} * static_cast<uint32_t>(picture.height()); k < n && opaque; k += 4) {
        opaque = p[k] == 255;
    }
    const auto kind = opaque ? PngRows::Kind::kRgbaOpaque : PngRows::Kind::kRgba;
    return EncodeRows({kind, picture.width(), picture.height(), p, picture.stride()}, out, whole_limit, why);
}

}  // namespace qavren::cli
