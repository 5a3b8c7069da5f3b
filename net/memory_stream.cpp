#include "net/memory_stream.h"

#include <algorithm>
#include <cstring>

namespace quorvex::net {

std::size_t TMemoryStream::Read(void* buffer, std::size_t count) {
    const std::size_t available = size_ - position_;
    const std::size_t taken = std::min(count, available);
    if (taken > 0) std::memcpy(buffer, storage_.data() + position_, taken);
    position_ += taken;
    return taken;
}

void TMemoryStream::SetSize(std::size_t size) {
    size_ = std::min(size, storage_.size());
    position_ = 0;
}

}  // namespace quorvex::net
