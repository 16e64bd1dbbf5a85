// Helpers for the desktop tests: a temporary folder, environment variables restored on scope exit,
// stand-in programs written as /bin/sh scripts that use shell builtins only (so PATH can hold
// nothing but the stand-ins), and reading the NUL-separated argument records they leave.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
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

inline std::vector<std::string> splitAtNul(const std::string& record)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t end; (end = record.find('\0', start)) != std::string::npos; start = end + 1)
        parts.push_back(record.substr(start, end - start));
    return parts;
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

} // namespace desktoptest
