#pragma once
// TComDataPacket: the serial port's packet framer. A thin adapter that links a PacketFramer
// (core/packet_framer.h, where the framing lives) to a TComPort: every chunk the port reads
// goes to the framer's FeedText. It keeps the component's published API: the port, the
// framing properties and the OnPacket and OnDiscard events with their Sender.
//
// Two ways to own the framing: the default constructor frames into a PacketFramer of its own
// and fires OnPacket and OnDiscard with itself as Sender; the other links the port to a
// framer owned elsewhere (a receiver that also feeds it datagrams or a TCP stream), whose own
// handlers then take the packets, and this adapter's OnPacket and OnDiscard stay unused.
//
// Threads: the user-interface thread only, every member and both handlers (port chunks
// arrive through the port's dispatch there). It never blocks and has no lock. Handlers run
// inside FeedText and may call back into the framer (FeedText, the setters).

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/frames/packet_framer.h"
#include "serial/com_types.h"

namespace quorvex::serial {

class TComDataPacket;

using TComStrEvent = std::function<void(TComDataPacket* Sender, const std::string& Str)>;

class TComDataPacket {
  public:
    TComDataPacket();
    // Links the port to `framer`, which must outlive this adapter.
    explicit TComDataPacket(PacketFramer& framer);
    // Detaches from the port (ComPort := none).
    ~TComDataPacket();
    TComDataPacket(const TComDataPacket&) = delete;
    TComDataPacket& operator=(const TComDataPacket&) = delete;

    // The port whose received chunks this framer takes, or none. Attaching and detaching
    // may raise EComPort with code CError_RegFailed. The framer lets go of a port that
    // is destroyed.
    TComPort* ComPort() const { return comPort_; }
    void SetComPort(TComPort* value);

    // The framing properties, as PacketFramer has them.
    const std::string& StartString() const { return framer_->StartString(); }
    void SetStartString(const std::string& value) { framer_->SetStartString(value); }
    const std::string& StopString() const { return framer_->StopString(); }
    void SetStopString(const std::string& value) { framer_->SetStopString(value); }
    std::int32_t Size() const { return framer_->Size(); }
    void SetSize(std::int32_t value) { framer_->SetSize(value); }
    bool CaseInsensitive() const { return framer_->CaseInsensitive(); }
    void SetCaseInsensitive(bool value) { framer_->SetCaseInsensitive(value); }
    bool IncludeStrings() const { return framer_->IncludeStrings(); }
    void SetIncludeStrings(bool value) { framer_->SetIncludeStrings(value); }
    std::int32_t MaxBufferSize() const { return framer_->MaxBufferSize(); }
    void SetMaxBufferSize(std::int32_t value) { framer_->SetMaxBufferSize(value); }

    // Hands text to the framer, as a port chunk does.
    void FeedText(std::string_view Str);

    TComStrEvent OnPacket;
    TComStrEvent OnDiscard;

  private:
    void Link();

    std::unique_ptr<PacketFramer> own_;  // none when the framer is owned elsewhere
    PacketFramer* framer_;
    TComPort* comPort_ = nullptr;
    TComLink link_;
};

}  // namespace quorvex::serial
