#include "program_run.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <regex>
#include <thread>

#include <gtest/gtest.h>

#include "support/child_process.h"

namespace quorvex::app::test {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Generous for a sanitizer build on a busy machine; a run that comes up normally takes seconds.
constexpr auto kStartBound = 60s;
constexpr auto kEndBound = 30s;
// A start that holds more than this reads something without end.
constexpr long kMemoryBoundKiB = 1536 * 1024;

// A line of /proc/<pid>/status ("SigCgt:", "VmRSS:"), without its name; empty when absent.
std::string StatusField(pid_t pid, const std::string& name) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name)) return line.substr(name.size());
    }
    return {};
}

bool CatchesSigterm(pid_t pid) {
    const std::string mask = StatusField(pid, "SigCgt:");
    return !mask.empty() && (std::stoull(mask, nullptr, 16) >> (SIGTERM - 1) & 1) != 0;
}

// `text` with every "F/" replaced by `folder`.
std::string InFolder(std::string text, const std::string& folder) {
    for (std::size_t at = text.find("F/"); at != std::string::npos; at = text.find("F/", at)) {
        text.replace(at, 2, folder);
        at += folder.size();
    }
    return text;
}

long ResidentKiB(pid_t pid) {
    const std::string rss = StatusField(pid, "VmRSS:");
    return rss.empty() ? 0 : std::stol(rss);
}

}  // namespace

ProgramUnderTest::ProgramUnderTest(bool portable) : program_(File("quorvex")) {
    std::error_code error;
    fs::create_hard_link(QUORVEX_PROGRAM_PATH, program_, error);
    if (error) fs::copy_file(QUORVEX_PROGRAM_PATH, program_);
    if (portable) {
        fs::copy_file(fs::path(QUORVEX_PROGRAM_PATH).replace_filename("quorvex.portable"),
                      File("quorvex.portable"));
    }
}

ProgramEnd ProgramUnderTest::Run(const std::vector<std::string>& environment,
                                 const std::function<void()>& whileUp) {
    std::vector<std::string> variables;
    for (const std::string& variable : environment)
        variables.push_back(InFolder(variable, Folder()));
    for (const std::string given :
         {"QT_QPA_PLATFORM=offscreen", "LSAN_OPTIONS=suppressions=" QUORVEX_LSAN_SUPPRESSIONS}) {
        const std::string name = given.substr(0, given.find('=') + 1);
        if (std::none_of(environment.begin(), environment.end(),
                         [&name](const std::string& v) { return v.starts_with(name); })) {
            variables.push_back(given);
        }
    }
    quorvex::test::ChildProcess program(program_, {}, variables);
    ProgramEnd end;
    const auto until = [&program](auto bound, const auto& done) {
        for (const auto limit = std::chrono::steady_clock::now() + bound;
             std::chrono::steady_clock::now() < limit;) {
            if (done()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    };
    bool tooLarge = false;
    const bool up = until(kStartBound, [&] {
        if (!program.Running()) return true;
        tooLarge = ResidentKiB(program.Pid()) > kMemoryBoundKiB;
        return tooLarge || CatchesSigterm(program.Pid());
    });
    if (!program.Running()) {
        end.ExitCode = program.ExitCode();
        end.Errors = program.ReadErrors();
        end.Trouble = "it ended before its window showed";
        return end;
    }
    if (!up || tooLarge) {
        end.Errors = program.ReadErrors();
        end.Trouble = tooLarge ? "its memory grew past 1.5 GB while starting"
                               : "its window did not show within a minute";
        return end;
    }
    if (whileUp) whileUp();
    ::kill(program.Pid(), SIGTERM);
    if (!until(kEndBound, [&program] { return !program.Running(); })) {
        end.Trouble = "it did not end within 30 s of SIGTERM";
    }
    end.ExitCode = program.ExitCode();
    end.Errors = program.ReadErrors(100ms);
    return end;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

const std::vector<std::string> kNoDisplay = {
    "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
    "LSAN_OPTIONS=suppressions=" QUORVEX_LSAN_SUPPRESSIONS};

bool Within(std::chrono::seconds bound, const std::function<bool()>& done) {
    for (const auto limit = std::chrono::steady_clock::now() + bound;
         std::chrono::steady_clock::now() < limit; std::this_thread::sleep_for(20ms)) {
        if (done()) return true;
    }
    return done();
}

SimulatorOutput SimulatorOutputs(quorvex::test::ChildProcess& sim) {
    SimulatorOutput output;
    const auto limit = std::chrono::steady_clock::now() + 30s;
    for (; std::chrono::steady_clock::now() < limit; std::this_thread::sleep_for(20ms)) {
        const std::string said = sim.ReadErrors();
        std::smatch found;
        if (std::regex_search(said, found, std::regex("receiver1: pty (\\S+)\n"))) {
            output.pty = found[1];
        }
        if (std::regex_search(said, found, std::regex("receiver2: tcp-beast \\S+:(\\d+)\n"))) {
            output.port = found[1];
        }
        if (!output.pty.empty() && !output.port.empty()) break;
    }
    return output;
}

namespace {

std::size_t Occurrences(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

}  // namespace

void ExpectEnd(const ProgramEnd& end, const ProgramUnderTest& program, int exitCode,
               const std::vector<std::string>& messages) {
    EXPECT_EQ(end.Trouble, "") << end.Errors;
    if (!end.Trouble.empty()) return;
    EXPECT_EQ(end.ExitCode, exitCode) << end.Errors;
    for (const std::string& message : messages) {
        const std::string said = "quorvex: " + InFolder(message, program.Folder()) + "\n";
        EXPECT_EQ(Occurrences(end.Errors, said), 1u) << said << "in:\n" << end.Errors;
    }
    if (messages.empty()) {
        EXPECT_EQ(Occurrences(end.Errors, "Cannot read ") + Occurrences(end.Errors, "Unable to "),
                  0u)
            << end.Errors;
    }
}

bool ClickAndPressKeys(int port, int x, int y, const std::vector<unsigned>& keys) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    // The server listens once the program's event loop runs, a moment after it is up.
    int fd = -1;
    for (int attempt = 0; attempt < 200 && fd < 0; ++attempt) {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            fd = -1;
            std::this_thread::sleep_for(50ms);
        }
    }
    if (fd < 0) return false;
    timeval bound{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    const auto receive = [fd](std::size_t count) {
        std::string bytes(count, '\0');
        std::size_t got = 0;
        while (got < count) {
            const ssize_t n = ::recv(fd, bytes.data() + got, count - got, 0);
            if (n <= 0) return std::string();
            got += static_cast<std::size_t>(n);
        }
        return bytes;
    };
    const auto send = [fd](const std::string& bytes) {
        return ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(bytes.size());
    };
    const auto u16 = [](unsigned v) { return std::string{char(v >> 8), char(v & 0xFF)}; };
    const auto u32 = [&u16](unsigned v) { return u16(v >> 16) + u16(v & 0xFFFF); };
    // RFB 3.3: the versions, the security type (1: none), the client's and the server's inits.
    bool ok = receive(12).starts_with("RFB ") && send("RFB 003.003\n") && receive(4).size() == 4 &&
              send(std::string(1, '\1'));
    const std::string init = ok ? receive(24) : std::string();
    ok = init.size() == 24;
    if (ok) {
        const auto nameLength = static_cast<std::size_t>(static_cast<unsigned char>(init[23]));
        ok = nameLength == 0 || !receive(nameLength).empty();
    }
    const auto pointer = [&](unsigned buttons) {
        return send(std::string{5, char(buttons)} + u16(x) + u16(y));
    };
    ok = ok && pointer(0) && pointer(1) && pointer(0);
    for (const unsigned key : keys) {
        std::this_thread::sleep_for(300ms);  // the popup a click opened shows first
        ok = ok && send(std::string{4, 1, 0, 0} + u32(key)) &&
             send(std::string{4, 0, 0, 0} + u32(key));
    }
    std::this_thread::sleep_for(300ms);
    ::close(fd);
    return ok;
}

}  // namespace quorvex::app::test
