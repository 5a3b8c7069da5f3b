#include "tools/sim/serial_stream.h"

#include <unistd.h>

#include <cstring>
#include <stdexcept>

namespace quorvex::sim {

SerialStream::SerialStream(const std::string& path, std::int64_t baud) {
    platform::SerialLineSettings line;
    line.BaudRate = baud;
    line.Dtr = true;
    line.Rts = true;
    if (!device_.Open(path) || !device_.ApplyLineSettings(line)) {
        throw std::runtime_error(path + ": " + device_.LastOperation() + ": " +
                                 std::strerror(device_.LastError()));
    }
}

std::size_t SerialStream::Write(std::string_view bytes) {
    const ssize_t n = ::write(device_.Handle(), bytes.data(), bytes.size());
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

}  // namespace quorvex::sim
