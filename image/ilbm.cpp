// LightWave's own image files: IFF ILBM (and its chunky cousin PBM). Every
// byte is untrusted; the form is read with the object reader's ByteReader.
//
// FORM ILBM holds, in any order, BMHD (the header: width, height, planes,
// masking, compression), CMAP (RGB palette triples), CAMG (Amiga display
// mode: 0x80 extra half-brite, 0x800 hold-and-modify) and BODY. BODY holds
// each row as `planes` bit planes of RowBytes = 2 × ceil(width / 16) bytes,
// most significant bit first, then the mask plane when masking is 1; with
// compression 1 the bytes are ByteRun1 runs, read here as one stream over the
// whole body (writers differ in whether a run may cross a row). Up to 8
// planes index the palette (grey levels without one); 24 planes are red,
// green and blue, 8 each, least significant plane first; 32 add alpha. The
// mask plane is skipped: pixels are opaque but for 32 planes. Hold-and-modify
// images are refused. PBM holds one palette byte per pixel, rows padded to
// even length.
#include <cstring>

#include "image/image_internal.h"
#include "platform/byte_reader.h"
#include "platform/memory.h"

namespace qavren::image_internal {
namespace {

constexpr uint32_t kId(const char (&s)[5]) {
    return uint32_t{uint8_t(s[0])} << 24 | uint32_t{uint8_t(s[1])} << 16 | uint32_t{uint8_t(s[2])} << 8 | uint8_t(s[3]);
}

struct Header {
    uint32_t width = 0, height = 0;
    uint32_t planes = 0;
    uint32_t masking = 0;
    uint32_t compression = 0;
};

struct Form {
    bool chunky = false;  // PBM
    bool have_header = false;
    Header header;
    const uint8_t* palette = nullptr;  // RGB triples
    uint32_t colours = 0;
    uint32_t mode = 0;  // CAMG
    ByteReader body;
    bool have_body = false;
};

// The chunks of the form's body; a chunk longer than what is left is damage.
Status ReadChunks(ByteReader form, Form* f) {
    while (form.remaining() >= 8) {
        uint32_t id = 0, length = 0;
        form.ReadU32(&id);
        form.ReadU32(&length);
        ByteReader chunk;
        if (!form.Take(length, &chunk)) return status::kCorrupt;
        if (length & 1) form.Skip(1);  // the pad byte, absent at the very end
        if (id == kId("BMHD")) {
            if (chunk.remaining() < 20) return status::kCorrupt;
            const uint8_t* p = chunk.position();
            f->header.width = ByteReader::LoadU16(p);
            f->header.height = ByteReader::LoadU16(p + 2);
            f->header.planes = p[8];
            f->header.masking = p[9];
            f->header.compression = p[10];
            f->have_header = true;
        } else if (id == kId("CMAP")) {
            f->palette = chunk.position();
            f->colours = chunk.remaining() / 3 > 256 ? 256 : chunk.remaining() / 3;
        } else if (id == kId("CAMG")) {
            uint32_t mode = 0;
            if (chunk.ReadU32(&mode)) f->mode = mode;
        } else if (id == kId("BODY")) {
            f->body = chunk;
            f->have_body = true;
        }
    }
    return f->have_header && f->have_body ? status::kOk : status::kCorrupt;
}

// The body's bytes as written: copied, or unpacked from ByteRun1 runs.
class BodyStream {
public:
    BodyStream(ByteReader body, bool packed) : in_(body), packed_(packed) {}

    // Fills `out` with the next `count` bytes; false when the body ends first.
    bool Read(uint8_t* out, uint32_t count) {
        if (!packed_) {
            if (in_.remaining() < count) return false;
            std::memcpy(out, in_.position(), count);
            in_.Skip(count);
            return true;
        }
        while (count > 0) {
            if (literal_ == 0 && repeat_ == 0 && !NextRun()) return false;
            uint32_t n = literal_ ? literal_ : repeat_;
            if (n > count) n = count;
            if (literal_) {
                std::memcpy(out, in_.position(), n);
                in_.Skip(n);
                literal_ -= n;
            } else {
                std::memset(out, value_, n);
                repeat_ -= n;
            }
            out += n;
            count -= n;
        }
        return true;
    }

private:
    // n in 0..127: n + 1 bytes follow as they are; n in -127..-1: the next
    // byte 1 - n times; -128: nothing.
    bool NextRun() {
        while (in_.remaining() > 0) {
            const int8_t n = static_cast<int8_t>(*in_.position());
            in_.Skip(1);
            if (n >= 0) {
                literal_ = static_cast<uint32_t>(n) + 1;
                return in_.remaining() >= literal_;
            }
            if (n != -128) {
                if (in_.remaining() < 1) return false;
                value_ = *in_.position();
                in_.Skip(1);
                repeat_ = static_cast<uint32_t>(1 - n);
                return true;
            }
        }
        return false;
    }

    ByteReader in_;
    bool packed_;
    uint32_t literal_ = 0;
    uint32_t repeat_ = 0;
    uint8_t value_ = 0;
};

// A block of the platform's memory, freed on every path.
struct RowBlock {
    ~RowBlock() { platform::Free(bytes); }
    uint8_t* bytes = nullptr;
};

void PaletteColour(const Form& f, uint32_t index, uint8_t* rgba) {
    const uint32_t base = f.mode & 0x80 && f.header.planes == 6 && index >= 32 ? index - 32 : index;
    if (f.palette && base < f.colours) {
        for (int c = 0; c < 3; ++c) rgba[c] = f.palette[base * 3 + c];
    } else if (!f.palette) {  // no palette: grey levels over the index range
        const uint32_t top = (1u << f.header.planes) - 1;
        rgba[0] = rgba[1] = rgba[2] = static_cast<uint8_t>(index * 255 / (top ? top : 1));
    }  // an index past a short palette stays black
    if (base != index) {  // extra half-brite: the lower 32 colours at half strength
        for (int c = 0; c < 3; ++c) rgba[c] = static_cast<uint8_t>(rgba[c] >> 1);
    }
    rgba[3] = 255;
}

}  // namespace

bool IsIlbm(const uint8_t* bytes, size_t size) {
    return size >= 12 && std::memcmp(bytes, "FORM", 4) == 0 &&
           (std::memcmp(bytes + 8, "ILBM", 4) == 0 || std::memcmp(bytes + 8, "PBM ", 4) == 0);
}

Status DecodeIlbm(const uint8_t* bytes, size_t size, Image* out) {
    if (size > UINT32_MAX) return status::kUnsupportedInput;
    ByteReader file(bytes, static_cast<uint32_t>(size));
    uint32_t form_length = 0;
    file.Skip(4);
    file.ReadU32(&form_length);
    // Writers that round the form's length are common: read what is there.
    ByteReader form;
    file.Take(form_length < file.remaining() ? form_length : file.remaining(), &form);
    Form f;
    f.chunky = std::memcmp(bytes + 8, "PBM ", 4) == 0;
    form.Skip(4);
    Status st = ReadChunks(form, &f);
    if (Failed(st)) return st;

    const Header& h = f.header;
    const bool deep = h.planes == 24 || h.planes == 32;
    if (h.compression > 1 || (f.mode & 0x800) || (f.chunky ? h.planes != 8 : !deep && (h.planes < 1 || h.planes > 8))) {
        return status::kUnsupportedInput;
    }
    if (uint64_t{h.width} * h.height == 0 || uint64_t{h.width} * h.height > kMaxImagePixels) {
        return status::kUnsupportedInput;
    }
    // One row as stored: the planes (and mask) of RowBytes each, or PBM's
    // bytes padded to even; at most 33 × 8,192 bytes.
    const uint32_t row_bytes = f.chunky ? (h.width + 1) & ~1u : (h.width + 15) / 16 * 2;
    const uint32_t stored_planes = f.chunky ? 1 : h.planes + (h.masking == 1 ? 1 : 0);
    RowBlock row;
    row.bytes = static_cast<uint8_t*>(platform::AllocateZeroed(size_t{row_bytes} * stored_planes));
    if (!row.bytes) return status::kNoMemory;
    Image image;
    st = image.Allocate(h.width, h.height);
    if (Failed(st)) return st;

    BodyStream body(f.body, h.compression == 1);
    for (uint32_t y = 0; y < h.height; ++y) {
        if (!body.Read(row.bytes, row_bytes * stored_planes)) return status::kCorrupt;
        uint8_t* pixel = image.pixels() + size_t{y} * h.width * 4;
        for (uint32_t x = 0; x < h.width; ++x, pixel += 4) {
            if (f.chunky) {
                PaletteColour(f, row.bytes[x], pixel);
                continue;
            }
            const uint32_t byte = x >> 3, bit = 7 - (x & 7);
            uint32_t value = 0;
            for (uint32_t p = 0; p < h.planes; ++p) {
                value |= uint32_t{(row.bytes[p * row_bytes + byte] >> bit) & 1u} << p;
            }
            if (deep) {
                pixel[0] = static_cast<uint8_t>(value);
                pixel[1] = static_cast<uint8_t>(value >> 8);
                pixel[2] = static_cast<uint8_t>(value >> 16);
                pixel[3] = h.planes == 32 ? static_cast<uint8_t>(value >> 24) : 255;
            } else {
                PaletteColour(f, value, pixel);
            }
        }
    }
    *out = static_cast<Image&&>(image);
    return status::kOk;
}

}  // namespace qavren::image_internal
