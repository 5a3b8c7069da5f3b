// TComPort on pseudo-terminals: opening and closing, the line settings, reception through
// the event thread, and what happens when things go wrong.

#include "serial/com_port.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "line_rate.h"
#include "platform/application_errors.h"
#include "platform/port_probe.h"
#include "serial/com_data_packet.h"
#include "serial_application.h"
#include "support/pty.h"
#include "support/streaming_reads.h"

namespace quorvex::serial {
namespace {

using test::Pty;
using test::ServeUntil;

class ComPortTest : public ::testing::Test {
  protected:
    void SetUp() override { test::EnsureApplication(); }
    void TearDown() override { platform::SetApplicationErrorHandler(nullptr); }

    // A link that writes every call it gets into `log`, tagged with `name`.
    TComLink LoggingLink(const std::string& name, bool takesChunks = true) {
        TComLink link;
        const auto signal = [this, name](const char* what) {
            return [this, name, what](TComPort*, bool on) {
                log.push_back(name + " " + what + (on ? " on" : " off"));
            };
        };
        link.OnConn = signal("conn");
        link.OnCTSChange = signal("cts");
        link.OnDSRChange = signal("dsr");
        link.OnRLSDChange = signal("rlsd");
        link.OnRx = signal("rx");
        if (takesChunks) {
            link.OnRxBuf = [this, name](TComPort*, const char* buffer, int count) {
                log.push_back(name + " chunk " + std::string(buffer, count));
            };
        }
        return link;
    }

    void LogPortEvents(TComPort& port) {
        port.OnBeforeOpen = [this](TComPort*) { log.push_back("BeforeOpen"); };
        port.OnAfterOpen = [this](TComPort*) { log.push_back("AfterOpen"); };
        port.OnBeforeClose = [this](TComPort*) { log.push_back("BeforeClose"); };
        port.OnAfterClose = [this](TComPort*) { log.push_back("AfterClose"); };
        port.OnCTSChange = [this](TComPort*, bool on) { log.push_back(on ? "CTS on" : "CTS off"); };
    }

    std::vector<std::string> log;
};

TEST_F(ComPortTest, OpenAndCloseRunTheirStepsInOrderAndOnlyOnce) {
    Pty pty;
    TComLink link = LoggingLink("L");
    TComPort port;
    port.SetPort(pty.Path());
    port.RegisterLink(&link);
    LogPortEvents(port);

    port.OpenPort();
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    EXPECT_TRUE(port.Receiving());
    EXPECT_FALSE(platform::ProbePort(pty.Path())) << "an open port holds its device exclusively";
    // A pseudo-terminal has no modem lines: they read as off.
    EXPECT_EQ(log, (std::vector<std::string>{"BeforeOpen", "L conn on", "AfterOpen", "L cts off",
                                             "CTS off", "L dsr off", "L rlsd off"}));

    log.clear();
    port.ClosePort();
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.Receiving());
    EXPECT_TRUE(platform::ProbePort(pty.Path()));
    EXPECT_EQ(log, (std::vector<std::string>{"L cts off", "CTS off", "L dsr off", "L rlsd off",
                                             "BeforeClose", "L conn off", "AfterClose"}));
    port.UnRegisterLink(&link);
}

TEST_F(ComPortTest, SettingPortReopensOnlyForANewName) {
    Pty first;
    Pty second;
    TComPort port;
    port.SetPort(first.Path());
    port.OpenPort();
    LogPortEvents(port);

    port.SetPort(first.Path());
    EXPECT_TRUE(log.empty());

    port.SetPort(second.Path());
    EXPECT_TRUE(port.Connected());
    EXPECT_EQ(log, (std::vector<std::string>{"CTS off", "BeforeClose", "AfterClose", "BeforeOpen",
                                             "AfterOpen", "CTS off"}));
    EXPECT_TRUE(platform::ProbePort(first.Path()));
    EXPECT_FALSE(platform::ProbePort(second.Path()));
}

TEST_F(ComPortTest, OpenFailuresLeaveThePortClosedWithTheirCodeAndErrno) {
    TComPort port;  // "COM1": no such file here
    try {
        port.OpenPort();
        ADD_FAILURE() << "opening a missing device succeeded";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.Code(), 1);
        EXPECT_EQ(error.OsError(), ENOENT);
        EXPECT_STREQ(error.what(), "Unable to open com port (win error code: 2)");
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.Receiving());

    Pty pty;
    TComPort holder;
    holder.SetPort(pty.Path());
    holder.OpenPort();
    port.SetPort(pty.Path());
    try {
        port.OpenPort();
        ADD_FAILURE() << "a device held by another port opened again";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.Code(), 1);
        EXPECT_EQ(error.OsError(), EBUSY);
    }
    holder.ClosePort();

    port.SetBaudRate(TBaudRate::brCustom);
    port.SetCustomBaudRate(0);  // closed: only stored
    try {
        port.OpenPort();
        ADD_FAILURE() << "a rate of 0 was accepted";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.Code(), 7);
        EXPECT_EQ(error.OsError(), EINVAL);
    }
    EXPECT_FALSE(port.Connected());
    EXPECT_TRUE(platform::ProbePort(pty.Path())) << "the device was not closed again";
}

TEST_F(ComPortTest, LineSettingsApplyAtOnceOnAnOpenPortOnly) {
    Pty pty;
    TComPort port;
    port.SetPort(pty.Path());
    port.SetBaudRate(TBaudRate::brCustom);
    port.SetCustomBaudRate(921600);
    EXPECT_NE(test::LineRate(pty.Observer()), 921600);
    port.OpenPort();
    EXPECT_EQ(test::LineRate(pty.Observer()), 921600);
    for (const int rate : {115200, 833333, 1000000, 3000000}) {
        port.SetCustomBaudRate(rate);
        EXPECT_EQ(test::LineRate(pty.Observer()), rate);
    }
    port.Parity().SetBits(TParityBits::prEven);  // a setting object re-applies too
    EXPECT_THROW(port.SetCustomBaudRate(-1), EComPort);
    EXPECT_TRUE(port.Connected());
    port.ClosePort();
    port.SetCustomBaudRate(0);  // closed again: nothing applied, nothing raised
    EXPECT_EQ(port.CustomBaudRate(), 0);
}

TEST_F(ComPortTest, WaitingBytesArriveAsOneChunkAtEachLinkInAttachOrder) {
    Pty pty;
    TComLink first = LoggingLink("A");
    TComLink signalsOnly = LoggingLink("B", false);
    TComLink last = LoggingLink("C");
    TComPort port;
    port.SetPort(pty.Path());
    port.RegisterLink(&first);
    port.RegisterLink(&signalsOnly);
    port.RegisterLink(&last);
    EXPECT_THROW(port.RegisterLink(&first), EComPort);
    port.OpenPort();
    log.clear();

    // Two writes while the interface thread serves nothing: the dispatch finds both.
    const std::string data = std::string("*8D4840D6202CC3;\0\xff", 19) + std::string(300, 'x');
    pty.Write(data.substr(0, 7));
    pty.Write(data.substr(7));
    ASSERT_TRUE(test::WaitUntilWaiting(pty, static_cast<int>(data.size())));
    ASSERT_TRUE(ServeUntil([&] { return log.size() >= 8; }));
    EXPECT_EQ(log,
              (std::vector<std::string>{"A rx on", "B rx on", "C rx on", "A rx off", "B rx off",
                                        "C rx off", "A chunk " + data, "C chunk " + data}));
    port.ClosePort();
    port.UnRegisterLink(&signalsOnly);
    try {
        port.UnRegisterLink(&signalsOnly);
        ADD_FAILURE() << "a link was detached twice";
    } catch (const EComPort& error) {
        EXPECT_EQ(error.Code(), 18);
        EXPECT_STREQ(error.what(), "Link (un)registration failed");
    }
}

TEST_F(ComPortTest, WithoutChunkTakersBytesStayWaitingAndOnlyNewOnesRaiseAnEvent) {
    Pty pty;
    TComPort port;
    port.SetPort(pty.Path());
    std::vector<int> counts;
    port.OnRxChar = [&](TComPort*, int count) { counts.push_back(count); };
    port.OpenPort();

    pty.Write("0123456789");
    ASSERT_TRUE(ServeUntil([&] { return !counts.empty(); }));
    pty.Write("abcde");
    ASSERT_TRUE(ServeUntil([&] { return counts.back() == 15; }));
    // The device stays readable all along; only the growing count raised the second event.
    EXPECT_EQ(counts, (std::vector<int>{10, 15}));
    EXPECT_EQ(pty.WaitingOnSlave(), 15);
}

TEST_F(ComPortTest, EmptyEventsOpenWithoutAThreadAndDeliverNothing) {
    Pty pty;
    TComLink link = LoggingLink("L");
    TComPort port;
    port.SetPort(pty.Path());
    port.SetEvents({});
    port.RegisterLink(&link);
    port.OpenPort();
    EXPECT_TRUE(port.Connected());
    EXPECT_FALSE(port.Receiving());
    log.clear();
    pty.Write("data");
    ASSERT_TRUE(test::WaitUntilWaiting(pty, 4));
    EXPECT_EQ(platform::ProcessHandOvers(), 0);
    EXPECT_TRUE(log.empty());
    port.ClosePort();
    port.UnRegisterLink(&link);
}

TEST_F(ComPortTest, HandlerErrorsReachTheErrorDisplayAndReceptionGoesOn) {
    std::vector<std::string> shown;
    platform::SetApplicationErrorHandler([&](const std::string& text) { shown.push_back(text); });
    Pty pty;
    TComPort port;
    port.SetPort(pty.Path());
    TComDataPacket framer;
    framer.SetComPort(&port);
    framer.SetStartString(":");
    framer.SetStopString(";");
    std::vector<std::string> packets;
    framer.OnPacket = [&](TComDataPacket*, const std::string& text) {
        packets.push_back(text);
        if (text == "bad") throw std::runtime_error("packet handler failed");
    };
    port.OpenPort();

    pty.Write(":bad;:AB;");
    ASSERT_TRUE(ServeUntil([&] { return !shown.empty(); }));
    EXPECT_EQ(shown, std::vector<std::string>{"packet handler failed"});
    pty.Write(":CD;");
    ASSERT_TRUE(ServeUntil([&] { return packets.size() == 3; }));
    EXPECT_EQ(packets, (std::vector<std::string>{"bad", "AB", "CD"}));
    EXPECT_TRUE(port.Receiving());
}

TEST_F(ComPortTest, AStreamWrittenPacketByPacketArrivesWholeInAFewDispatches) {
    Pty pty;
    std::string received;
    test::StreamingReads dispatches;
    TComLink link;
    link.OnRxBuf = [&](TComPort*, const char* buffer, int count) {
        received.append(buffer, count);
        dispatches.Note();
    };
    TComPort port;
    port.SetPort(pty.Path());
    port.RegisterLink(&link);
    port.OpenPort();

    // 100 packets 2 ms apart, as a receiver writes them: 200 ms of streaming.
    std::string sent;
    std::thread writer([&] {
        for (int i = 0; i < 100; ++i) {
            const std::string packet = "*8D4840D6202CC3" + std::to_string(1000 + i) + ";\r\n";
            pty.Write(packet);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    for (int i = 0; i < 100; ++i) sent += "*8D4840D6202CC3" + std::to_string(1000 + i) + ";\r\n";
    const bool all = ServeUntil([&] { return received.size() >= sent.size(); });
    writer.join();
    ASSERT_TRUE(all);
    EXPECT_EQ(received, sent);
    // A dispatch per packet would be 100, about 10 over 200 ms.
    EXPECT_LE(dispatches.Count(), dispatches.Allowed());
    port.ClosePort();
    port.UnRegisterLink(&link);
}

TEST_F(ComPortTest, ClosingWhileTheLineIsFloodedReturns) {
    Pty pty;
    std::size_t received = 0;
    TComLink counter;
    counter.OnRxBuf = [&](TComPort*, const char*, int count) { received += count; };
    TComPort port;
    port.SetPort(pty.Path());
    port.RegisterLink(&counter);
    port.OpenPort();

    // The writer keeps the line full for as long as the test runs.
    ::fcntl(pty.Master(), F_SETFL, O_NONBLOCK);
    std::atomic<bool> stop{false};
    const auto flood = [&] {
        const std::string block(4096, '*');
        while (!stop) {
            if (::write(pty.Master(), block.data(), block.size()) < 0 && errno == EAGAIN) {
                pollfd room{pty.Master(), POLLOUT, 0};
                ::poll(&room, 1, 10);
            }
        }
    };
    struct Writer {
        std::atomic<bool>& stop;
        std::thread thread;
        ~Writer() {
            stop = true;
            thread.join();
        }
    } writer{stop, std::thread(flood)};

    ASSERT_TRUE(ServeUntil([&] { return received > 100000; }));
    port.ClosePort();
    EXPECT_FALSE(port.Connected());
    EXPECT_FALSE(port.Receiving());
}

TEST_F(ComPortTest, AClosedFarEndEndsReceptionAndThePortClosesAndReopens) {
    Pty pty;
    std::string received;
    TComLink link;
    link.OnRxBuf = [&](TComPort*, const char* buffer, int count) {
        received.append(buffer, count);
    };
    TComPort port;
    port.SetPort(pty.Path());
    port.RegisterLink(&link);
    port.OpenPort();

    pty.CloseMaster();
    // The thread ends by itself: nothing left that could spin.
    ASSERT_TRUE(ServeUntil([&] { return !port.Receiving(); }));
    EXPECT_TRUE(port.Connected());
    port.ClosePort();
    EXPECT_FALSE(port.Connected());

    Pty replugged;
    port.SetPort(replugged.Path());
    port.OpenPort();
    replugged.Write("again");
    ASSERT_TRUE(ServeUntil([&] { return received == "again"; }));
    port.ClosePort();
    port.UnRegisterLink(&link);
}

}  // namespace
}  // namespace quorvex::serial
