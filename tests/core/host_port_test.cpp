// The receiver address as typed: what is accepted with which host and port, and the sentence
// for what is not.

#include "core/settings/host_port.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

namespace quorvex {
namespace {

TEST(HostPortTest, TextGivesHostAndPortOrWhatIsWrong) {
    struct Case {
        std::string text;
        std::variant<HostPort, std::string> expected;
    };
    const std::string longHost(254, 'a');
    const Case cases[] = {
        {"radar.local:30005", HostPort{"radar.local", 30005}},
        {" \t10.0.0.7 \r\n", HostPort{"10.0.0.7", 30005}},
        {"1.2.3.4:30002", HostPort{"1.2.3.4", 30002}},
        {"rx-2_b:1", HostPort{"rx-2_b", 1}},
        {"rx:65535", HostPort{"rx", 65535}},
        {"[::1]:30005", HostPort{"::1", 30005}},
        {"[fe80::1%eth0]", HostPort{"fe80::1%eth0", 30005}},
        {"[::ffff:192.0.2.1]:8080", HostPort{"::ffff:192.0.2.1", 8080}},
        {"::1", HostPort{"::1", 30005}},
        {"2001:db8:0:0:8:800:200c:417a", HostPort{"2001:db8:0:0:8:800:200c:417a", 30005}},
        {std::string(253, 'a') + ":7", HostPort{std::string(253, 'a'), 7}},

        {"", "\"\" is no host:port: the host is missing"},
        {"  :30005 ", "\":30005\" is no host:port: the host is missing"},
        {"abc:99999", "\"abc:99999\" is no host:port: the port must be 1 to 65535"},
        {"abc:0", "\"abc:0\" is no host:port: the port must be 1 to 65535"},
        {"abc:4294967297", "\"abc:4294967297\" is no host:port: the port must be 1 to 65535"},
        {"abc:30x", "\"abc:30x\" is no host:port: the port must be a number"},
        {"abc:-1", "\"abc:-1\" is no host:port: the port must be a number"},
        {"abc: 1", "\"abc: 1\" is no host:port: the port must be a number"},
        {"abc:", "\"abc:\" is no host:port: the port after ':' is missing"},
        {"ra dar:1",
         "\"ra dar:1\" is no host:port: the host may hold only letters, digits, '-', '.' and '_'"},
        {longHost, "\"" + longHost + "\" is no host:port: the host is longer than 253 characters"},
        {"[::1", "\"[::1\" is no host:port: the ']' after the IPv6 address is missing"},
        {"[::1]30005", "\"[::1]30005\" is no host:port: only ':' and a port may follow the ']'"},
        {"[]:30005", "\"[]:30005\" is no host:port: the host is missing"},
        {"[radar]:1", "\"[radar]:1\" is no host:port: the address in brackets is no IPv6 address"},
        {"[1:2:3:4:5:6:7:8:9]",
         "\"[1:2:3:4:5:6:7:8:9]\" is no host:port: the address in brackets is no IPv6 address"},
        {"[1::2::3]", "\"[1::2::3]\" is no host:port: the address in brackets is no IPv6 address"},
        {"[::1%]", "\"[::1%]\" is no host:port: the address in brackets is no IPv6 address"},
        {"[::1%" + std::string(65, 'z') + "]", "\"[::1%" + std::string(65, 'z') +
                                                   "]\" is no host:port: the address in brackets "
                                                   "is no IPv6 address"},
        {"[::256.0.0.1]",
         "\"[::256.0.0.1]\" is no host:port: the address in brackets is no IPv6 address"},
        {"::1:30005",
         "\"::1:30005\" is no host:port: it is no IPv6 address (a port after one is written "
         "[address]:port)"},
        {"1:2:",
         "\"1:2:\" is no host:port: it is no IPv6 address (a port after one is written "
         "[address]:port)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        const auto result = ParseHostPort(c.text, 30005);
        if (const auto* expected = std::get_if<HostPort>(&c.expected)) {
            const auto* got = std::get_if<HostPort>(&result);
            ASSERT_NE(got, nullptr) << std::get<std::string>(result);
            EXPECT_EQ(got->host, expected->host);
            EXPECT_EQ(got->port, expected->port);
        } else {
            const auto* got = std::get_if<std::string>(&result);
            ASSERT_NE(got, nullptr) << "accepted as " << std::get<HostPort>(result).host;
            EXPECT_EQ(*got, std::get<std::string>(c.expected));
        }
    }
}

}  // namespace
}  // namespace quorvex
