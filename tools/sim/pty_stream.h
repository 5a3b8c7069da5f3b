#pragma once
// A receiver's pseudo-terminal: the simulator holds the master, a program opens the slave
// (Path) as its serial port. Raw mode, so nothing is echoed or held back for a line end.
//
// Threads: the simulator's loop only. Nothing blocks: the master is non-blocking.

#include <functional>
#include <string>

#include "tools/sim/endpoints.h"

namespace quorvex::sim {

class PtyStream final : public ByteStream {
  public:
    // `announce` gets the slave's path now and after every hang-up. Throws
    // std::runtime_error when no pseudo-terminal can be had.
    explicit PtyStream(std::function<void(const std::string&)> announce);
    ~PtyStream() override;
    PtyStream(const PtyStream&) = delete;
    PtyStream& operator=(const PtyStream&) = delete;

    const std::string& Path() const { return path_; }

    // The master reports a hang-up while no one has the slave open.
    bool ReaderPresent() override;
    std::size_t Write(std::string_view bytes) override;
    // Closes the master, so the reader sees its line hang up, and opens a new pair.
    bool HangUp() override;

  private:
    void Open();

    int master_ = -1;
    std::string path_;
    std::function<void(const std::string&)> announce_;
};

}  // namespace quorvex::sim
