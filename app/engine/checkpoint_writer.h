#pragma once
// Writes a session's checkpoints on a thread of its own, so a write and its flushes to disk
// never hold up reception: the user-interface thread hands over a payload it made
// (SessionPayload) and goes on. One payload waits at most; a newer one takes its place, so a
// disk slower than the checkpoints falls behind by one and never grows a queue.
//
// Threads: Submit, Wait, TakeProblem and the destructor on the thread that owns it; the
// writes on the writer's own.

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace quorvex::app {

class CheckpointWriter {
  public:
    CheckpointWriter();
    ~CheckpointWriter();
    CheckpointWriter(const CheckpointWriter&) = delete;
    CheckpointWriter& operator=(const CheckpointWriter&) = delete;

    // `payload` becomes the checkpoint of `folder` once written.
    void Submit(std::string folder, std::string payload);
    // Returns once every payload submitted so far is written (or failed).
    void Wait();
    // The message of the latest write that failed, once; none while writes succeed.
    std::optional<std::string> TakeProblem();
    // Checkpoints written since construction.
    std::uint64_t Written() const;

  private:
    void Work();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<std::pair<std::string, std::string>> pending_;  // folder, payload
    bool writing_ = false;
    bool stopping_ = false;
    std::optional<std::string> problem_;
    std::uint64_t written_ = 0;
    std::thread thread_;  // last: started once the rest exists
};

}  // namespace quorvex::app
