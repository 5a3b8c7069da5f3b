// quorvex-sim: two Mode S receivers and a port-30003 feed without hardware (see --help).

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <stdexcept>
#include <variant>

#include "tools/sim/runner.h"
#include "tools/sim/sim_options.h"
#include "tools/sim/stop_signal.h"

namespace {

constexpr int kStepMilliseconds = 1;
// After the run the outputs stay open this long with nothing new on them: what is still
// paced out gets written, and a reader takes what the truth counts before the terminal and
// the feed connection close under it.
constexpr double kLingerSeconds = 1.0;

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Keeps the outputs served (readers come, the feed is accepted) until a line or the end of
// standard input. False when a signal came first.
bool WaitForGo(quorvex::sim::Runner& runner, quorvex::sim::StopSignal& stop) {
    for (;;) {
        runner.Service(0);
        if (stop.Wait(0)) return false;
        pollfd input{STDIN_FILENO, POLLIN, 0};
        if (::poll(&input, 1, 10) > 0) {
            char byte;
            const ssize_t n = ::read(STDIN_FILENO, &byte, 1);
            if (n <= 0 || byte == '\n') return true;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quorvex::sim;
    StopSignal stop;  // first, so a signal that comes early ends the run in order too
    const std::vector<std::string> args(argv + 1, argv + argc);
    auto parsed = ParseSimOptions(args);
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        std::cerr << "quorvex-sim: " << *error << "\n";
        return 2;
    }
    SimOptions& options = std::get<SimOptions>(parsed);
    if (options.help) {
        std::cout << SimUsage();
        return 0;
    }
    std::string note;
    if (const auto error = ResolveRate(options, &note)) {
        std::cerr << "quorvex-sim: " << *error << "\n";
        return 2;
    }
    if (!note.empty()) std::cerr << "quorvex-sim: " << note << "\n";

    std::ofstream file;
    if (!options.truthFile.empty()) {
        file.open(options.truthFile, std::ios::trunc);
        if (!file) {
            std::cerr << "quorvex-sim: cannot write " << options.truthFile << "\n";
            return 1;
        }
    }
    std::ostream& truth = options.truthFile.empty() ? std::cout : file;

    std::unique_ptr<Runner> runner;
    try {
        runner = std::make_unique<Runner>(
            options,
            std::chrono::duration_cast<std::chrono::milliseconds>(
                std::chrono::system_clock::now().time_since_epoch())
                .count(),
            [](const std::string& line) { std::cerr << line << std::endl; });
    } catch (const std::exception& e) {
        std::cerr << "quorvex-sim: " << e.what() << "\n";
        return 1;
    }

    if (options.waitForGo && !WaitForGo(*runner, stop)) {
        truth << runner->TruthJson(0, true) << std::endl;
        return truth ? 0 : 1;
    }
    const auto start = std::chrono::steady_clock::now();
    double now = 0;
    double nextReport = 1;
    for (;;) {
        now = SecondsSince(start);
        const bool timeUp = options.seconds > 0 && now >= options.seconds;
        if (timeUp) now = options.seconds;
        runner->Step(now);
        if (timeUp) break;
        if (options.truthEverySecond && now >= nextReport) {
            truth << runner->TruthJson(now, false) << std::endl;
            nextReport += 1;
        }
        if (stop.Wait(kStepMilliseconds)) break;
    }
    for (double end = now; SecondsSince(start) < end + kLingerSeconds;) {
        runner->Service(SecondsSince(start));
        ::poll(nullptr, 0, kStepMilliseconds);
    }
    truth << runner->TruthJson(now, true) << std::endl;
    return truth ? 0 : 1;
}
