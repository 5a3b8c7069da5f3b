#pragma once
// The port probe at program start: which serial devices exist and are free, for the port
// lists of the window.
//
// Threads: any thread (the program calls it once at start, before the window exists); it
// keeps no state. Each probe opens and closes one device and never waits.

#include <string>
#include <string_view>
#include <vector>

namespace quorvex::platform {

// True when `device` opens as a serial device for reading and writing, exclusively; it is
// closed again at once. A device that another program holds counts as absent.
bool ProbePort(const std::string& device);

// Natural order: runs of digits compare by their value, so ttyUSB10 follows ttyUSB9.
bool NaturalLess(std::string_view a, std::string_view b);

// The devices the probe tries, as full paths, in the order the port lists show them: the
// terminals under `sysClassTty` that have a device link (ttyS ones only when their UART
// type is known), in natural order, followed by the devices listed under [ports] devices of
// the settings file `settingsPath` (";"-separated: pseudo-terminals, symbolic links,
// virtual ports), each path once.
std::vector<std::string> PortCandidates(const std::string& settingsPath,
                                        const std::string& sysClassTty = "/sys/class/tty",
                                        const std::string& deviceFolder = "/dev/");

// The present ports (the window's PortPresent): the candidates that ProbePort finds free,
// in the same order.
std::vector<std::string> ProbePorts(const std::string& settingsPath);

}  // namespace quorvex::platform
