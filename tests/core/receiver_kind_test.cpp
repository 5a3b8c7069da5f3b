// Receivers on the network: what Start plans for a "TCP raw" or "TCP Beast" receiver, how the
// port list follows the rate list, and a network receiver's profile moving between receivers.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <variant>

#include "core/run/measurement.h"
#include "core/settings/receiver_kind.h"
#include "support/temp_folder.h"

namespace quorvex {
namespace {

TEST(ReceiverKindTest, StartPlansAConnectionForANetworkReceiver) {
    struct Expected {
        std::string host;
        int port;
        NetworkKind kind;
        bool crc;
    };
    const struct {
        const char* name;
        StartControls controls;
        std::variant<Expected, std::string>
            result;  // the setup of the network receiver, or why refused
    } cases[] = {
        {"raw on receiver 1, its format cuts the text",
         {"decoder.local:31002", "", "TCP raw", "", "*<mode-s>; no CRC", "", 1},
         Expected{"decoder.local", 31002, NetworkKind::Raw, true}},
        {"Beast needs no format, the port defaults",
         {"10.0.0.5", "", "TCP Beast", "", "", "", 1},
         Expected{"10.0.0.5", kTcpBeastPort, NetworkKind::Beast, true}},
        {"raw on receiver 2 with residuals delivered",
         {"", " [::1]:30002 ", "", "TCP raw", "", ":<mode-s>; CRC done", 1},
         Expected{"::1", 30002, NetworkKind::Raw, false}},
        {"a port out of range",
         {"decoder:99999", "", "TCP raw", "", "*", "", 1},
         std::string("Receiver 1: \"decoder:99999\" is no host:port: the port must be 1 to 65535")},
        {"raw without a format",
         {"", "decoder", "", "TCP raw", "", "", 1},
         std::string("Select a line format for receiver 2!")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto plan = PlanStart(c.controls, 5);
        if (const auto* refusal = std::get_if<std::string>(&c.result)) {
            ASSERT_TRUE(std::holds_alternative<StartRefusal>(plan));
            EXPECT_EQ(std::get<StartRefusal>(plan).Text, *refusal);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<StartPlan>(plan));
        const StartPlan& p = std::get<StartPlan>(plan);
        const auto& setup = c.controls.BaudRate1.empty() ? p.Receiver2 : p.Receiver1;
        ASSERT_TRUE(setup && setup->Network);
        const Expected& want = std::get<Expected>(c.result);
        EXPECT_EQ(setup->Network->Host, want.host);
        EXPECT_EQ(setup->Network->Port, want.port);
        EXPECT_EQ(setup->Network->Kind, want.kind);
        EXPECT_EQ(setup->CrcOption, want.crc);
        EXPECT_FALSE(setup->Serial);
        EXPECT_FALSE(p.Receiver2Udp);
    }
}

TEST(ReceiverKindTest, ThePortListFollowsTheRateList) {
    const struct {
        const char* name;
        std::string portText;  // before
        std::string rate;      // chosen
        bool editable;
        int itemIndex;
        std::string after;
    } cases[] = {
        {"a device gives way to the default", "/dev/ttyUSB0", "TCP raw", true, -1,
         "127.0.0.1:30002"},
        {"the blank item too", " ", "TCP Beast", true, -1, "127.0.0.1:30005"},
        {"a typed address stays", "decoder:30002", "TCP Beast", true, -1, "decoder:30002"},
        {"the other kind's default follows", "127.0.0.1:30002", "TCP Beast", true, -1,
         "127.0.0.1:30005"},
        {"back to a serial rate: a device again", "decoder:30002", "3000000", false, -1, ""},
        {"a device named stays selected", "/dev/ttyS0", "115200", false, 1, "/dev/ttyS0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ProfileSettings s = MakeProfileSettings({"/dev/ttyUSB0", "/dev/ttyS0"});
        ReceiverProfile& r = s.Receiver2;
        r.Port.Text = c.portText;
        r.Port.ItemIndex = c.portText == "/dev/ttyS0" ? 1 : -1;
        const auto rate = std::find(r.BaudRate.Items.begin(), r.BaudRate.Items.end(), c.rate);
        ASSERT_NE(rate, r.BaudRate.Items.end());
        r.BaudRate.SelectIndex(static_cast<int>(rate - r.BaudRate.Items.begin()));
        MatchPortToRate(r);
        EXPECT_EQ(r.Port.Editable, c.editable);
        EXPECT_EQ(r.Port.ItemIndex, c.itemIndex);
        EXPECT_EQ(r.Port.Text, c.after);
    }
}

TEST(ReceiverKindTest, ANetworkProfileKeepsKindAndAddressAcrossReceivers) {
    test::TempFolder folder;
    const std::string path = folder.Folder() + "Roof decoder.prf";
    ProfileSettings s = MakeProfileSettings({"/dev/ttyUSB0"});
    s.Receiver1.BaudRate.SelectIndex(6);  // "TCP Beast" in receiver 1's list
    s.Receiver1.Port.Text = "decoder.local:30005";
    MatchPortToRate(s.Receiver1);
    SaveProfile(s.Receiver1, path);
    std::stringstream stored;
    stored << std::ifstream(path).rdbuf();
    // As receiver 2's list counts: baud rates, UDP, "TCP raw", "TCP Beast".
    EXPECT_NE(stored.str().find("baudrate=7"), std::string::npos) << stored.str();
    EXPECT_NE(stored.str().find("port=decoder.local:30005"), std::string::npos) << stored.str();

    for (ReceiverProfile* loader : {&s.Receiver2, &s.Receiver1}) {
        loader->BaudRate.SelectIndex(0);
        loader->Port.SelectIndex(0);
        LoadProfile(*loader, path);
        EXPECT_EQ(loader->BaudRate.Text, kTcpBeastItem);
        EXPECT_EQ(loader->Port.Text, "decoder.local:30005");
        EXPECT_TRUE(loader->Port.Editable);
    }
}

}  // namespace
}  // namespace quorvex
