// The whole program through its window: receiver 1 on a pseudo-terminal, receiver 2 over
// UDP, a port-30003 feed from a local server. The test drives the ticks itself and checks
// the bars, figures and chart points against what it sent.

#include <sys/socket.h>
#include <unistd.h>

#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "app/feed_panel.h"
#include "app/graph_page.h"
#include "app/rate_chart_setup.h"
#include "app/receiver_panel.h"
#include "bench/core/sample_frames.h"
#include "net/loopback.h"
#include "support/pty.h"
#include "ui/chart.h"
#include "window_fixture.h"

namespace quorvex::app::test {
namespace {

using bench::MakeFrame;
using quorvex::test::Pty;
using quorvex::test::ServeUntil;

// Frames of a known aircraft in each group; `residual` of the DF 11 with an interrogator
// code is its code, of the address/parity replies the address.
constexpr std::uint32_t kAddress = 0x4840D6;
const std::array<std::uint8_t, 3> kAddressBytes = {0x48, 0x40, 0xD6};
const std::array<std::uint8_t, 10> kSquitterData = {0x48, 0x40, 0xD6, 0x20, 0x2C,
                                                    0xC3, 0x71, 0xC3, 0x2C, 0xE0};
const std::array<std::uint8_t, 3> kSurveillance = {0x20, 0x00, 0x11};
const std::array<std::uint8_t, 10> kCommB = {0x00, 0x17, 0x50, 0x20, 0x2C,
                                             0xC3, 0x71, 0xC3, 0x2C, 0xE0};

struct Traffic {
    std::vector<bench::SampleFrame> frames;
    std::array<int, 6> perGroup{};
};

Traffic MixedTraffic() {
    Traffic t;
    const auto add = [&t](bench::SampleFrame frame, int times) {
        for (int i = 0; i < times; ++i) t.frames.push_back(frame);
        t.perGroup[static_cast<std::size_t>(frame.group)] += times;
    };
    add(MakeFrame(0x8D, kSquitterData, 0, DfGroup::Df17_19), 5);
    add(MakeFrame(0x5D, kAddressBytes, 0, DfGroup::Df11), 3);
    add(MakeFrame(0x5D, kAddressBytes, 0x16, DfGroup::Df11Ic), 2);
    add(MakeFrame(0x20, kSurveillance, kAddress, DfGroup::Df4_5), 4);
    add(MakeFrame(0x02, kSurveillance, kAddress, DfGroup::Df0), 1);
    add(MakeFrame(0xA0, kCommB, kAddress, DfGroup::Df20_21), 2);
    return t;
}

std::string Packets(const Traffic& traffic, char start, bool residual) {
    std::string text;
    for (const bench::SampleFrame& f : traffic.frames) {
        text += start;
        text += residual ? f.residual : f.transmitted;
        text += ";\r\n";
    }
    return text;
}

int Sum(const std::array<int, 6>& groups) {
    int total = 0;
    for (int n : groups) total += n;
    return total;
}

using WindowEndToEndTest = WindowFixture;

TEST_F(WindowEndToEndTest, ReceiversAndFeedReachBarsFiguresAndChart) {
    Pty pty;
    CommandLine commandLine;
    commandLine.Receiver1 = ReceiverOption{pty.Path(), 115200, false, '*', {}};
    commandLine.Receiver2 = ReceiverOption{"", 0, true, ':', {}};
    const auto feedServer = net::test::Listener();
    MainWindow& w = Open({pty.Path()}, commandLine);
    MeasurementController& c = w.Controller();
    c.FeedClient().SetPort(feedServer->port());

    w.Feed()->ConnectButton()->click();
    const int feed = feedServer->Accept();
    ASSERT_GE(feed, 0);
    ASSERT_TRUE(ServeUntil([&] { return c.FeedClient().Active(); }));
    w.StartButton()->click();
    ASSERT_TRUE(c.Running()) << (errors.empty() ? "" : errors.front());
    c.Timer().stop();  // the test ticks itself
    EXPECT_EQ(w.StartButton()->text(), "Stop");
    EXPECT_TRUE(c.Input(SourceId::Receiver1).Crc());   // "*": we check the parity
    EXPECT_FALSE(c.Input(SourceId::Receiver2).Crc());  // ":": the receiver did

    const Traffic traffic = MixedTraffic();
    pty.Write(Packets(traffic, '*', false));
    net::test::LoopbackSocket udp(SOCK_DGRAM);
    const std::string datagrams = Packets(traffic, ':', true);
    const std::size_t half = datagrams.size() / 2;  // a packet split across two datagrams
    udp.SendTo(udpPort, datagrams.substr(0, half));
    udp.SendTo(udpPort, datagrams.substr(half));
    const std::string feedText =
        "MSG,3,1,1,4840D6,1,,,,,,,,,,,,,,,,\r\nMSG,8,1,1,4840D6,1,,,,,,,,,,,,,,,,\r\n"
        "MSG,5,1,1,4840D6,1,,,,,,,,,,,,,,,,\r\nMSG,4,1,1,4840D6,1,,,,,,,,,,,,,,,,\r\n";
    ASSERT_EQ(::send(feed, feedText.data(), feedText.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(feedText.size()));

    const int total = Sum(traffic.perGroup);
    const auto counted = [&c](const DfCounts& counts) {
        int n = 0;
        for (int g = 0; g < 6; ++g) n += counts[static_cast<DfGroup>(g)];
        return n;
    };
    ASSERT_TRUE(ServeUntil([&] {
        const quorvex::Run& s = c.CurrentRun();
        return counted(s.Counts().Counts1) == total && counted(s.Counts().Counts2) == total &&
               s.Cycle().Feed.TcpBufferB().size() == feedText.size();
    })) << counted(c.CurrentRun().Counts().Counts1)
        << " and " << counted(c.CurrentRun().Counts().Counts2);

    c.Tick();

    for (const SourceId receiver : kReceivers) {
        for (int g = 0; g < 6; ++g) {
            EXPECT_EQ(w.Receiver(receiver)->Bar(g)->value(), traffic.perGroup[g])
                << "receiver " << ReceiverNumber(receiver) << " group " << g;
            EXPECT_EQ(w.Receiver(receiver)->Bar(g)->maximum(), total);
        }
    }
    const int chartHits = traffic.perGroup[2] + traffic.perGroup[4];
    const QString figure = QStringLiteral("%1.0 [%2.0*] packets/s").arg(total).arg(chartHits);
    EXPECT_EQ(w.Receiver(SourceId::Receiver1)->FigureLabel()->text(), figure);
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->FigureLabel()->text(), figure);
    EXPECT_EQ(w.Feed()->FigureLabel()->text(), "4.0 [3.0*]");
    EXPECT_EQ(w.Feed()->Bar(0)->value(), 1);  // type 5
    EXPECT_EQ(w.Feed()->Bar(1)->value(), 1);  // type 8
    EXPECT_EQ(w.Feed()->Bar(2)->value(), 2);  // types 3 and 4

    // The 30-second window: the newest point of each rate line holds this second's hits.
    ui::TChart* chart = w.Graph()->Chart();
    const std::array<std::pair<ChartSeries, double>, 3> newest = {
        {{ChartSeries::Receiver1Rate, double(chartHits)},
         {ChartSeries::Receiver2Rate, double(chartHits)},
         {ChartSeries::FeedRate, 3.0}}};
    for (const auto& [series, y] : newest) {
        const ui::TLineSeries& line = RateChartSeries(*chart, series);
        ASSERT_EQ(line.Count(), 30u);
        EXPECT_EQ(line.XValues()[29], 30.0);
        EXPECT_EQ(line.YValues()[29], y) << "series " << Index(series);
        EXPECT_EQ(line.YValues()[28], 0.0);
    }
    EXPECT_EQ(RateChartSeries(*chart, ChartSeries::Receiver1RateLong).Count(), 0u);

    w.StartButton()->click();
    EXPECT_FALSE(c.Running());
    EXPECT_FALSE(c.Input(SourceId::Receiver1).ComPort().Connected());
    ::close(feed);
}

// Datagrams that come while the window cannot take them (the listener waits for it) fill a
// small receive queue; those the system dropped are said in receiver 2's column, and with
// the frames counted they make up every datagram sent.
TEST_F(WindowEndToEndTest, DatagramsTheSystemDroppedAreShownInTheReceiversColumn) {
    MainWindow& w = Open();
    net::TIdUDPServer& listener = w.Controller().UdpServer();  // listening since the start
    listener.SetActive(false);
    listener.SetReceiveQueueBytes(4096);
    listener.SetActive(true);
    MeasurementController& c = StartOnUdp(w);
    ASSERT_TRUE(c.Running());
    net::test::LoopbackSocket udp(SOCK_DGRAM);
    const std::string packet = "*8D4840D6202CC371C32CE0576098;\r\n";
    int sent = 0;
    for (; sent < 2000; ++sent) udp.SendTo(udpPort, packet);
    const auto counted = [&c] {
        int n = 0;
        for (int g = 0; g < 6; ++g) n += c.CurrentRun().Counts().Counts2[static_cast<DfGroup>(g)];
        return n;
    };
    const auto dropped = [&c] { return static_cast<int>(c.UdpDatagramsDropped().value_or(0)); };
    const auto settled = [&] { return dropped() > 0 && counted() + dropped() == sent; };
    // The system tells of its drops with the next datagram it queues.
    for (int round = 0; round < 50 && !settled(); ++round) {
        udp.SendTo(udpPort, packet);
        ++sent;
        ServeUntil(settled, std::chrono::milliseconds(200));
    }
    ASSERT_TRUE(settled()) << counted() << " counted, " << dropped() << " dropped of " << sent;

    c.Tick();
    EXPECT_EQ(w.Receiver(SourceId::Receiver2)->RejectedLabel()->text().toStdString(),
              std::to_string(*c.UdpDatagramsDropped()) + " datagrams dropped");
}

}  // namespace
}  // namespace quorvex::app::test
