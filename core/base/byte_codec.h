#pragma once
// Bytes in and out for a session's saved state: numbers and arrays of numbers as the machine
// holds them (little-endian on every machine the program runs on), lengths before their
// elements. The reader never reads past its input, never allocates beyond the limit it is
// given and, once a read failed, fails every later one, so a caller checks once at the end.
//
// Only types whose every bit pattern is a valid value go through as raw bytes (integers and
// floating-point numbers); anything holding a bool, an enum or an optional is written field
// by field by its owner.

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace quorvex {

static_assert(std::endian::native == std::endian::little,
              "saved state is written as a little-endian machine holds it");

template <typename T>
concept RawNumber =
    (std::is_integral_v<T> && !std::is_same_v<T, bool>) || std::is_floating_point_v<T>;

class ByteWriter {
  public:
    explicit ByteWriter(std::string& out) : out_(out) {}

    template <RawNumber T>
    void Put(T value) {
        char bytes[sizeof(T)];
        std::memcpy(bytes, &value, sizeof(T));
        out_.append(bytes, sizeof(T));
    }
    void PutBool(bool value) { Put<std::uint8_t>(value ? 1 : 0); }
    // The elements, without their count: the reader knows how many.
    template <RawNumber T>
    void PutFixed(std::span<const T> values) {
        if (values.empty()) return;
        out_.append(reinterpret_cast<const char*>(values.data()), values.size_bytes());
    }
    // The count, then the elements.
    template <RawNumber T>
    void PutVector(std::span<const T> values) {
        Put<std::uint64_t>(values.size());
        PutFixed(values);
    }
    // Mostly zeros: the count of the others, then each one's index and value.
    void PutSparse(std::span<const std::uint32_t> values) {
        std::uint64_t nonzero = 0;
        for (const std::uint32_t value : values) nonzero += value != 0 ? 1 : 0;
        Put(nonzero);
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (values[i] == 0) continue;
            Put(static_cast<std::uint32_t>(i));
            Put(values[i]);
        }
    }
    void PutString(std::string_view text) {
        Put<std::uint64_t>(text.size());
        out_.append(text);
    }

  private:
    std::string& out_;
};

class ByteReader {
  public:
    explicit ByteReader(std::string_view in) : in_(in) {}

    template <RawNumber T>
    bool Get(T& value) {
        if (!Take(sizeof(T))) return false;
        std::memcpy(&value, in_.data() + at_ - sizeof(T), sizeof(T));
        return true;
    }
    bool GetBool(bool& value) {
        std::uint8_t byte = 0;
        if (!Get(byte) || byte > 1) return Fail();
        value = byte == 1;
        return true;
    }
    // A number that must lie in [low, high].
    template <RawNumber T>
    bool GetIn(T& value, T low, T high) {
        if (!Get(value) || !(value >= low && value <= high)) return Fail();
        return true;
    }
    template <RawNumber T>
    bool GetFixed(std::span<T> values) {
        if (!Take(values.size_bytes())) return false;
        if (values.empty()) return true;
        std::memcpy(values.data(), in_.data() + at_ - values.size_bytes(), values.size_bytes());
        return true;
    }
    // At most `maxCount` elements; more is a failure, not an allocation.
    template <RawNumber T>
    bool GetVector(std::vector<T>& values, std::size_t maxCount) {
        std::uint64_t count = 0;
        if (!Get(count) || count > maxCount || count * sizeof(T) > Left()) return Fail();
        values.resize(static_cast<std::size_t>(count));
        return GetFixed(std::span<T>(values));
    }
    // What PutSparse wrote, into `values` of the size written; indexes must rise.
    bool GetSparse(std::span<std::uint32_t> values) {
        std::uint64_t nonzero = 0;
        if (!GetCount(nonzero, values.size(), 2 * sizeof(std::uint32_t))) return false;
        std::fill(values.begin(), values.end(), 0);
        std::uint64_t next = 0;  // the lowest index the next one may have
        for (std::uint64_t k = 0; k < nonzero; ++k) {
            std::uint32_t index = 0;
            std::uint32_t value = 0;
            if (!Get(index) || !Get(value) || index < next || index >= values.size() ||
                value == 0) {
                return Fail();
            }
            values[index] = value;
            next = std::uint64_t{index} + 1;
        }
        return true;
    }
    bool GetString(std::string& text, std::size_t maxBytes) {
        std::uint64_t count = 0;
        if (!Get(count) || count > maxBytes || count > Left()) return Fail();
        text.assign(in_.substr(at_, static_cast<std::size_t>(count)));
        at_ += static_cast<std::size_t>(count);
        return true;
    }
    // A count of elements of at least `minBytes` each that must still be there: a count a
    // caller may reserve for.
    bool GetCount(std::uint64_t& count, std::size_t maxCount, std::size_t minBytes = 1) {
        if (!Get(count) || count > maxCount || count * minBytes > Left()) return Fail();
        return true;
    }

    bool Fail() {
        failed_ = true;
        return false;
    }
    bool Failed() const { return failed_; }
    std::size_t Left() const { return in_.size() - at_; }
    bool AtEnd() const { return !failed_ && at_ == in_.size(); }

  private:
    bool Take(std::size_t bytes) {
        if (failed_ || bytes > Left()) return Fail();
        at_ += bytes;
        return true;
    }

    std::string_view in_;
    std::size_t at_ = 0;
    bool failed_ = false;
};

}  // namespace quorvex
