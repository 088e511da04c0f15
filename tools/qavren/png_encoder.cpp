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

bool WriteHeader(const PictureLayout& l, OutputFile* out) {
    uint8_t ihdr[13] = {};
    PutBe32(ihdr, static_cast<uint32_t>(l.width));
    PutBe32(ihdr + 4, static_cast<uint32_t>(l.height));
    ihdr[8] = 8;  // bits per sample
    ihdr[9] = 2;  // RGB; compression, filter method and interlace stay 0
    const uint8_t srgb = 0;  // perceptual: the canvas's colours are sRGB as they are
    return out->Write(kSignature, sizeof kSignature) && WriteChunk(out, "IHDR", ihdr, sizeof ihdr) &&
           WriteChunk(out, "sRGB", &srgb, 1);
}

// Row y counted from the top, filtered: the Up filter's byte, then each RGB
// sample less the one above it (the row above the first is zero).
void FilterRow(const PictureLayout& l, const uint8_t* bits, int32_t y, uint8_t* out) {
    const uint8_t* row = bits + static_cast<size_t>(l.height - 1 - y) * l.stride;
    out[0] = kFilterUp;
    uint8_t* o = out + 1;
    const auto w = static_cast<size_t>(l.width);
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

bool DeflateWhole(const PictureLayout& l, const uint8_t* bits, size_t row_size, OutputFile* out, Message* why) {
    const size_t filtered_size = row_size * static_cast<size_t>(l.height);
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(kWholeLevel);
    auto* filtered = static_cast<uint8_t*>(std::malloc(filtered_size));
    const size_t bound = compressor ? libdeflate_zlib_compress_bound(compressor, filtered_size) : 0;
    auto* packed = static_cast<uint8_t*>(bound ? std::malloc(bound) : nullptr);
    bool ok = false;
    if (!compressor || !filtered || !packed) {
        Format(why, "not enough memory to encode the PNG picture");
    } else {
        for (int32_t y = 0; y < l.height; ++y) FilterRow(l, bits, y, filtered + row_size * static_cast<size_t>(y));
        const size_t size = libdeflate_zlib_compress(compressor, filtered, filtered_size, packed, bound);
        ok = size > 0 && WriteIdat(out, packed, size);
        if (size == 0) Format(why, "the PNG encoder failed");
    }
    std::free(packed);
    std::free(filtered);
    libdeflate_free_compressor(compressor);
    return ok;
}

bool DeflateByRows(const PictureLayout& l, const uint8_t* bits, size_t row_size, OutputFile* out, Message* why) {
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
        if (!last) FilterRow(l, bits, y, row);
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

}  // namespace

bool EncodePng(const PictureLayout& layout, const uint8_t* bits, OutputFile* out, size_t whole_limit, Message* why) {
    // width <= 2^28, so 3 * width + 1 fits; the product is checked below.
    const size_t row_size = 3 * static_cast<size_t>(layout.width) + 1;
    const bool whole = row_size <= whole_limit / static_cast<size_t>(layout.height);
    if (!WriteHeader(layout, out)) return false;
    const bool ok = whole ? DeflateWhole(layout, bits, row_size, out, why) : DeflateByRows(layout, bits, row_size, out, why);
    return ok && WriteChunk(out, "IEND", nullptr, 0);
}

}  // namespace qavren::cli
