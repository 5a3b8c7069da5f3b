#include "net/host_lookup.h"

#include <QMetaObject>
#include <QThread>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/sockets.h"

namespace quorvex::net {

// One lookup. `owner` is set before the helper thread starts and never changes; the rest is
// guarded by HandOverMutex().
struct HostLookup::Request {
    Request(QObject* to, HostLookup* from) : owner(to), lookup(from) {}

    QObject* const owner;
    HostLookup* lookup;  // null once cancelled or handed back
    int code = 0;
    std::uint32_t value = 0;
};

namespace {

// The one lock of every lookup's hand-over (see the header). Never destroyed: a helper
// thread may still leave the resolver while the program ends.
std::mutex& HandOverMutex() {
    static auto* const mutex = new std::mutex;
    return *mutex;
}

}  // namespace

HostLookup::HostLookup(QObject* owner, Done done) : owner_(owner), done_(std::move(done)) {}

HostLookup::~HostLookup() {
    Cancel();
}

int HostLookup::Start(Target target, const std::string& name) {
    Q_ASSERT_X(QThread::currentThread() == owner_->thread(), "HostLookup::Start",
               "called off the owner's thread");
    Cancel();
    auto request = std::make_shared<Request>(owner_, this);
    try {
        std::thread(Resolve, request, target, name).detach();
    } catch (const std::system_error& error) {
        return platform::SocketErrorFromErrno(error.code().value());
    }
    request_ = std::move(request);
    return 0;
}

void HostLookup::Cancel() {
    if (!request_) return;
    Q_ASSERT_X(QThread::currentThread() == owner_->thread(), "HostLookup::Cancel",
               "called off the owner's thread");
    {
        std::lock_guard lock(HandOverMutex());
        request_->lookup = nullptr;
    }
    request_.reset();
}

void HostLookup::Resolve(const std::shared_ptr<Request>& request, Target target,
                         const std::string& name) {
    std::uint32_t value = 0;
    int code = 0;
    if (target == Target::HostAddress) {
        code = platform::LookupHostIPv4(name, value);
    } else {
        std::uint16_t port = 0;
        code = platform::LookupTcpService(name, port);
        value = port;
    }
    std::lock_guard lock(HandOverMutex());
    if (request->lookup == nullptr) return;  // forgotten: the owner may be gone
    request->code = code;
    request->value = code == 0 ? value : 0;
    // Queued while the lock holds back Cancel, so the owner is alive; Qt drops the call if
    // the owner goes before it runs.
    QMetaObject::invokeMethod(
        request->owner,
        [request] {
            // The lock first: what the call captured was written by the helper thread.
            std::unique_lock handOver(HandOverMutex());
            HostLookup* const lookup = std::exchange(request->lookup, nullptr);
            const int result = request->code;
            const std::uint32_t found = request->value;
            handOver.unlock();
            if (lookup != nullptr) lookup->Finish(result, found);
        },
        Qt::QueuedConnection);
}

void HostLookup::Finish(int code, std::uint32_t value) {
    request_.reset();  // first: the handler may start the next lookup
    if (done_) done_(code, value);
}

}  // namespace quorvex::net
