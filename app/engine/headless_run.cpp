#include "app/engine/headless_run.h"

#include <QCoreApplication>
#include <QTimer>

#include <unistd.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <vector>

#include "app/engine/termination_watch.h"
#include "core/export/level_csv.h"
#include "core/export/source_summary.h"
#include "net/tcp_receiver.h"
#include "platform/append_file.h"
#include "platform/application_errors.h"
#include "platform/main_thread.h"
#include "platform/whole_file.h"

namespace quorvex::app {
namespace {

// A message as a sentence: its own end, or a full stop.
std::string Sentence(std::string message) {
    if (!message.empty() && message.find_last_of(".!?") != message.size() - 1) message += '.';
    return message;
}

// Standard error: one line per message, each said at most once per summary period, so a
// trouble that comes back every few seconds does not flood a journal.
class RunMessages {
  public:
    void Say(const std::string& message) {
        if (held_) {
            held_->push_back(message);
            return;
        }
        const std::string text = Sentence(message);
        if (!said_.insert(text).second) return;
        std::fprintf(stderr, "quorvex: %s\n", text.c_str());
    }
    void NewPeriod() { said_.clear(); }
    // Keeps what is said from now on, to be said together with what it needs.
    void Hold() { held_.emplace(); }
    std::vector<std::string> TakeHeld() {
        std::vector<std::string> held = std::move(held_).value_or(std::vector<std::string>{});
        held_.reset();
        return held;
    }

  private:
    std::set<std::string> said_;
    std::optional<std::vector<std::string>> held_;
};

// What keeps a receiver's connection from counting: its TCP connection down after a first
// attempt ended, or its serial device gone; empty otherwise.
std::string ConnectionTrouble(const ReceiverInput& input) {
    const net::TcpReceiver* network = input.Network();
    if (network != nullptr && !network->Connected() && !network->Trouble().empty()) {
        return input.NetworkTrouble();
    }
    if (input.DeviceGone()) return input.Trouble().Text;
    return {};
}

class HeadlessRun {
  public:
    HeadlessRun(MeasurementController& controller, const CommandLine& commandLine,
                RunMessages& messages)
        : c_(controller), commandLine_(commandLine), messages_(messages) {}

    // Sets the run up as the window's start does and presses Start; false when a source
    // cannot be set up (said on standard error).
    bool Begin() {
        ApplyCommandLine(commandLine_, c_.Controls());
        c_.ApplyRunOptions(commandLine_);
        if (!c_.SharedFolderWarning().empty()) messages_.Say(c_.SharedFolderWarning());
        for (const std::string& problem : c_.StartProblems()) messages_.Say(problem);
        for (const SourceId receiver : kReceivers) {
            if (c_.HasSource(receiver)) sources_.push_back(receiver);
        }
        if (commandLine_.Connect) sources_.push_back(SourceId::Feed);
        if (sources_.empty()) {
            messages_.Say(
                "Nothing to measure: no receiver is set up (--receiver1, --receiver2 or a "
                "profile in the settings) and the feed is not connected (--connect)");
            return false;
        }
        c_.OnRefusal = [this](const StartRefusal& refusal) { messages_.Say(refusal.Text); };
        // The serial layer's message does not name the device; the sentence does.
        messages_.Hold();
        c_.StartStopClicked();
        for (const std::string& message : messages_.TakeHeld()) {
            std::string where;
            for (const SourceId receiver : kReceivers) {
                if (!c_.Input(receiver).OpenFailed()) continue;
                where = "Receiver " + std::to_string(ReceiverNumber(receiver)) +
                        " cannot be set up on " + c_.Input(receiver).ComPort().Port() + ": ";
            }
            messages_.Say(where + message);
        }
        if (!c_.Running()) return false;  // the refusal or the port's error was said
        // Receiver 2 is not on UDP (or Start would have failed): datagrams go unheard.
        if (!c_.UdpBindError().empty()) {
            messages_.Say("UDP port " + std::to_string(c_.UdpPort()) + ": " + c_.UdpBindError());
        }
        c_.PressRunButtons(commandLine_);
        for (const SourceId receiver : kReceivers) {
            c_.Input(receiver).OnDeviceBack = [this, receiver] {
                messages_.Say(SourceName(receiver) + ": " + c_.Input(receiver).ComPort().Port() +
                              " is back");
            };
        }
        c_.OnControlsChanged = [this] { WatchTroubles(); };
        c_.OnTickResult = [this](const TickResult&) { Ticked(); };
        WatchTroubles();
        return true;
    }

    // The seconds since the last summary, if any; at the end of the run.
    void SummariseRest() {
        if (period_.Seconds() > 0) Summarise();
    }

  private:
    void Ticked() {
        period_.Add(c_.CurrentRun().Measurement().Seconds.Newest());
        WatchTroubles();
        if (period_.Seconds() >= commandLine_.SummarySeconds) Summarise();
        const Run& run = c_.CurrentRun();
        if (commandLine_.EndAfterSeconds && !ending_ &&
            run.LastSecond() - run.SessionStart() >= *commandLine_.EndAfterSeconds) {
            // As SIGTERM ends it, once the tick is done.
            ending_ = true;
            messages_.Say("The session has run for its --end-after time: it ends");
            QTimer::singleShot(0, &c_, [this] { c_.EndProgramOnSignal(); });
        }
    }

    void Summarise() {
        std::string text;
        for (const SourceId source : sources_) {
            SourceLosses losses;
            if (source == SourceId::Feed) {
                losses.LostConnections = c_.FeedConnectionsLost();
            } else {
                losses.LostConnections = c_.Input(source).LostConnections();
                losses.RejectedPackets = c_.Input(source).Rejected().Count;
                if (source == SourceId::Receiver2)
                    losses.DroppedDatagrams = c_.UdpDatagramsDropped();
            }
            text += SourceSummaryLine(source, period_, losses) + "\n";
        }
        if (const auto levels =
                LevelSummaryLine(period_.EndUnixSeconds(), c_.CurrentRun().Levels())) {
            text += *levels + "\n";
        }
        period_.Clear();
        messages_.NewPeriod();
        Print(text);
    }

    // A summary to standard output. One that cannot be written (a reader that left, a full
    // disk) is said once until one can be written again, and counted for the end.
    void Print(const std::string& text) {
        ++summaries_;
        const int error = platform::WriteWhole(STDOUT_FILENO, text);
        if (error == 0) {
            outputFailing_ = false;
            return;
        }
        ++lostSummaries_;
        if (outputFailing_) return;
        outputFailing_ = true;
        messages_.Say("Standard output cannot be written (" + platform::ErrorText(error) +
                      "): the summaries are lost until it can be written again; the measurement "
                      "goes on with its files");
    }

  public:
    // What the run's standard output lacks, said at the end; false when it lacks anything.
    bool SayLostOutput() {
        if (lostSummaries_ == 0) return true;
        messages_.Say("Standard output lacks " + std::to_string(lostSummaries_) + " of the " +
                      std::to_string(summaries_) + " summaries: they could not be written");
        return false;
    }

  private:
    // A trouble is said when it begins or changes, not again while it lasts. A receiver
    // whose host name cannot be resolved before it ever connected was not set up: the run
    // ends.
    void WatchTroubles() {
        for (const SourceId source : sources_) {
            std::string trouble;
            if (source == SourceId::Feed) {
                trouble = c_.FeedTrouble();
            } else {
                const ReceiverInput& input = c_.Input(source);
                const net::TcpReceiver* network = input.Network();
                if (network != nullptr && network->LookupFailed() && network->Connections() == 0) {
                    CannotResolve(source, network->Trouble());
                    return;
                }
                trouble = ConnectionTrouble(input);
            }
            std::string& last = troubles_[SourceIndex(source)];
            if (!trouble.empty() && trouble != last)
                messages_.Say(SourceName(source) + ": " + trouble);
            last = std::move(trouble);
        }
    }

    void CannotResolve(SourceId receiver, const std::string& why) {
        if (failed_) return;
        failed_ = true;
        messages_.Say("Receiver " + std::to_string(ReceiverNumber(receiver)) +
                      " cannot be set up: the host name in " +
                      c_.ReceiverControls(receiver).Port.Text + " cannot be resolved (" + why +
                      ")");
        QCoreApplication::exit(1);
    }

    MeasurementController& c_;
    const CommandLine& commandLine_;
    RunMessages& messages_;
    std::vector<SourceId> sources_;
    SummaryPeriod period_;
    std::array<std::string, kSourceCount> troubles_;
    bool failed_ = false;
    bool ending_ = false;
    std::uint64_t summaries_ = 0;
    std::uint64_t lostSummaries_ = 0;
    bool outputFailing_ = false;
};

}  // namespace

int RunWithoutWindow(int argc, char** argv, const CommandLine& commandLine,
                     MeasurementController::Options options,
                     const std::vector<std::string>& startProblems) {
    // The program's own application when it made one (a report's page needs widgets);
    // otherwise one without any.
    std::optional<QCoreApplication> application;
    if (QCoreApplication::instance() == nullptr) application.emplace(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvex"));
    platform::InitialiseMainThread();

    RunMessages messages;
    platform::SetApplicationErrorHandler(
        [&messages](const std::string& message) { messages.Say(message); });
    for (const std::string& problem : startProblems) messages.Say(problem);

    int exitCode = 1;
    {
        MeasurementController controller(std::move(options));
        // Settings are written; signals that follow while it does are ignored.
        const auto signalWatch =
            WatchForTermination(&controller, [&controller] { controller.EndProgramOnSignal(); });
        HeadlessRun run(controller, commandLine, messages);
        if (run.Begin()) {
            exitCode = QCoreApplication::exec();
            if (controller.Ended()) run.SummariseRest();
            if (!run.SayLostOutput() || !controller.SavedAtEnd()) exitCode = 1;
        }
    }
    platform::SetApplicationErrorHandler(nullptr);
    return exitCode;
}

}  // namespace quorvex::app
