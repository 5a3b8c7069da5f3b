// The checkpoint reader on arbitrary bytes: it never crashes; what it takes is exactly the
// frame the writer makes of that payload (so nothing torn or altered is ever taken); and any
// bytes as a payload come back whole.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "core/run/checkpoint_file.h"

namespace {

void Check(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "checkpoint_reader_fuzz: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const quorvex::DecodedCheckpoint decoded = quorvex::DecodeCheckpoint(bytes);
    if (decoded.payload) {
        Check(quorvex::EncodeCheckpoint(*decoded.payload) == bytes, "took a frame not as written");
    } else {
        Check(!decoded.problem.empty(), "refused without a reason");
    }
    Check(quorvex::DecodeCheckpoint(quorvex::EncodeCheckpoint(bytes)).payload == bytes,
          "a payload did not come back whole");
    return 0;
}
