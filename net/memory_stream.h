#pragma once
// A byte stream over a buffer of fixed capacity, allocated once: the datagram that the UDP
// listener hands to its read handler, with a size and a read position.
//
// Threads: no locking of its own; its owner says who may touch it when.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvex::net {

class TMemoryStream {
  public:
    explicit TMemoryStream(std::size_t capacity) : storage_(capacity) {}

    std::size_t Size() const { return size_; }
    std::size_t Position() const { return position_; }
    // Beyond the end reads as the end.
    void SetPosition(std::size_t position) { position_ = position < size_ ? position : size_; }

    // Copies up to `count` bytes from the read position on and advances it; returns how many.
    std::size_t Read(void* buffer, std::size_t count);

    // The whole contents, whatever the read position.
    std::span<const std::uint8_t> Bytes() const { return {storage_.data(), size_}; }

    // For the stream's owner: the full buffer to fill, and the contents' new size (at most
    // the capacity) with the read position back at 0.
    std::span<std::uint8_t> Storage() { return storage_; }
    void SetSize(std::size_t size);

  private:
    std::vector<std::uint8_t> storage_;
    std::size_t size_ = 0;
    std::size_t position_ = 0;
};

}  // namespace quorvex::net
