#include "metrics/process_figures.h"

#include <dirent.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace quorvex::metrics {
namespace {

double Seconds(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// The entries of /proc/self/fd, less the one the count itself holds open.
double OpenDescriptors() {
    DIR* folder = ::opendir("/proc/self/fd");
    if (folder == nullptr) return 0;
    int count = 0;
    while (const dirent* entry = ::readdir(folder)) {
        if (entry->d_name[0] != '.') ++count;
    }
    ::closedir(folder);
    return count > 0 ? count - 1 : 0;
}

double ResidentBytes() {
    std::FILE* file = std::fopen("/proc/self/statm", "re");
    if (file == nullptr) return 0;
    unsigned long size = 0;
    unsigned long resident = 0;
    const int read = std::fscanf(file, "%lu %lu", &size, &resident);
    std::fclose(file);
    if (read != 2) return 0;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE));
}

// Boot time plus the process's start in clock ticks after boot (field 22 of its stat line,
// counted after the command's closing parenthesis, which may hold spaces).
double StartTime() {
    std::ifstream stat("/proc/self/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t close = line.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream fields(line.substr(close + 2));
    std::string field;
    unsigned long long startTicks = 0;
    for (int number = 3; fields >> field; ++number) {
        if (number == 22) {
            startTicks = std::stoull(field);
            break;
        }
    }
    std::ifstream system("/proc/stat");
    double bootSeconds = 0;
    for (std::string entry; std::getline(system, entry);) {
        if (entry.starts_with("btime ")) bootSeconds = std::stod(entry.substr(6));
    }
    return bootSeconds +
           static_cast<double>(startTicks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

}  // namespace

ProcessReader::ProcessReader() : startTimeSeconds_(StartTime()) {}

ProcessFigures ProcessReader::Read() const {
    ProcessFigures figures;
    rusage usage{};
    if (::getrusage(RUSAGE_SELF, &usage) == 0) {
        figures.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
    }
    figures.residentBytes = ResidentBytes();
    figures.openFds = OpenDescriptors();
    figures.startTimeSeconds = startTimeSeconds_;
    return figures;
}

}  // namespace quorvex::metrics
