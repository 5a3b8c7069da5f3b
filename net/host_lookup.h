#pragma once
// HostLookup: one name lookup at a time for a network component, run on a short-lived
// helper thread so the resolver never blocks the component's thread.
//
// Start hands the name to a detached helper thread, which calls platform::LookupHostIPv4 or
// platform::LookupTcpService and queues the result to the owner object; the result handler
// then runs on the owner's thread from its event loop, never from inside Start. A lookup
// that is cancelled (Cancel, a new Start, or the HostLookup going with its owner) never
// calls back, and its helper thread never touches the owner again: it finishes the
// resolver call, finds the request forgotten and ends.
//
// The hand-over is guarded by one lock shared by every lookup: the helper thread stores the
// result and queues the call while holding it, the queued call takes it before it reads
// anything the helper thread made, and Cancel takes it to forget the request. So the
// hand-over is sound without leaning on the lock of Qt's event queue, and a helper thread
// that is about to queue its call holds back a Cancel (and so the owner's destruction) for
// no longer than the queueing takes.
//
// Threads: construct, call Start, Cancel and Pending, and destroy on the owner's thread
// (the user-interface thread for the components here). None of them waits for the resolver;
// Cancel and the destructor wait at most for a helper thread that is queueing its result.
// The destructor cancels, so a HostLookup held as a member of its owner shuts down with it;
// a helper thread still in the resolver then ends on its own.

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace quorvex::net {

class HostLookup {
  public:
    enum class Target : std::uint8_t {
        HostAddress,  // an IPv4 address, the value in host byte order
        TcpService    // a service name or port number of protocol tcp, the value its port
    };
    // `code` 0 and the value found, or the resolver's Windows Sockets code and 0. The lookup
    // is no longer pending when it runs, so it may call Start or Cancel.
    using Done = std::function<void(int code, std::uint32_t value)>;

    // `owner`: the object on whose thread `done` runs; it must outlive this HostLookup.
    HostLookup(QObject* owner, Done done);
    ~HostLookup();
    HostLookup(const HostLookup&) = delete;
    HostLookup& operator=(const HostLookup&) = delete;

    // Cancels a lookup under way, then looks `name` up. Returns 0, or the Windows Sockets
    // code of the reason no helper thread could start (then nothing is pending).
    int Start(Target target, const std::string& name);
    // Forgets the lookup under way, if any: its result is never handed out.
    void Cancel();
    // A lookup has started and neither called back nor been cancelled.
    bool Pending() const { return request_ != nullptr; }

  private:
    struct Request;

    // The helper thread's work: the resolver call, then the result queued to the owner.
    static void Resolve(const std::shared_ptr<Request>& request, Target target,
                        const std::string& name);
    // On the owner's thread, for the request still pending.
    void Finish(int code, std::uint32_t value);

    QObject* owner_;
    Done done_;
    std::shared_ptr<Request> request_;
};

}  // namespace quorvex::net
