// The command line, the rate check against the serial lines, and the ground truth's JSON.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/sim/beast_frame.h"
#include "tools/sim/ground_truth.h"
#include "tools/sim/sim_options.h"

namespace quorvex::sim {
namespace {

std::variant<SimOptions, std::string> Parse(std::vector<std::string> args) {
    return ParseSimOptions(args);
}

TEST(OptionsTest, ReceiverTargetsFormatsAndFaults) {
    const auto parsed = Parse({"--receiver1", "pty:115200::", "--receiver2=udp:10.0.0.2:9000:@",
                               "--feed=30010", "--fault", "nul", "--fault", "garbled:every 5",
                               "--hear2", "0.5", "--seed", "99", "--seconds", "2.5"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(parsed)) << std::get<std::string>(parsed);
    const SimOptions& o = std::get<SimOptions>(parsed);
    EXPECT_EQ(o.receivers[0].kind, ReceiverTarget::Kind::Pty);
    EXPECT_EQ(o.receivers[0].baud, 115200);
    EXPECT_EQ(o.settings.format[0], ':');
    EXPECT_EQ(o.receivers[1].kind, ReceiverTarget::Kind::Udp);
    EXPECT_EQ(o.receivers[1].host, "10.0.0.2");
    EXPECT_EQ(o.receivers[1].port, 9000);
    EXPECT_EQ(o.settings.format[1], '@');
    EXPECT_EQ(o.settings.datagram, (std::array<bool, 2>{false, true}));
    EXPECT_EQ(o.feedPort, 30010);
    EXPECT_EQ(o.settings.faults.Every(Fault::Nul), 100);
    EXPECT_EQ(o.settings.faults.Every(Fault::Garbled), 5);
    EXPECT_EQ(o.settings.sky.hear[1], 0.5);
    EXPECT_EQ(o.settings.sky.seed, 99u);
    EXPECT_EQ(o.seconds, 2.5);

    const auto placed =
        Parse({"--station", "-33.9,18.6", "--range1", "220", "--range2=160.5", "--shadow2",
               "240-300:60", "--shadow2=350-10:0", "--shadow1", "0-360:100"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(placed)) << std::get<std::string>(placed);
    const SimSettings& p = std::get<SimOptions>(placed).settings;
    EXPECT_EQ(p.sky.station.latitude, -33.9);
    EXPECT_EQ(p.sky.station.longitude, 18.6);
    EXPECT_EQ(p.reach[0].range, 220);
    EXPECT_EQ(p.reach[1].range, 160.5);
    ASSERT_EQ(p.reach[0].shadows.size(), 1u);
    EXPECT_EQ(p.reach[0].shadows[0].to, 360);
    EXPECT_EQ(p.reach[0].shadows[0].beyond, 100);
    ASSERT_EQ(p.reach[1].shadows.size(), 2u);
    EXPECT_EQ(p.reach[1].shadows[0].from, 240);
    EXPECT_EQ(p.reach[1].shadows[0].to, 300);
    EXPECT_EQ(p.reach[1].shadows[0].beyond, 60);
    EXPECT_EQ(p.reach[1].shadows[1].from, 350);
    EXPECT_EQ(p.reach[1].shadows[1].to, 10);

    const auto beast =
        Parse({"--receiver1", "/dev/ttyUSB1:921600:beast", "--receiver2", "tcp-beast",
               "--gain1=-2.5", "--gain2", "4", "--gain2-step", "90:-6"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(beast)) << std::get<std::string>(beast);
    const SimOptions& b = std::get<SimOptions>(beast);
    EXPECT_EQ(b.receivers[0].kind, ReceiverTarget::Kind::Device);
    EXPECT_EQ(b.receivers[0].device, "/dev/ttyUSB1");
    EXPECT_EQ(b.receivers[0].baud, 921600);
    EXPECT_EQ(b.receivers[1].kind, ReceiverTarget::Kind::TcpBeast);
    EXPECT_EQ(b.receivers[1].port, 30005);
    EXPECT_EQ(b.settings.format, (std::array<char, 2>{kBeastFormat, kBeastFormat}));
    EXPECT_EQ(b.settings.levels.gain, (std::array<double, 2>{-2.5, 4}));
    EXPECT_EQ(b.settings.levels.stepAt, 90);
    EXPECT_EQ(b.settings.levels.stepDb, -6);
    const auto anyPort = Parse({"--receiver1", "pty:beast", "--receiver2=tcp-beast:0:beast"});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(anyPort)) << std::get<std::string>(anyPort);
    EXPECT_EQ(std::get<SimOptions>(anyPort).receivers[0].baud, 3000000);
    EXPECT_EQ(std::get<SimOptions>(anyPort).receivers[1].port, 0);

    const auto plain = Parse({});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(plain));
    const SimOptions& d = std::get<SimOptions>(plain);
    EXPECT_EQ(d.receivers[0].kind, ReceiverTarget::Kind::Pty);
    EXPECT_EQ(d.receivers[1].kind, ReceiverTarget::Kind::Udp);
    EXPECT_EQ(d.receivers[1].port, 7934);
    EXPECT_TRUE(d.feed);
    EXPECT_EQ(d.feedPort, 30003);
    EXPECT_EQ(d.settings.sky.station.latitude, 52.0);
    EXPECT_EQ(d.settings.sky.station.longitude, 5.0);
    EXPECT_EQ(d.settings.reach[0].range, 0);  // no limit
    EXPECT_TRUE(d.settings.reach[1].shadows.empty());
}

TEST(OptionsTest, BadOptionsSayWhatIsWrong) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--bogus"}, "unknown option \"--bogus\""},
        {{"--receiver1", "udp"}, "only receiver 2 goes over UDP"},
        {{"--receiver2", "serial0"}, "give pty[:BAUD]"},
        {{"--receiver1", "pty:fast"}, "give pty[:BAUD]"},
        {{"--receiver2", "udp:host:70000"}, "give pty[:BAUD]"},
        {{"--receiver1", "/dev/ttyS1", "--receiver2", "/dev/ttyS1"}, "the same device"},
        {{"--hear1", "1.5"}, "from 0 to 1"},
        {{"--aircraft", "0"}, "from 1 to 10000"},
        {{"--rate", "-3"}, "more than 0"},
        {{"--seconds"}, "needs a value"},
        {{"--fault", "smoke"}, "no such fault"},
        {{"--fault", "nul:0"}, "N >= 1"},
        {{"--receiver1", "pty", "--fault", "feed-reset"}, "needs --feed"},
        {{"--receiver1", "pty", "--fault", "empty-datagram"}, "need --receiver2 udp"},
        {{"--receiver2", "udp", "--fault", "pty-close"}, "needs a receiver on a pty"},
        {{"--truth-every-second=yes"}, "takes no value"},
        {{"--station", "52.0"}, "give LAT,LON"},
        {{"--station", "81,5"}, "latitude -80 to 80"},
        {{"--station", "52,180.5"}, "give LAT,LON"},
        {{"--station=52,5,1"}, "give LAT,LON"},
        {{"--range1", "0"}, "more than 0 and at most 1000"},
        {{"--range2", "far"}, "more than 0 and at most 1000"},
        {{"--range2", "1000.5"}, "more than 0 and at most 1000"},
        {{"--range1"}, "needs a value"},
        {{"--shadow2", "240-300"}, "give FROM-TO:NM"},
        {{"--shadow2", "240:60"}, "give FROM-TO:NM"},
        {{"--shadow1", "240-361:60"}, "give FROM-TO:NM"},
        {{"--shadow1", "90-90:10"}, "two different bearings"},
        {{"--shadow2", "240-300:-1"}, "give FROM-TO:NM"},
        {{"--shadow2", "-10-30:5"}, "give FROM-TO:NM"},
        {{"--receiver2", "udp:beast"}, "text formats only"},
        {{"--receiver1", "tcp-beast:@"}, "no text format"},
        {{"--receiver1", "tcp-beast:70000"}, "tcp-beast[:PORT]"},
        {{"--receiver1", "tcp-beast", "--receiver2", "tcp-beast:30005"}, "the same TCP port"},
        {{"--receiver1", "pty:beast", "--receiver2", "tcp-beast", "--fault", "nul"},
         "Beast receivers write none"},
        {{"--gain1", "61"}, "dB from -60 to 60"},
        {{"--gain2-step", "10"}, "give SECONDS:DB"},
        {{"--gain2-step", "-1:3"}, "give SECONDS:DB"},
    };
    for (const auto& [args, message] : cases) {
        const auto parsed = Parse(args);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << args.front();
        EXPECT_NE(std::get<std::string>(parsed).find(message), std::string::npos)
            << std::get<std::string>(parsed);
    }
}

TEST(OptionsTest, TheRateMustFitTheSlowestSerialLine) {
    auto parsed =
        Parse({"--receiver1", "pty:115200:@", "--receiver2", "pty:3000000", "--rate", "max"});
    SimOptions o = std::get<SimOptions>(parsed);
    ASSERT_EQ(ResolveRate(o), std::nullopt);
    // 11520 bytes a second, packets of about 40 bytes with the counter.
    EXPECT_GT(o.settings.rate, 250);
    EXPECT_LT(o.settings.rate, 300);

    o.settings.rate += 10;
    ASSERT_TRUE(ResolveRate(o).has_value());
    EXPECT_NE(ResolveRate(o)->find("115200 baud"), std::string::npos);

    // Beast frames of the same sky are about half as long: 9 bytes and the frame, no hex.
    SimOptions beast = std::get<SimOptions>(
        Parse({"--receiver1", "pty:115200:beast", "--receiver2", "udp", "--rate", "max"}));
    ASSERT_EQ(ResolveRate(beast), std::nullopt);
    EXPECT_GT(beast.settings.rate, 500);
    EXPECT_LT(beast.settings.rate, 600);

    SimOptions udpOnly = std::get<SimOptions>(Parse({"--receiver2", "udp", "--rate", "max"}));
    EXPECT_TRUE(ResolveRate(udpOnly).has_value());
    // 500 aircraft send more than 115200 baud carries: without --rate they are slowed.
    SimOptions crowded =
        std::get<SimOptions>(Parse({"--receiver1", "pty:115200", "--aircraft", "500"}));
    std::string note;
    EXPECT_EQ(ResolveRate(crowded, &note), std::nullopt);
    EXPECT_GT(crowded.settings.rate, 250);
    EXPECT_LT(crowded.settings.rate, 450);  // no counter: shorter packets
    EXPECT_NE(note.find("115200 baud"), std::string::npos) << note;
}

TEST(GroundTruthTest, JsonNamesEveryCountAndLeavesOutWhatIsNotThere) {
    GroundTruth truth;
    truth[Source::Receiver1].enabled = true;
    truth[Source::Receiver1].output = "pty /dev/pts/7";
    truth[Source::Receiver1].format = ':';
    truth[Source::Feed].enabled = true;
    truth[Source::Feed].output = "tcp port 30003";
    Unit frame;
    frame.group = DfGroup::Df11Ic;
    frame.address = 0x4840D6;
    frame.text = ":5D4840D6000003;\r\n";
    truth.Count(Source::Receiver1, frame);
    frame.kind = Unit::Kind::Corrupted;
    truth.Count(Source::Receiver1, frame);
    frame.kind = Unit::Kind::Faulty;
    frame.fault = Fault::BadHex;
    truth.Count(Source::Receiver1, frame);
    truth.CountFault(Source::Receiver1, Fault::PtyClose);
    Unit line;
    line.kind = Unit::Kind::FeedLine;
    line.feedType = 8;
    line.address = 0x00A1B2;
    line.text = "MSG,8\r\n";
    truth.Count(Source::Feed, line);
    EXPECT_EQ(truth.Json(5, 2.5, true),
              R"({"seed":5,"seconds":2.500,"final":true,)"
              R"("receiver1":{"output":"pty /dev/pts/7","format":":","frames":1,"groups":)"
              R"({"DF0":0,"DF4_5":0,"DF11":0,"DF11_IC":1,"DF17_19":0,"DF20_21":0},)"
              R"("corrupted":1,"faults":{"bad-hex":1,"pty-close":1},"overflow":0,"bytes":54,)"
              R"("aircraft":{"4840D6":1}},)"
              R"("feed":{"output":"tcp port 30003","lines":1,"types":{"8":1},"faults":{},)"
              R"("overflow":0,"bytes":7,"aircraft":{"00A1B2":1}}})");
}

// Positions per sector; a frame both receivers wrote counts for "both" whichever wrote it
// first, one the other never wrote for that one alone; damaged frames count nowhere.
TEST(GroundTruthTest, CoverageCountsPositionsPerSectorAndTheSameFrameAtBoth) {
    GroundTruth truth;
    truth[Source::Receiver1].enabled = truth[Source::Receiver2].enabled = true;
    truth.Coverage().enabled = true;
    truth.Coverage().station = {52, 5};
    const auto position = [](int sector, double range, std::uint64_t number, double time) {
        Unit unit;
        unit.group = DfGroup::Df17_19;
        unit.sector = sector;
        unit.range = range;
        unit.positionNumber = number;
        unit.time = time;
        unit.toBoth = true;
        return unit;
    };
    truth.Count(Source::Receiver1, position(0, 12.5, 1, 0.1));
    truth.Count(Source::Receiver1, position(0, 30.25, 2, 0.2));
    truth.Count(Source::Receiver2, position(0, 30.25, 2, 0.2));
    truth.Count(Source::Receiver2, position(35, 200, 3, 0.3));
    truth.Count(Source::Receiver1, position(35, 200, 3, 0.3));
    truth.Count(Source::Receiver2, position(1, 5, 4, 0.4));  // receiver 1 wrote it damaged
    truth.Count(Source::Receiver2, position(1, 6, 6, 20.0));
    truth.Count(Source::Receiver1, position(1, 6, 6, 20.0));
    Unit alone = position(2, 7, 7, 20.1);
    alone.toBoth = false;
    truth.Count(Source::Receiver1, alone);
    Unit corrupted = position(3, 300, 8, 20.2);
    corrupted.kind = Unit::Kind::Corrupted;
    truth.Count(Source::Receiver1, corrupted);
    Unit other;  // no position
    truth.Count(Source::Receiver2, other);

    const std::string json = truth.Json(1, 1, true);
    const auto sectors = [](std::map<int, std::string> values) {
        std::string text = "[";
        for (int k = 0; k < kSectorCount; ++k) {
            text += (k ? "," : "") + (values.count(k) ? values[k] : std::string("0"));
        }
        return text + "]";
    };
    const auto ranges = [&](std::map<int, std::string> values) {
        for (int k = 0; k < kSectorCount; ++k) {
            if (!values.count(k)) values[k] = "0.000";
        }
        return sectors(values);
    };
    const std::string coverage =
        R"("coverage":{"station":[52.000000,5.000000],"receiver1":{"positions":)" +
        sectors({{0, "2"}, {1, "1"}, {2, "1"}, {35, "1"}}) + R"(,"farthest":)" +
        ranges({{0, "30.250"}, {1, "6.000"}, {2, "7.000"}, {35, "200.000"}}) +
        R"(},"receiver2":{"positions":)" + sectors({{0, "1"}, {1, "2"}, {35, "1"}}) +
        R"(,"farthest":)" + ranges({{0, "30.250"}, {1, "6.000"}, {35, "200.000"}}) +
        R"(},"both":)" + sectors({{0, "1"}, {1, "1"}, {35, "1"}}) + R"(,"only1":)" +
        sectors({{0, "1"}, {2, "1"}}) + R"(,"only2":)" + sectors({{1, "1"}}) + "}}";
    ASSERT_NE(json.find(coverage), std::string::npos) << json;
    EXPECT_TRUE(json.ends_with(coverage)) << json;
}

}  // namespace
}  // namespace quorvex::sim
