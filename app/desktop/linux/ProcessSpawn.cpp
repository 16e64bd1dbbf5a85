// ProcessSpawn on Linux: posix_spawnp with a spawn attribute that resets the signal mask and every
// disposition (an ignored SIGPIPE or SIGCHLD would otherwise survive exec). Detached children are
// reaped by a small detached pthread each, because the program must not install a SIGCHLD handler
// behind the back of the libraries it loads, and a double fork would mean fork() in a process that
// already runs other threads.
#include "app/desktop/linux/ProcessSpawn.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

std::vector<char*> argumentPointers(const std::vector<std::string>& argv)
{
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const std::string& argument : argv)
        pointers.push_back(const_cast<char*>(argument.c_str())); // posix_spawn's signature only
    pointers.push_back(nullptr);
    return pointers;
}

// Spawn attributes shared by both kinds of child. Owns the posix_spawnattr_t.
class SpawnAttributes {
public:
    explicit SpawnAttributes(bool newSession, bool newGroup = false)
    {
        posix_spawnattr_init(&attributes);
        sigset_t none, all;
        sigemptyset(&none);
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &all);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (newSession)
            flags |= POSIX_SPAWN_SETSID; // a Ctrl+C in the program's terminal does not reach it
        if (newGroup) {
            posix_spawnattr_setpgroup(&attributes, 0); // the group's id is the child's own
            flags |= POSIX_SPAWN_SETPGROUP;
        }
        posix_spawnattr_setflags(&attributes, flags);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attributes; }

private:
    posix_spawnattr_t attributes;
};

pid_t waitForChild(pid_t child, int& status)
{
    pid_t result;
    do
        result = waitpid(child, &status, 0);
    while (result < 0 && errno == EINTR);
    return result;
}

void* reapChild(void* argument)
{
    int status = 0;
    waitForChild(pid_t(reinterpret_cast<std::intptr_t>(argument)), status);
    return nullptr;
}

bool startReaper(pid_t child)
{
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_attr_setstacksize(&attributes, 256 * 1024); // it only ever sits in waitpid
    pthread_t thread;
    const bool started = pthread_create(&thread, &attributes, reapChild,
                             reinterpret_cast<void*>(std::intptr_t(child))) == 0;
    pthread_attr_destroy(&attributes);
    return started;
}

void setError(std::string* error, const std::string& what, int code)
{
    if (error)
        *error = what + ": " + std::strerror(code);
}

} // namespace

void ChildStopper::stop()
{
    std::lock_guard<std::mutex> lock(mutex);
    stopRequested = true;
    if (child > 0)
        kill(-child, SIGKILL);
}

bool ChildStopper::stopped() const
{
    std::lock_guard<std::mutex> lock(mutex);
    return stopRequested;
}

bool ChildStopper::attach(pid_t started)
{
    std::lock_guard<std::mutex> lock(mutex);
    child = started;
    if (stopRequested)
        kill(-child, SIGKILL);
    return !stopRequested;
}

void ChildStopper::detach()
{
    std::lock_guard<std::mutex> lock(mutex);
    child = 0;
}

bool spawnDetached(const std::vector<std::string>& argv, std::string* error)
{
    if (argv.empty())
        return false;
    std::vector<char*> arguments = argumentPointers(argv);
    SpawnAttributes attributes(true);
    pid_t child = 0;
    const int result = posix_spawnp(&child, arguments[0], nullptr, attributes.get(), arguments.data(), environ);
    if (result != 0) {
        setError(error, "cannot start " + argv[0], result);
        return false;
    }
    if (!startReaper(child)) {
        // Without a thread to wait, collect it now if it has already ended; otherwise it stays a
        // zombie until the program exits, which is still better than blocking the caller.
        int status = 0;
        waitpid(child, &status, WNOHANG);
    }
    return true;
}

bool runCapturingOutput(const std::vector<std::string>& argv, std::string& output, int& exitStatus,
    std::string& error, std::size_t maxOutput, ChildStopper* stopper)
{
    output.clear();
    exitStatus = -1;
    if (argv.empty()) {
        error = "no program given";
        return false;
    }
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        setError(&error, "cannot create a pipe", errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO); // dup2 clears close-on-exec
    std::vector<char*> arguments = argumentPointers(argv);
    SpawnAttributes attributes(false, stopper != nullptr);
    pid_t child = 0;
    const int result = posix_spawnp(&child, arguments[0], &actions, attributes.get(), arguments.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (result != 0) {
        close(pipeEnds[0]);
        setError(&error, "cannot start " + argv[0], result);
        return false;
    }
    if (stopper)
        stopper->attach(child); // when already stopped, the child is killed at once and ends the read

    // Read to the end even past the limit, so the child never blocks on a full pipe.
    bool tooLarge = false;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(pipeEnds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (output.size() + std::size_t(got) > maxOutput)
            tooLarge = true;
        else
            output.append(buffer, std::size_t(got));
    }
    close(pipeEnds[0]);

    int status = 0;
    if (stopper) {
        // Wait for the end without collecting it, then let the stopper forget the id: until the
        // status is collected the id (and its group) cannot be reused, so a stop() racing with
        // this never reaches another process.
        siginfo_t info {};
        int waited;
        do
            waited = waitid(P_PID, id_t(child), &info, WEXITED | WNOWAIT);
        while (waited < 0 && errno == EINTR);
        stopper->detach();
    }
    if (waitForChild(child, status) < 0) {
        setError(&error, "cannot collect the status of " + argv[0], errno);
        return false;
    }
    exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (tooLarge) {
        error = argv[0] + " printed more than expected";
        return false;
    }
    return true;
}

std::string findExecutableOnPath(const char* name)
{
    const char* path = std::getenv("PATH");
    if (!path || !name || !name[0])
        return {};
    const std::string directories = path;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = std::min(directories.find(':', start), directories.size());
        std::string directory = directories.substr(start, end - start);
        std::string candidate = (directory.empty() ? std::string(".") : directory) + "/" + name;
        struct stat status {};
        if (stat(candidate.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(candidate.c_str(), X_OK) == 0)
            return candidate;
        if (end == directories.size())
            return {};
        start = end + 1;
    }
}
