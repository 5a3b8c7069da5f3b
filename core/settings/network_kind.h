#pragma once
// The two kinds of stream a receiver on the network sends: hex text lines ("raw") or the
// Beast binary format. Its own header so the network layer can name it without the
// profile logic around it.

#include <cstdint>

namespace quorvex {

enum class NetworkKind : std::uint8_t { Raw, Beast };

}  // namespace quorvex
