// ProcessSpawn: starting helper programs (xdg-open, zenity, kdialog) with posix_spawnp and an
// argument vector, never through a shell, so every argument arrives as the exact bytes given.
// Children get default signal dispositions and an empty signal mask, whatever the caller set.
#pragma once

#include <string>
#include <vector>

// Starts argv[0] (searched on PATH) in a session of its own and returns without waiting for it.
// A detached reaper thread collects its exit status, so no zombie is left behind. Returns false
// if it could not be started (argv[0] not found, no processes left); errno-style text in *error.
bool spawnDetached(const std::vector<std::string>& argv, std::string* error = nullptr);

// Runs argv[0] (searched on PATH) with its standard output on a pipe (standard input from
// /dev/null), collects at most maxOutput bytes of output and waits for it. *exitStatus receives the
// exit code, or -1 when it was killed by a signal. Returns false when it could not be started,
// printed more than maxOutput bytes, or its status could not be collected; the reason goes to *error.
bool runCapturingOutput(const std::vector<std::string>& argv, std::string& output, int& exitStatus,
    std::string& error, std::size_t maxOutput = 1 << 20);

// The first executable regular file named `name` in the directories of $PATH (an empty entry is
// the working directory), or an empty string.
std::string findExecutableOnPath(const char* name);
