#include "app/engine/checkpoint_writer.h"

#include <utility>

#include "core/run/checkpoint_file.h"

namespace quorvex::app {

CheckpointWriter::CheckpointWriter() : thread_([this] { Work(); }) {}

CheckpointWriter::~CheckpointWriter() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void CheckpointWriter::Submit(std::string folder, std::string payload) {
    {
        std::lock_guard lock(mutex_);
        pending_.emplace(std::move(folder), std::move(payload));
    }
    wake_.notify_one();
}

void CheckpointWriter::Wait() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !pending_ && !writing_; });
}

std::optional<std::string> CheckpointWriter::TakeProblem() {
    std::lock_guard lock(mutex_);
    return std::exchange(problem_, std::nullopt);
}

std::uint64_t CheckpointWriter::Written() const {
    std::lock_guard lock(mutex_);
    return written_;
}

void CheckpointWriter::Work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return pending_ || stopping_; });
        // What was submitted before the end is still written.
        if (!pending_) return;
        auto [folder, payload] = std::move(*pending_);
        pending_.reset();
        writing_ = true;
        lock.unlock();
        std::optional<std::string> problem = WriteCheckpoint(folder, payload);
        lock.lock();
        writing_ = false;
        if (problem) {
            problem_ = std::move(problem);
        } else {
            ++written_;
        }
        idle_.notify_all();
    }
}

}  // namespace quorvex::app
