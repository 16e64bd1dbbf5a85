// Helpers for the desktop tests: a temporary folder, environment variables restored on scope exit,
// percent-decoding,
// stand-in programs written as /bin/sh scripts that use shell builtins only (so PATH can hold
// nothing but the stand-ins), reading the NUL-separated argument records they leave, and a private
// session bus.
#pragma once

#include <gtest/gtest.h>

extern char** environ;

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

namespace desktoptest {

namespace fs = std::filesystem;

class TemporaryDirectory {
public:
    TemporaryDirectory()
    {
        std::string pattern = (fs::temp_directory_path() / "velbrin-desktop-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            ADD_FAILURE() << "mkdtemp failed";
        root = pattern;
    }
    ~TemporaryDirectory() { fs::remove_all(root); }
    const fs::path& path() const { return root; }

private:
    fs::path root;
};

// Sets (or with null, unsets) one variable and puts the old value back when destroyed.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : name(name)
    {
        if (const char* old = std::getenv(name))
            previous = old;
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedVariable() { previous ? setenv(name, previous->c_str(), 1) : unsetenv(name); }

private:
    const char* name;
    std::optional<std::string> previous;
};

inline void writeScript(const fs::path& path, const std::string& body)
{
    std::ofstream(path, std::ios::binary) << "#!/bin/sh\n" << body;
    fs::permissions(path, fs::perms::owner_all);
}

inline std::string readWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// %XX escapes back to their bytes.
inline std::string percentDecode(const std::string& text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            bytes.push_back(char(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
            i += 2;
        } else {
            bytes.push_back(text[i]);
        }
    }
    return bytes;
}

inline std::vector<std::string> splitAtNul(const std::string& record)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = record.find('\0', start)) != std::string::npos; start = end + 1)
        parts.push_back(record.substr(start, end - start));
    return parts;
}

inline bool waitUntilTrue(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Detached programs finish on their own time: wait for their marker file, at most ten seconds.
inline bool waitForFile(const fs::path& path, std::chrono::milliseconds limit = std::chrono::seconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!fs::exists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Runs dbus-daemon with a minimal configuration (no service activation, so nothing real starts)
// and points DBUS_SESSION_BUS_ADDRESS at it for the object's lifetime.
class PrivateSessionBus {
public:
    explicit PrivateSessionBus(const fs::path& folder)
    {
        const fs::path config = folder / "bus.conf";
        std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                 " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                 "<busconfig><type>session</type><listen>unix:dir=" << folder.string() << "</listen>"
                                 "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\"/>"
                                 "<allow receive_sender=\"*\"/><allow own=\"*\"/></policy></busconfig>\n";
        int pipeEnds[2];
        if (pipe2(pipeEnds, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0); // its notices are noise here
        const std::string configArgument = "--config-file=" + config.string();
        char* argv[] = { const_cast<char*>("dbus-daemon"), const_cast<char*>(configArgument.c_str()),
            const_cast<char*>("--nofork"), const_cast<char*>("--nopidfile"), const_cast<char*>("--print-address"), nullptr };
        if (posix_spawnp(&daemon, "dbus-daemon", &actions, nullptr, argv, environ) != 0)
            daemon = 0;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        char c;
        while (daemon && read(pipeEnds[0], &c, 1) == 1 && c != '\n')
            address.push_back(c);
        close(pipeEnds[0]);
        if (!address.empty())
            variable.emplace("DBUS_SESSION_BUS_ADDRESS", address.c_str());
    }
    ~PrivateSessionBus()
    {
        if (daemon > 0) {
            kill(daemon, SIGTERM);
            waitpid(daemon, nullptr, 0);
        }
    }
    const std::string& busAddress() const { return address; }

private:
    pid_t daemon = 0;
    std::string address;
    std::optional<ScopedVariable> variable;
};

} // namespace desktoptest
