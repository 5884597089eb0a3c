#pragma once
// Little-endian field access over outside bytes (sonar frames, recordings,
// position frames, palette and target files). Every getter is bounds-checked:
// a field that does not lie wholly inside the bytes reads as "absent", never
// beyond them.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>

namespace kestrova {

class ByteReader {
  public:
    ByteReader() = default;
    explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    ByteReader(const void* data, std::size_t size)
        : bytes_(static_cast<const std::uint8_t*>(data), size) {}

    std::size_t size() const { return bytes_.size(); }
    bool has(std::size_t off, std::size_t n) const {
        return off <= bytes_.size() && n <= bytes_.size() - off;
    }
    std::span<const std::uint8_t> bytes() const { return bytes_; }
    std::span<const std::uint8_t> sub(std::size_t off, std::size_t n) const {
        return has(off, n) ? bytes_.subspan(off, n) : std::span<const std::uint8_t>{};
    }

    std::optional<std::uint8_t> u8(std::size_t off) const {
        if (!has(off, 1)) return std::nullopt;
        return bytes_[off];
    }
    std::optional<std::uint16_t> u16le(std::size_t off) const {
        if (!has(off, 2)) return std::nullopt;
        return static_cast<std::uint16_t>(bytes_[off] | (bytes_[off + 1] << 8));
    }
    std::optional<std::uint32_t> u32le(std::size_t off) const {
        if (!has(off, 4)) return std::nullopt;
        return raw32(off);
    }
    std::optional<std::uint64_t> u64le(std::size_t off) const {
        if (!has(off, 8)) return std::nullopt;
        return std::uint64_t{raw32(off)} | (std::uint64_t{raw32(off + 4)} << 32);
    }
    std::optional<std::int8_t> i8(std::size_t off) const {
        auto v = u8(off);
        if (!v) return std::nullopt;
        return static_cast<std::int8_t>(*v);
    }
    std::optional<std::int16_t> i16le(std::size_t off) const {
        auto v = u16le(off);
        if (!v) return std::nullopt;
        return static_cast<std::int16_t>(*v);
    }
    std::optional<std::int32_t> i32le(std::size_t off) const {
        auto v = u32le(off);
        if (!v) return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }
    std::optional<std::int64_t> i64le(std::size_t off) const {
        auto v = u64le(off);
        if (!v) return std::nullopt;
        return static_cast<std::int64_t>(*v);
    }
    std::optional<float> f32le(std::size_t off) const {
        auto v = u32le(off);
        if (!v) return std::nullopt;
        return std::bit_cast<float>(*v);
    }
    std::optional<double> f64le(std::size_t off) const {
        auto v = u64le(off);
        if (!v) return std::nullopt;
        return std::bit_cast<double>(*v);
    }

  private:
    std::uint32_t raw32(std::size_t off) const {
        return std::uint32_t{bytes_[off]} | (std::uint32_t{bytes_[off + 1]} << 8) |
               (std::uint32_t{bytes_[off + 2]} << 16) | (std::uint32_t{bytes_[off + 3]} << 24);
    }
    std::span<const std::uint8_t> bytes_;
};

// Writes fields at fixed offsets of a caller-owned block. A field that would not
// fit is not written and marks the writer failed.
class ByteWriter {
  public:
    explicit ByteWriter(std::span<std::uint8_t> bytes) : bytes_(bytes) {}
    ByteWriter(void* data, std::size_t size) : bytes_(static_cast<std::uint8_t*>(data), size) {}

    bool ok() const { return ok_; }
    std::size_t size() const { return bytes_.size(); }

    void u8(std::size_t off, std::uint8_t v) {
        if (fits(off, 1)) bytes_[off] = v;
    }
    void u16le(std::size_t off, std::uint16_t v) {
        if (!fits(off, 2)) return;
        bytes_[off] = static_cast<std::uint8_t>(v);
        bytes_[off + 1] = static_cast<std::uint8_t>(v >> 8);
    }
    void u32le(std::size_t off, std::uint32_t v) {
        if (!fits(off, 4)) return;
        for (int i = 0; i < 4; ++i) bytes_[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void u64le(std::size_t off, std::uint64_t v) {
        if (!fits(off, 8)) return;
        for (int i = 0; i < 8; ++i) bytes_[off + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
    void i8(std::size_t off, std::int8_t v) { u8(off, static_cast<std::uint8_t>(v)); }
    void i16le(std::size_t off, std::int16_t v) { u16le(off, static_cast<std::uint16_t>(v)); }
    void i32le(std::size_t off, std::int32_t v) { u32le(off, static_cast<std::uint32_t>(v)); }
    void i64le(std::size_t off, std::int64_t v) { u64le(off, static_cast<std::uint64_t>(v)); }
    void f32le(std::size_t off, float v) { u32le(off, std::bit_cast<std::uint32_t>(v)); }
    void f64le(std::size_t off, double v) { u64le(off, std::bit_cast<std::uint64_t>(v)); }
    void bytes(std::size_t off, const void* src, std::size_t n) {
        if (fits(off, n) && n) std::memcpy(bytes_.data() + off, src, n);
    }
    void fill(std::size_t off, std::uint8_t value, std::size_t n) {
        if (fits(off, n) && n) std::memset(bytes_.data() + off, value, n);
    }

  private:
    bool fits(std::size_t off, std::size_t n) {
        if (off <= bytes_.size() && n <= bytes_.size() - off) return true;
        ok_ = false;
        return false;
    }
    std::span<std::uint8_t> bytes_;
    bool ok_ = true;
};

} // namespace kestrova
