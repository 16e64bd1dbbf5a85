// Shared ground for the scanner tests: TempTree makes a scratch tree in the temporary folder and
// removes it with everything in it; makeRandomTree() fills one reproducibly; WalkChecker checks
// every notification against the tree as the worker builds it; runInChild() runs checks in a
// fork()ed process that may drop privileges or change its mounts (POSIX only, as are links and
// sockets).
#pragma once

#include "scan/FileSizeMapper.h"
#include "scan/ScanListener.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace scantest {

inline void check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what + ": " + std::strerror(errno));
}

inline void check(const std::error_code& failure, const std::string& what)
{
    if (failure)
        throw std::runtime_error(what + ": " + failure.message());
}

// Paths are UTF-8 text everywhere in the scanner; std::filesystem takes them as such only from u8
// strings where the narrow encoding is another (Windows).
inline std::filesystem::path fsPath(const std::string& utf8)
{
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Name(const std::filesystem::path& path)
{
    const std::u8string text = path.filename().u8string();
    return std::string(text.begin(), text.end());
}

// Polls `done` every millisecond for at most `seconds`.
inline bool waitFor(const std::function<bool()>& done, double seconds = 20)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

inline ScanState stateOf(FileSizeMapper& mapper, uint64_t* bytes = nullptr)
{
    std::string path;
    uint64_t mapped = 0, rootLength = 0;
    ScanState state = mapper.getProgress(path, mapped, rootLength);
    if (bytes)
        *bytes = mapped;
    return state;
}

inline bool finishes(FileSizeMapper& mapper)
{
    return waitFor([&] { return stateOf(mapper) == FINISHED; });
}

// Waits for the scan to finish and takes its tree.
inline orvex::UniquePtr<FilesystemNode> finish(FileSizeMapper& mapper)
{
    if (!finishes(mapper))
        ADD_FAILURE() << "the scan did not finish within 20 s";
    return mapper.takeResult();
}

// Maps `path` on a fresh scanner and returns the finished tree (null when the scan gave none).
inline orvex::UniquePtr<FilesystemNode> scanPath(const std::string& path, ScanListener* listener = nullptr)
{
    FileSizeMapper mapper;
    mapper.setListener(listener);
    mapper.mapDirectory(path);
    return finish(mapper);
}

class TempTree {
public:
    TempTree()
    {
        const std::filesystem::path base = std::filesystem::temp_directory_path();
        std::random_device seed;
        std::error_code failure;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path candidate = base / ("velbrin-scan-" + std::to_string(seed()));
            if (std::filesystem::create_directory(candidate, failure)) {
                const std::u8string text = candidate.u8string();
                root.assign(text.begin(), text.end());
                break;
            }
        }
        check(!root.empty(), "making a scratch folder in " + base.string());
        // Reachable for the unprivileged child of the permission test.
        std::filesystem::permissions(fsPath(root), std::filesystem::perms(0755), failure);
    }
    ~TempTree()
    {
        std::error_code ignored;
        std::filesystem::remove_all(fsPath(root), ignored);
    }
    TempTree(const TempTree&) = delete;
    TempTree& operator=(const TempTree&) = delete;

    const std::string& path() const { return root; }
    std::string at(const std::string& relative) const { return root + "/" + relative; }

    void dir(const std::string& relative) const
    {
        std::error_code failure;
        std::filesystem::create_directory(fsPath(at(relative)), failure);
        check(failure, "mkdir " + relative);
    }
    // Sized by truncation (sparse where the file system allows): the logical length is all the
    // scanner reads.
    void file(const std::string& relative, uint64_t size) const
    {
        { std::ofstream create(fsPath(at(relative)), std::ios::binary | std::ios::trunc); }
        std::error_code failure;
        std::filesystem::resize_file(fsPath(at(relative)), size, failure);
        check(failure, "file " + relative);
    }
    void hardlink(const std::string& existing, const std::string& relative) const
    {
        std::error_code failure;
        std::filesystem::create_hard_link(fsPath(at(existing)), fsPath(at(relative)), failure);
        check(failure, "link " + relative);
    }
#ifndef _WIN32 // POSIX links and sockets, for the Linux walk tests
    void symlink(const std::string& target, const std::string& relative) const
    {
        check(::symlink(target.c_str(), at(relative).c_str()) == 0, "symlink " + relative);
    }
    void socket(const std::string& relative) const
    {
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::string path = at(relative);
        check(path.size() < sizeof address.sun_path, "socket path too long");
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        check(fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0, "socket " + relative);
        close(fd);
    }
#endif

private:
    std::string root;
};

// A reproducible tree with uneven fan-out and depth: `directories` directories, `files` files of
// which about one in eight is empty. Returns the sum of the file sizes. Past the first 64, files
// are hard links to earlier ones: making inodes is slow on some disks, and every entry counts.
inline uint64_t makeRandomTree(const TempTree& tree, uint32_t seed, int directories, int files)
{
    std::mt19937 random(seed);
    std::vector<std::string> dirs { "" };
    for (int i = 0; i < directories; ++i) {
        // Half of them go below one of the newest directories, which makes long chains.
        size_t parent = random() % 2 ? dirs.size() - 1 - random() % std::min<size_t>(dirs.size(), 4) : random() % dirs.size();
        dirs.push_back(dirs[parent] + "d" + std::to_string(i) + "/");
        tree.dir(dirs.back());
    }
    uint64_t total = 0;
    std::vector<std::pair<std::string, uint64_t>> originals;
    for (int i = 0; i < files; ++i) {
        // Cubing skews the files toward the first directories: a few hold hundreds, most a handful.
        uint64_t r = random() % 1000;
        std::string name = dirs[size_t(r * r * r * dirs.size() / 1000000000)] + "f" + std::to_string(i);
        if (originals.size() < 64) {
            originals.emplace_back(name, random() % 8 == 0 ? 0 : random() % 300000);
            tree.file(name, originals.back().second);
        } else {
            auto original = originals[random() % originals.size()];
            originals.push_back(original);
            tree.hardlink(originals.back().first, name);
        }
        total += originals.back().second;
    }
    return total;
}

// The regular files and directories of `path`, in the order one pass of the system's listing
// returns them (readdir() on Linux).
inline std::vector<std::string> plainListing(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code failure;
    for (const auto& entry : std::filesystem::directory_iterator(fsPath(path), failure)) {
        std::error_code unreadable;
        const std::filesystem::file_status status = entry.symlink_status(unreadable);
        if (!unreadable && (std::filesystem::is_regular_file(status) || std::filesystem::is_directory(status)))
            names.push_back(utf8Name(entry.path()));
    }
    check(failure, "listing " + path);
    return names;
}

// A node made by hand, for trees a test builds without a scan.
inline orvex::UniquePtr<FilesystemNode> makeNode(FilesystemNode::Type type, std::string_view name, FilesystemNode* parent,
                                                 uint64_t size = 0)
{
    orvex::UniquePtr<FilesystemNode> made(new FilesystemNode);
    made->type = type;
    made->setName(name);
    made->parent = parent;
    made->size = size;
    return made;
}

inline const FilesystemNode* findChild(const FilesystemNode* directory, std::string_view name)
{
    for (int64_t i = 0; directory && i < directory->children.count; ++i) {
        if (directory->children[i]->name.view() == name)
            return directory->children[i];
    }
    return nullptr;
}

inline uint64_t childSum(const FilesystemNode* directory)
{
    uint64_t sum = 0;
    for (int64_t i = 0; i < directory->children.count; ++i)
        sum += directory->children[i]->size;
    return sum;
}

// Checks each notification as it arrives: directories entered and left in nested order, a
// directory linked before it is entered, a file's size already in its parent's total, a left
// directory's size final and not yet in its parent's. It can hold the worker at one file until
// the scanner is asked to stop, so a test can stop a scan that is certainly mid-walk.
class WalkChecker final : public ScanListener {
public:
    FileSizeMapper* holdScanner = nullptr;
    int64_t holdAtFile = -1;
    std::atomic<bool> holding { false };

    std::vector<std::string> rootNames;
    std::vector<const FilesystemNode*> openDirectories;
    int64_t entered = 0, left = 0, files = 0;

    void scanStarted(const char* name, size_t length) override
    {
        rootNames.emplace_back(name, length);
        openDirectories.clear();
    }
    void directoryEntered(FilesystemNode* directory) override
    {
        const FilesystemNode* parent = directory->parent;
        EXPECT_EQ(parent == nullptr, openDirectories.empty()) << "only the root is entered outside any directory";
        if (parent && !openDirectories.empty()) {
            EXPECT_EQ(parent, openDirectories.back()) << "entered a directory outside the one being walked";
            EXPECT_EQ(parent->children[parent->children.count - 1], directory) << "entered before being linked";
        }
        EXPECT_EQ(directory->children.count, 0);
        openDirectories.push_back(directory);
        entered += 1;
    }
    void fileAdded(FilesystemNode* file) override
    {
        ASSERT_FALSE(openDirectories.empty());
        EXPECT_EQ(file->parent, openDirectories.back());
        EXPECT_EQ(file->parent->size, childSum(file->parent) + file->size)
            << "a file's size must be in its parent's total once, before the file is linked";
        if (++files == holdAtFile) {
            holding = true;
            // getProgress takes no lock and reads only atomics and linked nodes, so the worker
            // may poll it too.
            EXPECT_TRUE(waitFor([&] { return stateOf(*holdScanner) != SCANNING; })) << "the held scan was never stopped";
        }
    }
    void directoryLeft(FilesystemNode* directory) override
    {
        ASSERT_FALSE(openDirectories.empty());
        EXPECT_EQ(directory, openDirectories.back()) << "left a directory that is not the innermost open one";
        EXPECT_EQ(directory->size, childSum(directory));
        if (directory->parent) {
            EXPECT_EQ(directory->parent->size, childSum(directory->parent) - directory->size)
                << "a directory's size is added to its parent only after it is left";
        }
        openDirectories.pop_back();
        left += 1;
    }
};

#ifndef _WIN32
// Runs `body` in a fork()ed child and returns its verdict: empty when every check passed, a text
// starting with "SKIP:" when the child could not set up what it needs, else what went wrong.
inline std::string runInChild(const std::function<std::string()>& body)
{
    int channel[2];
    check(pipe(channel) == 0, "pipe");
    pid_t child = fork();
    check(child >= 0, "fork");
    if (child == 0) {
        close(channel[0]);
        std::string verdict;
        try {
            verdict = body();
        } catch (const std::exception& error) {
            verdict = std::string("exception: ") + error.what();
        }
        _exit(write(channel[1], verdict.data(), verdict.size()) == ssize_t(verdict.size()) ? 0 : 1);
    }
    close(channel[1]);
    std::string verdict;
    char buffer[512];
    pollfd readable { channel[0], POLLIN, 0 };
    ssize_t got = 1;
    while (got > 0 && poll(&readable, 1, 30000) == 1 && (got = read(channel[0], buffer, sizeof buffer)) > 0)
        verdict.append(buffer, size_t(got));
    close(channel[0]);
    if (got != 0) {
        kill(child, SIGKILL);
        verdict = "the child did not finish within 30 s";
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (verdict.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0))
        verdict = "the child died with status " + std::to_string(status);
    return verdict;
}
#endif

} // namespace scantest
