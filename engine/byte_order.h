#pragma once
// Big- and little-endian number helpers shared by every file writer and reader.
// Put* append to a byte vector, Set* overwrite bytes already there, Get* read.
// Set*/Get* need at least as many bytes in the span as the number is wide.

#include <cassert>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace kvt {

namespace byte_order_detail {
template <typename T>
constexpr void SetBe(std::span<uint8_t> at, T value) {
    assert(at.size() >= sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i)
        at[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * (sizeof(T) - 1 - i)));
}
template <typename T>
constexpr void SetLe(std::span<uint8_t> at, T value) {
    assert(at.size() >= sizeof(T));
    for (size_t i = 0; i < sizeof(T); ++i) at[i] = static_cast<uint8_t>(static_cast<uint64_t>(value) >> (8 * i));
}
template <typename T>
constexpr T GetBe(std::span<const uint8_t> from) {
    assert(from.size() >= sizeof(T));
    uint64_t value = 0;
    for (size_t i = 0; i < sizeof(T); ++i) value = (value << 8) | from[i];
    return static_cast<T>(value);
}
template <typename T>
constexpr T GetLe(std::span<const uint8_t> from) {
    assert(from.size() >= sizeof(T));
    uint64_t value = 0;
    for (size_t i = sizeof(T); i-- > 0;) value = (value << 8) | from[i];
    return static_cast<T>(value);
}
template <typename T, bool kBig>
void Put(std::vector<uint8_t>& out, T value) {
    const size_t at = out.size();
    out.resize(at + sizeof(T));
    if constexpr (kBig)
        SetBe<T>(std::span(out).subspan(at), value);
    else
        SetLe<T>(std::span(out).subspan(at), value);
}
}  // namespace byte_order_detail

constexpr void SetBe16(std::span<uint8_t> at, uint16_t v) {
    byte_order_detail::SetBe(at, v);
}
constexpr void SetBe32(std::span<uint8_t> at, uint32_t v) {
    byte_order_detail::SetBe(at, v);
}
constexpr void SetBe64(std::span<uint8_t> at, uint64_t v) {
    byte_order_detail::SetBe(at, v);
}
constexpr void SetLe16(std::span<uint8_t> at, uint16_t v) {
    byte_order_detail::SetLe(at, v);
}
constexpr void SetLe32(std::span<uint8_t> at, uint32_t v) {
    byte_order_detail::SetLe(at, v);
}
constexpr void SetLe64(std::span<uint8_t> at, uint64_t v) {
    byte_order_detail::SetLe(at, v);
}

constexpr uint16_t GetBe16(std::span<const uint8_t> f) {
    return byte_order_detail::GetBe<uint16_t>(f);
}
constexpr uint32_t GetBe32(std::span<const uint8_t> f) {
    return byte_order_detail::GetBe<uint32_t>(f);
}
constexpr uint64_t GetBe64(std::span<const uint8_t> f) {
    return byte_order_detail::GetBe<uint64_t>(f);
}
constexpr uint16_t GetLe16(std::span<const uint8_t> f) {
    return byte_order_detail::GetLe<uint16_t>(f);
}
constexpr uint32_t GetLe32(std::span<const uint8_t> f) {
    return byte_order_detail::GetLe<uint32_t>(f);
}
constexpr uint64_t GetLe64(std::span<const uint8_t> f) {
    return byte_order_detail::GetLe<uint64_t>(f);
}

inline void PutU8(std::vector<uint8_t>& out, uint8_t v) {
    out.push_back(v);
}
inline void PutBe16(std::vector<uint8_t>& out, uint16_t v) {
    byte_order_detail::Put<uint16_t, true>(out, v);
}
inline void PutBe32(std::vector<uint8_t>& out, uint32_t v) {
    byte_order_detail::Put<uint32_t, true>(out, v);
}
inline void PutBe64(std::vector<uint8_t>& out, uint64_t v) {
    byte_order_detail::Put<uint64_t, true>(out, v);
}
inline void PutLe16(std::vector<uint8_t>& out, uint16_t v) {
    byte_order_detail::Put<uint16_t, false>(out, v);
}
inline void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
    byte_order_detail::Put<uint32_t, false>(out, v);
}
inline void PutLe64(std::vector<uint8_t>& out, uint64_t v) {
    byte_order_detail::Put<uint64_t, false>(out, v);
}

// Appends the characters of `text` as bytes (a chunk tag, a version text), no terminator.
inline void PutText(std::vector<uint8_t>& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
// Appends raw bytes.
inline void PutBytes(std::vector<uint8_t>& out, std::span<const uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace kvt
