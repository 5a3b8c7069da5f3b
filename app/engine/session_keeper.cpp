#include "app/engine/session_keeper.h"

#include <chrono>
#include <utility>

#include "core/run/checkpoint_file.h"
#include "platform/application_errors.h"

namespace quorvex::app {

SessionKeeper::SessionKeeper(std::string sessionsFolder)
    : sessionsFolder_(std::move(sessionsFolder)), writer_(std::make_unique<CheckpointWriter>()) {}

std::optional<SessionKeeper::Candidate> SessionKeeper::FindCandidate(const std::string& setup) {
    if (sessionsFolder_.empty()) return std::nullopt;
    const auto folder = LatestSessionFolder(sessionsFolder_);
    if (!folder) {
        if (resume_) {
            platform::ShowApplicationError("No session to continue in " + sessionsFolder_ +
                                           "; a new session begins.");
        }
        return std::nullopt;
    }
    LoadedCheckpoint loaded = LoadCheckpoint(*folder);
    for (const std::string& problem : loaded.problems) platform::ShowApplicationError(problem);
    if (!loaded.payload) {
        if (resume_) {
            platform::ShowApplicationError("The latest session " + *folder +
                                           " has no checkpoint to continue; a new session "
                                           "begins.");
        }
        return std::nullopt;
    }
    ByteReader in(*loaded.payload);
    const auto header = ReadSessionHeader(in);
    if (!header) {
        platform::ShowApplicationError("The checkpoint of " + *folder +
                                       " has no whole header; a new session begins.");
        return std::nullopt;
    }
    if (header->setup != setup) {
        if (resume_) {
            platform::ShowApplicationError("The latest session " + *folder +
                                           " was measured with another setup (" + header->setup +
                                           ", not " + setup + "); a new session begins.");
        }
        return std::nullopt;
    }
    return Candidate{*header, *folder, std::move(*loaded.payload)};
}

void SessionKeeper::Begin(Run& run, const std::string& setup, std::optional<Candidate> candidate,
                          std::int64_t unixSecond) {
    setup_ = setup;
    folder_.clear();
    ticks_ = 0;
    if (sessionsFolder_.empty()) return;
    if (candidate) {
        ByteReader in(candidate->payload);
        if (ReadSessionHeader(in) && run.Restore(in, unixSecond)) {
            folder_ = candidate->folder;
            if (resume_) {
                platform::ShowApplicationError(
                    "Continuing the session " + folder_ + " (" +
                    MeasuredText(candidate->header.measuredSeconds) + " measured); the " +
                    std::to_string(unixSecond - candidate->header.lastUnix) +
                    " s since its last checkpoint are a gap.");
            }
            return;
        }
        platform::ShowApplicationError("The checkpoint of " + candidate->folder +
                                       " cannot be continued: its state is not whole or "
                                       "not consistent; a new session begins.");
    }
    BeginAnew(run, unixSecond);
}

void SessionKeeper::BeginAnew(const Run& run, std::int64_t unixSecond) {
    folder_.clear();
    ticks_ = 0;
    if (sessionsFolder_.empty()) return;
    NewSessionFolder made = MakeSessionFolder(sessionsFolder_, unixSecond);
    if (!made.problem.empty()) {
        platform::ShowApplicationError(made.problem);
        return;
    }
    folder_ = std::move(made.folder);
    Checkpoint(run);
}

void SessionKeeper::Tick(const Run& run) {
    if (folder_.empty()) return;
    SayProblems();
    if (++ticks_ < checkpointSeconds_) return;
    ticks_ = 0;
    Checkpoint(run);
}

std::optional<std::string> SessionKeeper::End(const Run& run) {
    if (folder_.empty()) return std::nullopt;
    Checkpoint(run);
    writer_->Wait();
    folder_.clear();
    auto problem = writer_->TakeProblem();
    if (problem && *problem == lastProblem_) return std::nullopt;  // said already
    return problem;
}

void SessionKeeper::Checkpoint(const Run& run) {
    const auto begun = std::chrono::steady_clock::now();
    std::string payload = SessionPayload(setup_, run, payloadBytes_ + payloadBytes_ / 8);
    snapshotMicroseconds_ =
        std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begun).count();
    payloadBytes_ = payload.size();
    writer_->Submit(folder_, std::move(payload));
}

void SessionKeeper::SayProblems() {
    if (auto problem = writer_->TakeProblem()) {
        if (*problem != lastProblem_) platform::ShowApplicationError(*problem);
        lastProblem_ = std::move(*problem);
    } else if (const std::uint64_t written = writer_->Written(); written != writtenSeen_) {
        writtenSeen_ = written;
        lastProblem_.clear();  // writing again: a new trouble is news
    }
}

}  // namespace quorvex::app
