// TComDataPacket over core's framer: packets between start and stop strings, discards, the
// buffer limit, setting changes, handlers that raise or call back, and the link to a port.

#include "serial/com_data_packet.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "serial/com_port.h"

namespace quorvex::serial {
namespace {

using Events = std::vector<std::string>;

class ComDataPacketTest : public ::testing::Test {
  protected:
    ComDataPacketTest() {
        framer.SetStartString(":");
        framer.SetStopString(";");
        framer.OnPacket = [this](TComDataPacket* sender, const std::string& text) {
            EXPECT_EQ(sender, &framer);
            events.push_back("P " + text);
        };
        framer.OnDiscard = [this](TComDataPacket*, const std::string& text) {
            events.push_back("D " + text);
        };
    }

    // Feeds each piece in turn and returns what the handlers saw, then forgets it.
    Events Feed(std::initializer_list<std::string> pieces) {
        for (const std::string& piece : pieces) framer.FeedText(piece);
        Events seen;
        seen.swap(events);
        return seen;
    }

    TComDataPacket framer;
    Events events;
};

TEST_F(ComDataPacketTest, CutsPacketsBetweenStartAndStop) {
    EXPECT_EQ(Feed({":ABC;:DEF;"}), (Events{"P ABC", "P DEF"}));
    EXPECT_EQ(Feed({":AB"}), Events{});
    EXPECT_EQ(Feed({"C;"}), Events{"P ABC"});
    EXPECT_EQ(Feed({"xx:AB;"}), (Events{"D xx", "P AB"}));
    EXPECT_EQ(Feed({";;:AB;"}), (Events{"D ;;", "P AB"}));
    EXPECT_EQ(Feed({":AB:CD;"}), Events{"P AB:CD"});
    EXPECT_EQ(Feed({":;"}), Events{"P "});
    EXPECT_EQ(Feed({":AB", ":CD;"}), Events{"P AB:CD"});
    // Any byte value passes through as it came.
    EXPECT_EQ(Feed({std::string(":\0\xff\n;", 5)}), Events{std::string("P \0\xff\n", 5)});
}

TEST_F(ComDataPacketTest, TheReceiversLineFormatsArriveWithoutStartAndStop) {
    const std::string digits28 = "8D4840D6202CC371C32CE0576098";
    framer.SetStartString("@");
    EXPECT_EQ(Feed({"@" + digits28.substr(0, 26) + ";"}), Events{"P " + digits28.substr(0, 26)});
    framer.SetStartString("*");
    EXPECT_EQ(Feed({"*" + digits28.substr(0, 14) + ";\r\n*" + digits28 + ";\r\n"}),
              (Events{"P " + digits28.substr(0, 14), "D \r\n", "P " + digits28}));
}

TEST_F(ComDataPacketTest, OnlyALeftoverOfMaxBufferSizeOrMoreIsDiscarded) {
    const std::string noStart(1000, 'x');
    EXPECT_EQ(Feed({noStart, std::string(23, 'y')}), Events{});  // 1023 characters stay
    EXPECT_EQ(Feed({"z"}), Events{"D " + noStart + std::string(23, 'y') + "z"});
    // Never on the chunk as a whole: complete packets go first.
    const std::string packets = ":" + std::string(2000, 'p') + ";:AB;";
    EXPECT_EQ(Feed({packets + ":" + std::string(1022, 'q')}),
              (Events{"P " + std::string(2000, 'p'), "P AB"}));
    EXPECT_EQ(Feed({"q"}), Events{"D :" + std::string(1023, 'q')});
    framer.SetMaxBufferSize(0);
    EXPECT_EQ(Feed({std::string(5000, 'x')}), Events{});
}

TEST_F(ComDataPacketTest, ChangingTheMatchSettingsDiscardsTheBufferSettingTheSameKeepsIt) {
    EXPECT_EQ(Feed({":1234"}), Events{});
    framer.SetStartString(":");
    framer.SetStopString(";");
    framer.SetSize(0);
    framer.SetCaseInsensitive(false);
    framer.SetIncludeStrings(true);
    framer.SetMaxBufferSize(2048);
    EXPECT_TRUE(events.empty());
    framer.SetStartString("*");
    EXPECT_EQ(events, Events{"D :1234"});
    events.clear();
    framer.SetStopString("#");  // an empty buffer: nothing to discard
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(Feed({"*a#"}), Events{"P *a#"});  // IncludeStrings
    // Without a start string a packet begins at once, even in an empty buffer; a start
    // string set then must be waited for.
    framer.SetStartString("");
    EXPECT_EQ(Feed({"AB#"}), Events{"P AB#"});
    framer.SetStartString("*");
    EXPECT_EQ(Feed({"xy#"}), Events{});
}

TEST_F(ComDataPacketTest, SizeStopAndCaseRules) {
    framer.SetSize(4);
    EXPECT_EQ(Feed({":ABCDE"}), Events{"P ABC"});
    EXPECT_EQ(Feed({":X;"}), (Events{"D DE", "P X"}));
    // The stop string is removed only when its first occurrence ends the packet.
    framer.SetSize(5);
    EXPECT_EQ(Feed({":A;B;"}), Events{"P A;B;"});
    framer.SetSize(0);

    framer.SetStopString("");
    EXPECT_EQ(Feed({"no start;", ":AB;"}), (Events{"P no start;", "P :AB;"}));

    framer.SetStartString("x");
    framer.SetStopString(";");
    framer.SetCaseInsensitive(true);
    EXPECT_EQ(Feed({"aXb;"}), (Events{"D a", "P b"}));
    framer.SetStartString("<ab");
    framer.SetStopString("Yz>");
    EXPECT_EQ(Feed({"<AbqyZ>"}), Events{"P q"});  // the text keeps the case it arrived in
}

TEST_F(ComDataPacketTest, AHandlerErrorLeavesLaterPacketsForTheNextFeedAfterTheLimitTest) {
    framer.OnPacket = [this](TComDataPacket*, const std::string& text) {
        events.push_back("P " + text);
        if (text == "A") throw std::runtime_error("handler");
    };
    EXPECT_THROW(framer.FeedText(":A;:B;:C"), std::runtime_error);
    EXPECT_EQ(Feed({}), Events{"P A"});
    EXPECT_EQ(Feed({""}), Events{"P B"});
    EXPECT_EQ(Feed({";"}), Events{"P C"});

    framer.SetMaxBufferSize(5);
    EXPECT_THROW(framer.FeedText(":A;:BCDEF"), std::runtime_error);
    EXPECT_EQ(events, (Events{"P A", "D :BCDEF"}));
    events.clear();

    // A discard handler that raises still empties the buffer.
    const TComStrEvent logDiscard = framer.OnDiscard;
    framer.OnDiscard = [](TComDataPacket*, const std::string&) { throw std::runtime_error("d"); };
    EXPECT_THROW(framer.FeedText("xxxxxx"), std::runtime_error);
    framer.OnDiscard = logDiscard;
    EXPECT_EQ(Feed({":D;"}), Events{"P D"});
}

TEST_F(ComDataPacketTest, HandlersMayFeedOrReconfigureTheFramerTheyRunIn) {
    framer.OnPacket = [this](TComDataPacket*, const std::string& text) {
        events.push_back("P " + text);
        if (text == "A") framer.FeedText(":Z;");  // joins the end of the buffer
        if (text == "B") framer.SetStartString("*");
    };
    EXPECT_EQ(Feed({":A;:B;:C;"}), (Events{"P A", "P B", "D :C;:Z;"}));
    EXPECT_EQ(Feed({"*E;"}), Events{"P E"});
}

TEST_F(ComDataPacketTest, LinksToAPortAndLetsGoWhenThePortIsDestroyed) {
    TComPort kept;
    TComDataPacket other;
    {
        TComPort destroyed;
        framer.SetComPort(&destroyed);
        framer.SetComPort(&destroyed);  // the same port: no second registration
        other.SetComPort(&destroyed);
        other.SetComPort(&kept);
    }
    EXPECT_EQ(framer.ComPort(), nullptr);
    EXPECT_EQ(other.ComPort(), &kept);
    framer.SetComPort(&kept);
    EXPECT_EQ(framer.ComPort(), &kept);
}

// A receiver that also feeds its framer datagrams links the port to that framer: the port's
// text joins the same buffer, and the framer's own handlers take the packets.
TEST(ComDataPacketLinkTest, AFramerOwnedElsewhereTakesThePortsText) {
    PacketFramer owned;
    owned.SetStartString("*");
    owned.SetStopString(";");
    Events packets;
    owned.OnPacket = [&packets](const std::string& text) { packets.push_back(text); };
    TComDataPacket link(owned);
    link.OnPacket = [](TComDataPacket*, const std::string&) { ADD_FAILURE() << "fired"; };
    EXPECT_EQ(link.StartString(), "*");
    link.FeedText("*AB;*C");
    owned.FeedText("D;");
    EXPECT_EQ(packets, (Events{"AB", "CD"}));
}

}  // namespace
}  // namespace quorvex::serial
