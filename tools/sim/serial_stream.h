#pragma once
// A receiver on a serial device (one end of a null-modem cable, a virtual port): opened
// exclusively, line set to the baud rate, 8 data bits, no parity, raw.
//
// Threads: the simulator's loop only. Nothing blocks: the device is non-blocking.

#include <cstdint>
#include <string>

#include "platform/serial_device.h"
#include "tools/sim/endpoints.h"

namespace quorvex::sim {

class SerialStream final : public ByteStream {
  public:
    // Throws std::runtime_error naming the device and what failed.
    SerialStream(const std::string& path, std::int64_t baud);

    // A serial line has no way to tell whether anyone listens.
    bool ReaderPresent() override { return true; }
    std::size_t Write(std::string_view bytes) override;

  private:
    platform::SerialDevice device_;
};

}  // namespace quorvex::sim
