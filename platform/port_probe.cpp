#include "platform/port_probe.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/ini_file.h"
#include "platform/serial_device.h"

namespace quorvex::platform {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trim(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

// A ttyS line exists for every possible UART; only those with a known type are ports.
bool UartTypeKnown(const std::filesystem::path& ttyFolder) {
    std::ifstream type(ttyFolder / "type");
    int value = 0;
    return static_cast<bool>(type >> value) && value != 0;
}

}  // namespace

bool ProbePort(const std::string& device) {
    SerialDevice probe;
    return probe.Open(device);
}

bool NaturalLess(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            // Compare the digit runs by value: without leading zeros, the longer is larger.
            std::size_t endA = i;
            std::size_t endB = j;
            while (endA < a.size() && IsDigit(a[endA])) ++endA;
            while (endB < b.size() && IsDigit(b[endB])) ++endB;
            std::string_view runA = a.substr(i, endA - i);
            std::string_view runB = b.substr(j, endB - j);
            while (runA.size() > 1 && runA.front() == '0') runA.remove_prefix(1);
            while (runB.size() > 1 && runB.front() == '0') runB.remove_prefix(1);
            if (runA.size() != runB.size()) return runA.size() < runB.size();
            if (runA != runB) return runA < runB;
            i = endA;
            j = endB;
        } else {
            if (a[i] != b[j]) return a[i] < b[j];
            ++i;
            ++j;
        }
    }
    if (a.size() - i != b.size() - j) return a.size() - i < b.size() - j;
    return a < b;  // equal by value ("ttyS01" and "ttyS1"): any fixed order
}

std::vector<std::string> PortCandidates(const std::string& settingsPath,
                                        const std::string& sysClassTty,
                                        const std::string& deviceFolder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(sysClassTty, error)) {
        const std::filesystem::path folder = entry.path();
        if (!std::filesystem::exists(folder / "device", error)) continue;
        const std::string name = folder.filename().string();
        if (name.rfind("ttyS", 0) == 0 && !UartTypeKnown(folder)) continue;
        names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);

    std::vector<std::string> paths;
    for (const std::string& name : names) paths.push_back(deviceFolder + name);
    const std::string listed = IniReadString(settingsPath, "ports", "devices", "");
    std::string_view rest = listed;
    while (!rest.empty()) {
        const std::size_t end = std::min(rest.find(';'), rest.size());
        const std::string path(Trim(rest.substr(0, end)));
        rest.remove_prefix(std::min(end + 1, rest.size()));
        if (!path.empty() && std::find(paths.begin(), paths.end(), path) == paths.end()) {
            paths.push_back(path);
        }
    }
    return paths;
}

std::vector<std::string> ProbePorts(const std::string& settingsPath) {
    std::vector<std::string> present;
    for (const std::string& device : PortCandidates(settingsPath)) {
        if (ProbePort(device)) present.push_back(device);
    }
    return present;
}

}  // namespace quorvex::platform
