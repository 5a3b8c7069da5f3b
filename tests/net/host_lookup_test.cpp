// The host lookup on its own: results come back on the owner's thread from its event loop,
// a handler may start the next lookup, and a lookup cancelled, replaced or outlived by its
// owner never calls back, whether or not its result was already queued.

#include "net/host_lookup.h"

#include <QThread>
#include <functional>
#include <thread>
#include <utility>

#include "loopback.h"

namespace quorvex::net {
namespace {

using Target = HostLookup::Target;

class HostLookupTest : public test::LoopbackTest {
  protected:
    std::unique_ptr<HostLookup> MakeLookup(QObject* owner) {
        return std::make_unique<HostLookup>(owner, [this, owner](int code, std::uint32_t value) {
            EXPECT_EQ(QThread::currentThread(), owner->thread());
            codes.push_back(code);
            values.push_back(value);
            if (next) std::exchange(next, nullptr)();
        });
    }

    std::vector<int> codes;
    std::vector<std::uint32_t> values;
    std::function<void()> next;  // run once by the next result's handler
};

TEST_F(HostLookupTest, TheResultComesBackFromTheOwnersEventLoop) {
    struct Case {
        Target target;
        const char* name;
        bool found;
        std::uint32_t value;
    };
    QObject owner;
    auto lookup = MakeLookup(&owner);
    for (const Case& c : {Case{Target::HostAddress, "localhost", true, 0x7F000001},
                          Case{Target::TcpService, "30003", true, 30003},
                          Case{Target::TcpService, "no-such-service", false, 0}}) {
        SCOPED_TRACE(c.name);
        codes.clear();
        values.clear();
        ASSERT_EQ(lookup->Start(c.target, c.name), 0);
        EXPECT_TRUE(lookup->Pending() && values.empty());
        ASSERT_TRUE(RunUntil([&] { return !values.empty(); }));
        EXPECT_FALSE(lookup->Pending());
        EXPECT_EQ(codes[0] != 0, !c.found) << "code " << codes[0];
        EXPECT_EQ(values, std::vector<std::uint32_t>{c.value});
    }

    // As the feed client does: the address found, its handler looks the service up. That
    // lookup is pending once the handler has returned (seen by a call queued ahead of it).
    values.clear();
    bool pendingAfterHandler = false;
    next = [&] {
        QMetaObject::invokeMethod(
            &owner, [&] { pendingAfterHandler = lookup->Pending(); }, Qt::QueuedConnection);
        EXPECT_EQ(lookup->Start(Target::TcpService, "30004"), 0);
    };
    ASSERT_EQ(lookup->Start(Target::HostAddress, "localhost"), 0);
    ASSERT_TRUE(RunUntil([&] { return values.size() == 2; }));
    EXPECT_EQ(values, (std::vector<std::uint32_t>{0x7F000001, 30004}));
    EXPECT_TRUE(pendingAfterHandler);
}

TEST_F(HostLookupTest, ALookupCancelledReplacedOrOutlivedNeverCallsBack) {
    enum class End { Cancelled, Replaced, OwnerGone };
    for (const End end : {End::Cancelled, End::Replaced, End::OwnerGone}) {
        for (const bool queued : {false, true}) {
            SCOPED_TRACE(testing::Message() << static_cast<int>(end) << (queued ? " queued" : ""));
            values.clear();
            auto owner = std::make_unique<QObject>();
            auto lookup = MakeLookup(owner.get());
            ASSERT_EQ(lookup->Start(Target::TcpService, "30001"), 0);
            // Without the event loop: the helper thread queues its result meanwhile.
            if (queued) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (end == End::Cancelled) lookup->Cancel();
            if (end == End::Replaced) {
                ASSERT_EQ(lookup->Start(Target::TcpService, "30002"), 0);
            }
            if (end == End::OwnerGone) {
                lookup.reset();  // in the order of a member going with its owner
                owner.reset();
            }
            Idle(200);
            EXPECT_EQ(values, end == End::Replaced ? std::vector<std::uint32_t>{30002}
                                                   : std::vector<std::uint32_t>{});
        }
    }
}

}  // namespace
}  // namespace quorvex::net
