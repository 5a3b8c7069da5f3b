// The command line, the rate check against the serial lines, and the ground truth's JSON.

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

    const auto plain = Parse({});
    ASSERT_TRUE(std::holds_alternative<SimOptions>(plain));
    const SimOptions& d = std::get<SimOptions>(plain);
    EXPECT_EQ(d.receivers[0].kind, ReceiverTarget::Kind::Pty);
    EXPECT_EQ(d.receivers[1].kind, ReceiverTarget::Kind::Udp);
    EXPECT_EQ(d.receivers[1].port, 7934);
    EXPECT_TRUE(d.feed);
    EXPECT_EQ(d.feedPort, 30003);
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

}  // namespace
}  // namespace quorvex::sim
