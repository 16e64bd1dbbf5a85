// ProcessSpawn: starting helper programs (xdg-open, zenity, kdialog) with posix_spawnp and an
// argument vector, never through a shell, so every argument arrives as the exact bytes given.
// Children get default signal dispositions and an empty signal mask, whatever the caller set.
#pragma once

#include <mutex>
#include <string>
#include <sys/types.h>
#include <vector>

// Lets one thread end the helper program that another thread waits for in runCapturingOutput (a
// folder picker still open when the window closes). The child runs in a process group of its own,
// and stop() kills that whole group, so a program that started helpers of its own (a shell script
// running sleep) cannot keep the output pipe open. Once stopped, later runs are killed at start.
class ChildStopper {
public:
    // Any thread. Kills the running child's group with SIGKILL; idempotent.
    void stop();
    bool stopped() const;

    // For runCapturingOutput: registers the child (false when already stopped) and forgets it
    // before its status is collected, so stop() never signals a reaped (reusable) process id.
    bool attach(pid_t child);
    void detach();

private:
    mutable std::mutex mutex;
    pid_t child = 0;
    bool stopRequested = false;
};

// Starts argv[0] (searched on PATH) in a session of its own and returns without waiting for it.
// A detached reaper thread collects its exit status, so no zombie is left behind. Returns false
// if it could not be started (argv[0] not found, no processes left); errno-style text in *error.
bool spawnDetached(const std::vector<std::string>& argv, std::string* error = nullptr);

// Runs argv[0] (searched on PATH) with its standard output on a pipe (standard input from
// /dev/null), collects at most maxOutput bytes of output and waits for it. *exitStatus receives the
// exit code, or -1 when it was killed by a signal. Returns false when it could not be started,
// printed more than maxOutput bytes, or its status could not be collected; the reason goes to *error.
// With a stopper, the child gets a process group of its own that stopper->stop() may kill from
// another thread (it then counts as killed: *exitStatus -1).
bool runCapturingOutput(const std::vector<std::string>& argv, std::string& output, int& exitStatus,
    std::string& error, std::size_t maxOutput = 1 << 20, ChildStopper* stopper = nullptr);

// The first executable regular file named `name` in the directories of $PATH (an empty entry is
// the working directory), or an empty string.
std::string findExecutableOnPath(const char* name);
