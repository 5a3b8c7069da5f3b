#pragma once
// The serial device layer: one terminal device opened exclusively, its line settings and
// modem lines, the bytes waiting in its input queue, its error counters, and the wait of a
// port's event thread for data.
//
// Failures return false and record errno and what was being done where they happened
// (LastError, LastOperation); nothing here throws. Pseudo-terminals are accepted as serial
// devices: they have no modem lines and no error counters, and the ioctls for those fail
// there with ENOTTY or EINVAL, which is not an error here (the lines read as inactive, the
// counters as unchanged).
//
// Threads:
// - SerialDevice: its members are called by one thread at a time, the thread that owns the
//   port (the user-interface thread). While the device is open its descriptor (Handle) may
//   be watched by one event thread through SerialWatch and the static readers below; the
//   owner closes the device only after that thread has been joined. Nothing blocks: the
//   device is non-blocking and reads take only what is waiting.
// - SerialWatch: Wait on the event thread only; Stop from any thread, any number of times.
//   Wait blocks until data, a hang-up, a stop request or its time limit; Stop wakes it at
//   once. The owner destroys the watch after joining the thread that waits on it.

#include <cstddef>
#include <cstdint>
#include <string>

namespace quorvex::platform {

enum class SerialParity { None, Odd, Even, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };

// The line as the device should run it. Raw bytes always: no echo, no line editing, no
// translation of characters, receiver on, modem status lines ignored for carrier (CLOCAL).
struct SerialLineSettings {
    std::int64_t BaudRate = 9600;  // bits per second; any rate the driver can produce
    int DataBits = 8;              // 5 to 8
    SerialParity Parity = SerialParity::None;
    SerialStopBits StopBits = SerialStopBits::One;  // one and a half is two on this platform
    bool ParityCheck = false;                       // check the parity of received bytes
    bool HardwareFlow = false;                      // RTS/CTS handshake; the driver then drives RTS
    bool XonXoffOut = false;                        // stop sending on XOFF from the far end
    bool XonXoffIn = false;  // send XOFF/XON as the input queue fills and drains
    unsigned char XonChar = 17;
    unsigned char XoffChar = 19;
    bool Dtr = false;  // DTR active
    bool Rts = false;  // RTS active (not touched under HardwareFlow)
};

// Error conditions counted by the driver since the previous reading.
struct SerialErrors {
    bool Frame = false;
    bool Parity = false;
    bool Overrun = false;
    bool Break = false;
    bool Overflow = false;  // the driver's input buffer overflowed
    bool Any() const { return Frame || Parity || Overrun || Break || Overflow; }
};

// The driver's running totals, where it keeps them.
struct SerialErrorCounters {
    std::int64_t Frame = 0, Parity = 0, Overrun = 0, Break = 0, Overflow = 0;
    bool operator==(const SerialErrorCounters&) const = default;
};

struct SerialModemLines {
    bool Cts = false;
    bool Dsr = false;
    bool Ring = false;
    bool Rlsd = false;  // carrier detect
};

class SerialDevice {
  public:
    SerialDevice() = default;
    ~SerialDevice();  // closes
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens the terminal device at `path` for reading and writing, non-blocking, without
    // making it the controlling terminal, and exclusively: an advisory lock that another
    // program holding the device refuses (recorded as EBUSY), and the terminal's exclusive
    // mode. A path that is no terminal fails with ENOTTY. Not while open.
    bool Open(const std::string& path);
    // Releases the device (its exclusive mode first). Nothing when closed.
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Handle() const { return fd_; }

    // The driver queues are fixed on this platform; sizes are checked and kept.
    bool SetQueueSizes(int input, int output);
    int InputQueueSize() const { return inputQueue_; }

    // Applies the whole line at once (termios2, so every rate works, 833333 and 3000000
    // baud included), then the DTR and RTS lines. A rate the driver cannot produce within
    // 3 % fails with EINVAL, as does a rate of 0 or less.
    bool ApplyLineSettings(const SerialLineSettings& settings);

    // The number of bytes waiting in the input queue.
    bool BytesWaiting(int& count);
    // Reads up to `count` waiting bytes into `block`; `got` is how many came (fewer only
    // when fewer were waiting). Never waits.
    bool Read(char* block, std::size_t count, std::size_t& got);
    // The error conditions the driver counted since the previous call (or since Open).
    bool ReadErrors(SerialErrors& errors);
    bool ReadModemLines(SerialModemLines& lines);
    // Drops both queues. A device that has gone away (EIO, ENXIO, ENODEV) has nothing left
    // to drop, so that is success: closing such a device must not fail.
    bool Purge();

    int LastError() const { return lastError_; }
    const char* LastOperation() const { return lastOperation_; }

    // For the event thread, on the descriptor of an open device. False with errno set.
    static bool BytesWaitingOn(int fd, int& count);
    // False where the driver keeps no counters (pseudo-terminals, some adapters).
    static bool ReadErrorCountersOn(int fd, SerialErrorCounters& counters);
    static void PurgeOn(int fd);

  private:
    bool Fail(const char* operation, int error);

    int fd_ = -1;
    int lastError_ = 0;
    const char* lastOperation_ = "";
    int inputQueue_ = 0;
    int outputQueue_ = 0;
    bool countersKnown_ = false;
    SerialErrorCounters counters_;
};

// The wait of a port's event thread: data on the device, the device gone, or a stop
// request, whichever comes first.
class SerialWatch {
  public:
    enum class Result { Readable, TimedOut, HungUp, Stopped, Failed };

    SerialWatch();  // Valid() is false (with Error()) when the stop signal cannot be made
    ~SerialWatch();
    SerialWatch(const SerialWatch&) = delete;
    SerialWatch& operator=(const SerialWatch&) = delete;

    bool Valid() const { return stopFd_ >= 0; }
    int Error() const { return error_; }

    // Waits on `device` for data (only when `forData`; otherwise only for a hang-up) for at
    // most `timeoutMs` milliseconds (negative: no limit). A stop request wins over data;
    // a hang-up or error of the device (POLLHUP, POLLERR, POLLNVAL) gives HungUp, after
    // which the caller must stop waiting: it would be reported again at once.
    Result Wait(int device, bool forData, int timeoutMs);
    // Makes the current and every later Wait return Stopped.
    void Stop();

  private:
    int stopFd_ = -1;
    int error_ = 0;
};

}  // namespace quorvex::platform
