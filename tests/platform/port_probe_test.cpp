// The port probe: which devices it tries, in which order, and which it finds free.

#include "platform/port_probe.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/serial_device.h"

namespace quorvex::platform {
namespace {

namespace fs = std::filesystem;
using Paths = std::vector<std::string>;

TEST(PortProbeTest, NaturalOrderComparesNumbersByValue) {
    Paths names = {"ttyUSB10", "ttyS2", "ttyUSB9", "ttyACM0", "ttyS10", "ttyUSB0", "ttyS1"};
    std::sort(names.begin(), names.end(), NaturalLess);
    EXPECT_EQ(names,
              (Paths{"ttyACM0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB9", "ttyUSB10"}));
    EXPECT_FALSE(NaturalLess("ttyS1", "ttyS1"));
}

TEST(PortProbeTest, CandidatesAreTheSerialTerminalsThenTheListedDevices) {
    const fs::path root =
        fs::temp_directory_path() / ("quorvex-probe-" + std::to_string(::getpid()));
    const fs::path tty = root / "class" / "tty";
    const auto terminal = [&](const std::string& name, bool device, const char* uartType) {
        fs::create_directories(tty / name);
        if (device) fs::create_directory(tty / name / "device");
        if (uartType) std::ofstream(tty / name / "type") << uartType << "\n";
    };
    terminal("ttyUSB10", true, nullptr);
    terminal("ttyUSB9", true, nullptr);
    terminal("ttyACM0", true, nullptr);
    terminal("ttyS0", true, "4");
    terminal("ttyS1", true, "0");  // no UART behind this line
    terminal("tty0", false, nullptr);
    terminal("ptmx", false, nullptr);
    const fs::path ini = root / "quorvex.ini";
    std::ofstream(ini) << "[ports]\r\ndevices = /dev/pts/7 ; /dev/ttyUSB9;;/tmp/link\r\n";

    EXPECT_EQ(PortCandidates(ini.string(), tty.string()),
              (Paths{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyUSB9", "/dev/ttyUSB10", "/dev/pts/7",
                     "/tmp/link"}));
    EXPECT_EQ(PortCandidates((root / "missing.ini").string(), (root / "none").string()), Paths{});
    fs::remove_all(root);
}

TEST(PortProbeTest, ADeviceCountsOnlyWhenItOpensExclusivelyAsATerminal) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);

    EXPECT_TRUE(ProbePort(slave));
    EXPECT_TRUE(ProbePort(slave)) << "the probe let go of the device";
    {
        SerialDevice holder;
        ASSERT_TRUE(holder.Open(slave));
        EXPECT_FALSE(ProbePort(slave));
        SerialDevice second;
        EXPECT_FALSE(second.Open(slave));
        EXPECT_EQ(second.LastError(), EBUSY);
    }
    EXPECT_TRUE(ProbePort(slave));
    EXPECT_FALSE(ProbePort("/dev/quorvex-no-such-device"));
    EXPECT_FALSE(ProbePort("/dev/null")) << "no terminal";
    ::close(master);
}

}  // namespace
}  // namespace quorvex::platform
