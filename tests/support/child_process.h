#pragma once
// A program a test runs beside itself: started with its standard input and error on pipes
// the test writes and reads, watched without blocking, and killed if the test ends first.
//
// Started with posix_spawn, not QProcess. Qt 6.4's QProcess creates the child with
// clone(CLONE_VM | CLONE_VFORK) through glibc's exported clone, and ThreadSanitizer's
// interceptor of that symbol books it as a fork: before the call it raises the calling
// thread's interceptor-ignore and report-suppression counts, the child lowers them again on
// its way to exec, and the parent lowers them once more after the call. The child shares the
// parent's memory and thread-local state, so both counts end at -1 for the rest of the
// process: ThreadSanitizer then records none of that thread's mutex operations, and every
// hand-over from it looks like a race. posix_spawn clones inside glibc, where no
// interceptor sees it.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace quorvex::test {

class ChildProcess {
  public:
    // Starts `program` with `arguments`, in this process's environment with the NAME=value
    // entries of `environment` put in and the variables of its bare NAME entries left out;
    // its standard output goes to `outputPath`. Throws when it cannot be started.
    ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                 const std::vector<std::string>& environment = {},
                 const std::string& outputPath = "/dev/null") {
        int errorPipe[2];
        if (::pipe2(errorPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
        errors_ = errorPipe[0];
        int inputPipe[2];
        if (::pipe2(inputPipe, O_CLOEXEC) != 0) throw std::runtime_error("pipe2");
        input_ = inputPipe[1];
        std::vector<std::string> words{program};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        std::vector<std::string> variables;
        for (const std::string& given : environment) {
            if (given.find('=') != std::string::npos) variables.push_back(given);
        }
        for (char** entry = environ; *entry != nullptr; ++entry) {
            const std::string variable(*entry);
            const std::string name = variable.substr(0, variable.find('='));
            bool replaced = false;
            for (const std::string& given : environment) {
                replaced |= given == name || given.starts_with(name + "=");
            }
            if (!replaced) variables.push_back(variable);
        }
        std::vector<char*> envp;
        for (std::string& variable : variables) envp.push_back(variable.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.c_str(),
                                           O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ::posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
        ::posix_spawn_file_actions_adddup2(&actions, inputPipe[0], STDIN_FILENO);
        const int error =
            ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(errorPipe[1]);
        ::close(inputPipe[0]);
        if (error != 0) {
            ::close(errors_);
            ::close(input_);
            throw std::runtime_error("cannot start " + program);
        }
    }
    ~ChildProcess() {
        if (Running()) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(errors_);
        if (input_ >= 0) ::close(input_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // False once the program has ended; what it wrote stays readable.
    bool Running() {
        ReadErrors();
        if (pid_ < 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        pid_ = -1;
        exitCode_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return false;
    }
    // The exit status once the program has ended; -1 while it runs or when a signal ended it.
    int ExitCode() const { return exitCode_; }
    // The process id while it runs, -1 once it has ended.
    pid_t Pid() const { return pid_; }

    // Writes `text` to the program's standard input; false when it is not taken whole.
    bool WriteInput(const std::string& text) {
        ::signal(SIGPIPE, SIG_IGN);  // a program that has ended makes it fail, not the test
        return input_ >= 0 &&
               ::write(input_, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    }

    // Everything written to standard error so far, after waiting at most `wait` for more.
    const std::string& ReadErrors(std::chrono::milliseconds wait = std::chrono::milliseconds(0)) {
        pollfd readable{errors_, POLLIN, 0};
        int timeout = static_cast<int>(wait.count());
        while (::poll(&readable, 1, timeout) == 1) {
            char chunk[4096];
            const ssize_t n = ::read(errors_, chunk, sizeof chunk);
            if (n <= 0) break;
            errorText_.append(chunk, static_cast<std::size_t>(n));
            timeout = 0;
        }
        return errorText_;
    }

  private:
    pid_t pid_ = -1;
    int exitCode_ = -1;
    int errors_ = -1;
    int input_ = -1;
    std::string errorText_;
};

}  // namespace quorvex::test
