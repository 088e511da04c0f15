// The one reader of object bytes. Every byte of an object file is untrusted:
// each read knows how many bytes remain and fails instead of running past
// them, so no other code indexes the buffer by hand.
#pragma once

#include <cstdint>
#include <cstring>

namespace qavren {

class ByteReader {
public:
    ByteReader() = default;
    ByteReader(const uint8_t* data, uint32_t size) : p_(data), left_(size) {}

    uint32_t remaining() const { return left_; }
    const uint8_t* position() const { return p_; }

    bool ReadU16(uint16_t* v) {
        if (left_ < 2) return false;
        *v = static_cast<uint16_t>(p_[0] << 8 | p_[1]);
        Advance(2);
        return true;
    }

    bool ReadU32(uint32_t* v) {
        if (left_ < 4) return false;
        *v = LoadU32(p_);
        Advance(4);
        return true;
    }

    // A VX index of the later forms: 2 bytes, or 4 with 0xFF on top.
    bool ReadVx(uint32_t* v) {
        if (left_ >= 4 && p_[0] == 0xFF) {
            *v = LoadU32(p_) & 0x00FFFFFFu;
            Advance(4);
            return true;
        }
        uint16_t short_index = 0;
        if (!ReadU16(&short_index)) return false;
        *v = short_index;
        return true;
    }

    bool Skip(uint32_t n) {
        if (left_ < n) return false;
        Advance(n);
        return true;
    }

    // Splits off the next `n` bytes as a reader of their own.
    bool Take(uint32_t n, ByteReader* part) {
        if (left_ < n) return false;
        *part = ByteReader(p_, n);
        Advance(n);
        return true;
    }

    // Unchecked decoders for callers that proved the bytes are there.
    static uint32_t LoadU32(const uint8_t* p) {
        return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
    }
    static uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
    static float LoadF32(const uint8_t* p) {
        uint32_t bits = LoadU32(p);
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    static double LoadF64(const uint8_t* p) {
        const uint64_t bits = uint64_t{LoadU32(p)} << 32 | LoadU32(p + 4);
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }

private:
    void Advance(uint32_t n) {
        p_ += n;
        left_ -= n;
    }

    const uint8_t* p_ = nullptr;
    uint32_t left_ = 0;
};

}  // namespace qavren
