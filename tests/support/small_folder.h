#pragma once
// A folder that runs out of room, for tests of what a full disk does to the files the program
// appends to. The test's body runs in a forked child, where the folder holds one page at the
// most: a tmpfs of that size mounted over it in a mount namespace of the child's own where
// the system lets the test mount (as root), else a limit on the size of every file the child
// writes (RLIMIT_FSIZE, SIGXFSZ ignored). Either way a write that crosses the limit is cut
// short and the next one fails: ENOSPC on the tmpfs, EFBIG past the limit.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

namespace quorvex::test {

class SmallFolder {
  public:
    // The bytes the folder holds before it is full.
    std::size_t Room() const { return static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)); }
    // The errno of a write that finds no room.
    int Error() const { return mounted_ ? ENOSPC : EFBIG; }
    // Gives the folder plenty of room again.
    void Grow() const {
        if (mounted_) {
            ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT, "size=1m");
        } else {
            rlimit limit{};
            ::getrlimit(RLIMIT_FSIZE, &limit);
            limit.rlim_cur = limit.rlim_max;
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
    }

  private:
    friend int RunInSmallFolder(const std::filesystem::path&,
                                const std::function<void(const SmallFolder&)>&);
    explicit SmallFolder(std::string path) : path_(std::move(path)) {}

    // In the child: makes the folder small. False when neither way works.
    bool Shrink() {
        // Private propagation first, so that the tmpfs never shows outside the child.
        mounted_ = ::unshare(CLONE_NEWNS) == 0 &&
                   ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                   ::mount("tmpfs", path_.c_str(), "tmpfs", 0,
                           ("size=" + std::to_string(Room())).c_str()) == 0;
        if (mounted_) return true;
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{Room(), RLIM_INFINITY};
        return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }

    std::string path_;
    bool mounted_ = false;
};

// Runs `body` in a forked child in which `folder` is small. The child's test failures are
// printed as they happen; the result is its exit status: 0 when `body` failed nothing, 77
// when the folder could not be made small, else 1 (or -1 when the child did not end within a
// minute and was killed).
inline int RunInSmallFolder(const std::filesystem::path& folder,
                            const std::function<void(const SmallFolder&)>& body) {
    std::fflush(stdout);  // what waits in the buffer is not printed twice
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        SmallFolder small(folder.string());
        if (!small.Shrink()) ::_exit(77);
        body(small);
        std::fflush(stdout);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    for (int waited = 0; ::waitpid(child, &status, WNOHANG) == 0; ++waited) {
        if (waited == 6000) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace quorvex::test
