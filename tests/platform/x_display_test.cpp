// The DISPLAY values X clients accept, and the reason given for a server that is not there.

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/x_display.h"

namespace quorvex::platform {
namespace {

TEST(XDisplayTest, ParsesTheFormsXClientsReadAndLeavesTheOthersUnchecked) {
    const struct {
        const char* display;
        std::optional<XDisplayAddress> address;
    } cases[] = {
        {":0", XDisplayAddress{true, "", 0}},
        {"unix:1.2", XDisplayAddress{true, "", 1}},
        {"localhost:10.0", XDisplayAddress{false, "localhost", 10}},
        {"tcp/[::1]:3", XDisplayAddress{false, "::1", 3}},
        {"host::0", std::nullopt},                // DECnet
        {"/tmp/launch-x/org.x:0", std::nullopt},  // a socket path
        {"localhost:", std::nullopt},
        {":x", std::nullopt},
        {":59536", std::nullopt},  // 6000 + number is no port
        {"0", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseXDisplay(c.display), c.address) << c.display;
}

TEST(XDisplayTest, AServerThatIsNotThereGivesTheSystemsReason) {
    int free = 4000;
    while (XDisplayUnreachable(":" + std::to_string(free)).empty()) ++free;
    EXPECT_EQ(XDisplayUnreachable(":" + std::to_string(free)), "No such file or directory");
    EXPECT_EQ(XDisplayUnreachable("host::0"), "") << "a form not checked here";
}

}  // namespace
}  // namespace quorvex::platform
