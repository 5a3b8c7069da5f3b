#pragma once
// The measurement's session on disk: which session a Start continues or begins, its
// checkpoint every so many ticks and at the end, and the troubles of either, each said once on
// the application's error display. The payload is made on the user-interface thread (a copy
// of the run's state as bytes) and written by a CheckpointWriter of its own.
//
// Threads: the user-interface thread only.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/engine/checkpoint_writer.h"
#include "core/run/run.h"
#include "core/run/session_file.h"

namespace quorvex::app {

inline constexpr int kDefaultCheckpointSeconds = 60;

class SessionKeeper {
  public:
    // Sessions are kept in `sessionsFolder`; none when it is empty.
    explicit SessionKeeper(std::string sessionsFolder);

    void SetCheckpointSeconds(int seconds) { checkpointSeconds_ = seconds; }
    // Start continues the latest session of the same setup without asking, and says why
    // when it cannot (--resume).
    void SetResume(bool resume) { resume_ = resume; }
    bool Resume() const { return resume_; }

    // The latest session a Start with `setup` may continue: its header (for the question)
    // and its state. What could not be read is said.
    struct Candidate {
        SessionHeader header;
        std::string folder;
        std::string payload;
    };
    std::optional<Candidate> FindCandidate(const std::string& setup);

    // A run just started at `unixSecond`: it goes on with `candidate` when given and whole,
    // else a new session begins (with --resume, the reason said).
    void Begin(Run& run, const std::string& setup, std::optional<Candidate> candidate,
               std::int64_t unixSecond);
    // Clear: a new session with the same setup. Its first checkpoint is written at once, so
    // that a run killed within its first minute is continued too.
    void BeginAnew(const Run& run, std::int64_t unixSecond);
    // A tick of the run: the checkpoint when its time has come; a failed write said once.
    void Tick(const Run& run);
    // The end of the run (Stop, close, signal): the last checkpoint, written before this
    // returns; the session ends. Its message when it failed.
    std::optional<std::string> End(const Run& run);

    // The setup changed during the session (a new station): its checkpoints say so.
    void SetSetup(std::string setup) { setup_ = std::move(setup); }
    const std::string& Folder() const { return folder_; }
    // How long the latest payload took to make, on this thread.
    double LastSnapshotMicroseconds() const { return snapshotMicroseconds_; }
    std::size_t LastPayloadBytes() const { return payloadBytes_; }
    std::uint64_t Written() const { return writer_->Written(); }

  private:
    void Checkpoint(const Run& run);
    void SayProblems();

    std::string sessionsFolder_;
    std::string folder_;  // the current session's; empty while there is none
    std::string setup_;
    int checkpointSeconds_ = kDefaultCheckpointSeconds;
    int ticks_ = 0;
    bool resume_ = false;
    double snapshotMicroseconds_ = 0;
    std::size_t payloadBytes_ = 0;
    std::string lastProblem_;
    std::uint64_t writtenSeen_ = 0;
    std::unique_ptr<CheckpointWriter> writer_;
};

}  // namespace quorvex::app
