// Desktop services on Linux: file URIs and parent folders as byte strings, xdg-open receiving exact
// argument bytes (a stand-in records them), and reveal over a private session bus with a stand-in
// FileManager1, falling back to opening the parent folder when no file manager answers.
#include "app/desktop/Desktop.h"
#include "app/desktop/linux/FileManagerBus.h"
#include "DesktopTestSupport.h"

#include <atomic>
#include <dbus/dbus.h>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using namespace desktoptest;

// -- Paths as text --

TEST(FileManagerBus, FileUriEncodesEveryByteOutsideUnreserved)
{
    struct Row { std::string path, uri; };
    const Row rows[] = {
        { "/x/-d\n\xff~._ 100%", "file:///x/-d%0A%FF~._%20100%25" },
        { "/#?:@!$&'()*+,;=\"\\", "file:///%23%3F%3A%40%21%24%26%27%28%29%2A%2B%2C%3B%3D%22%5C" },
        { "", "" },
        { std::string("/a\0b", 4), "" },
    };
    for (const Row& row : rows)
        EXPECT_EQ(fileUriFromPath(row.path), row.uri) << row.path;

    // Every byte value but NUL and "/" survives the round trip, and the URI is plain ASCII.
    std::string everyByte = "/";
    for (int byte = 1; byte < 256; ++byte)
        if (byte != '/')
            everyByte.push_back(char(byte));
    const std::string uri = fileUriFromPath(everyByte);
    for (char c : uri)
        EXPECT_TRUE(c > ' ' && c < 127) << int(c);
    EXPECT_EQ(percentDecode(uri.substr(7)), everyByte);

    const std::string relative = fileUriFromPath("sub/-x");
    EXPECT_EQ(percentDecode(relative.substr(7)), fs::current_path().string() + "/sub/-x");
}

TEST(FileManagerBus, ParentDirectory)
{
    const std::pair<std::string, std::string> rows[] = {
        { "/a/b", "/a" }, { "/a/b/", "/a" }, { "/a//b", "/a" }, { "/a", "/" }, { "/", "/" },
        { "//", "/" }, { "name", "." }, { "a/b", "a" }, { "/x/-d\n\xff/f", "/x/-d\n\xff" },
    };
    for (const auto& [path, parent] : rows)
        EXPECT_EQ(parentDirectory(path), parent) << path;
}

// -- A stand-in file manager on a private session bus --

// Owns org.freedesktop.FileManager1 on its own connection and answers ShowItems calls, recording
// their arguments, from a thread of its own; `replyDelay` later (never when negative).
class StandInFileManager {
public:
    explicit StandInFileManager(const std::string& address, std::chrono::milliseconds replyDelay = {})
        : replyDelay(replyDelay)
    {
        DBusError error;
        dbus_error_init(&error);
        connection = dbus_connection_open_private(address.c_str(), &error);
        if (connection && dbus_bus_register(connection, &error)) {
            dbus_connection_set_exit_on_disconnect(connection, FALSE);
            owned = dbus_bus_request_name(connection, "org.freedesktop.FileManager1", DBUS_NAME_FLAG_DO_NOT_QUEUE, &error)
                == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
        }
        dbus_error_free(&error);
        if (owned)
            thread = std::thread([this] { serve(); });
    }
    ~StandInFileManager()
    {
        stop = true;
        if (thread.joinable())
            thread.join();
        if (connection) {
            dbus_connection_close(connection);
            dbus_connection_unref(connection);
        }
    }
    bool ready() const { return owned; }
    std::vector<std::string> uris;
    std::string startupId;
    std::atomic<int> calls { 0 };

private:
    void serve()
    {
        using Clock = std::chrono::steady_clock;
        std::vector<std::pair<DBusMessage*, Clock::time_point>> unanswered;
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!stop && Clock::now() < deadline && dbus_connection_read_write(connection, 20)) {
            while (DBusMessage* message = dbus_connection_pop_message(connection)) {
                if (dbus_message_is_method_call(message, "org.freedesktop.FileManager1", "ShowItems")
                    && dbus_message_has_signature(message, "ass")) {
                    // Counted before the reply goes out: the caller checks the count as soon as
                    // its call returns.
                    record(message);
                    ++calls;
                    unanswered.emplace_back(dbus_message_ref(message), Clock::now() + replyDelay);
                }
                dbus_message_unref(message);
            }
            for (auto it = unanswered.begin(); it != unanswered.end();) {
                if (replyDelay.count() < 0 || Clock::now() < it->second) {
                    ++it;
                    continue;
                }
                DBusMessage* reply = dbus_message_new_method_return(it->first);
                dbus_connection_send(connection, reply, nullptr);
                dbus_connection_flush(connection);
                dbus_message_unref(reply);
                dbus_message_unref(it->first);
                it = unanswered.erase(it);
            }
        }
        for (auto& [message, due] : unanswered)
            dbus_message_unref(message);
    }
    void record(DBusMessage* message)
    {
        DBusMessageIter arguments, items;
        dbus_message_iter_init(message, &arguments);
        dbus_message_iter_recurse(&arguments, &items);
        for (; dbus_message_iter_get_arg_type(&items) == DBUS_TYPE_STRING; dbus_message_iter_next(&items)) {
            const char* uri = nullptr;
            dbus_message_iter_get_basic(&items, &uri);
            uris.push_back(uri);
        }
        dbus_message_iter_next(&arguments);
        const char* id = nullptr;
        dbus_message_iter_get_basic(&arguments, &id);
        startupId = id;
    }

    std::chrono::milliseconds replyDelay;
    DBusConnection* connection = nullptr;
    bool owned = false;
    std::atomic<bool> stop { false };
    std::thread thread;
};

// -- A stand-in xdg-open first (and alone) on PATH --

class DesktopOpenTest : public testing::Test {
protected:
    DesktopOpenTest()
        : originalPath(std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin")
        , path("PATH", bin().c_str())
        , record("VELBRIN_TEST_RECORD", (directory.path() / "record").c_str())
        // No test may reach the user's real session bus or file manager.
        , bus("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (directory.path() / "no-bus").string()).c_str())
    {
        writeScript(bin() / "xdg-open",
            "for argument in \"$@\"; do printf '%s\\0' \"$argument\"; done > \"$VELBRIN_TEST_RECORD\"\n"
            ": > \"$VELBRIN_TEST_RECORD.done\"\n");
    }
    fs::path bin()
    {
        fs::create_directories(directory.path() / "bin");
        return directory.path() / "bin";
    }
    std::vector<std::string> recordedArguments()
    {
        if (!waitForFile(directory.path() / "record.done"))
            return { "<xdg-open was not run>" };
        return splitAtNul(readWhole(directory.path() / "record"));
    }

    // Starts the private bus with the real PATH, where dbus-daemon lives.
    std::unique_ptr<PrivateSessionBus> startBus()
    {
        ScopedVariable realPath("PATH", originalPath.c_str());
        return std::make_unique<PrivateSessionBus>(directory.path());
    }

    TemporaryDirectory directory;
    std::string originalPath;
    ScopedVariable path, record, bus;
};

struct OpenRow { const char* name; std::string given; std::string expected; };

const OpenRow openRows[] = {
    { "Url", "https://velbrin.app/velbrin/donate/", "https://velbrin.app/velbrin/donate/" },
    { "PathBytesExact", "/tmp/-lead\nnew line \xff\xfe/dir", "/tmp/-lead\nnew line \xff\xfe/dir" },
    { "LeadingDashNotAnOption", "-rf x", "./-rf x" },
};

class DesktopOpenRowTest : public DesktopOpenTest, public testing::WithParamInterface<OpenRow> { };

TEST_P(DesktopOpenRowTest, PassesOneExactArgument)
{
    openInShell(GetParam().given);
    EXPECT_EQ(recordedArguments(), std::vector<std::string> { GetParam().expected });
}

INSTANTIATE_TEST_SUITE_P(Rows, DesktopOpenRowTest, testing::ValuesIn(openRows),
    [](const testing::TestParamInfo<OpenRow>& info) { return std::string(info.param.name); });

// Children of this process that have ended but were not waited for.
int zombieChildren()
{
    int zombies = 0;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const std::string stat = readWhole(entry.path() / "stat");
        const std::size_t close = stat.rfind(')');
        char state = 0;
        int parent = 0;
        if (close != std::string::npos && std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2)
            zombies += state == 'Z' && parent == getpid();
    }
    return zombies;
}

TEST_F(DesktopOpenTest, DetachedOpenLeavesNoZombie)
{
    openInShell("/tmp");
    ASSERT_EQ(recordedArguments(), std::vector<std::string> { "/tmp" });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (zombieChildren() > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(zombieChildren(), 0);
}

TEST_F(DesktopOpenTest, RevealWithoutBusOpensParentExactly)
{
    revealInFileManager("/tmp/-d\nx\xff y/file name");
    EXPECT_EQ(recordedArguments(), std::vector<std::string> { "/tmp/-d\nx\xff y" });
}

TEST_F(DesktopOpenTest, RevealRelativeDashPathOpensParentSafely)
{
    revealInFileManager("-dir/file");
    EXPECT_EQ(recordedArguments(), std::vector<std::string> { "./-dir" });
}

TEST_F(DesktopOpenTest, NulInTextStartsNothing)
{
    openInShell(std::string_view("/a\0b", 4));
    revealInFileManager(std::string_view("/a\0b", 4));
    EXPECT_FALSE(waitForFile(directory.path() / "record.done", std::chrono::milliseconds(300)));
}

TEST_F(DesktopOpenTest, RevealCallsShowItemsWithEncodedUri)
{
    const auto bus = startBus();
    if (bus->busAddress().empty())
        GTEST_SKIP() << "dbus-daemon is not available";
    StandInFileManager fileManager(bus->busAddress());
    ASSERT_TRUE(fileManager.ready());

    revealInFileManager("/tmp/-d\nx\xff y/file name");
    EXPECT_TRUE(waitUntilTrue([&] { return fileManager.calls.load() == 1; }));
    EXPECT_EQ(fileManager.uris, std::vector<std::string> { "file:///tmp/-d%0Ax%FF%20y/file%20name" });
    EXPECT_EQ(fileManager.startupId, "");
    // The file manager answered, so the parent folder is not opened as well.
    EXPECT_FALSE(waitForFile(directory.path() / "record.done", std::chrono::milliseconds(300)));
}

TEST_F(DesktopOpenTest, RevealWithBusButNoFileManagerOpensParent)
{
    const auto bus = startBus();
    if (bus->busAddress().empty())
        GTEST_SKIP() << "dbus-daemon is not available";
    std::string error;
    EXPECT_EQ(showItemsOverSessionBus("file:///tmp", 5000, &error), ShowItemsOutcome::FAILED);
    EXPECT_FALSE(error.empty());
    revealInFileManager("/srv/data/report.txt");
    EXPECT_EQ(recordedArguments(), std::vector<std::string> { "/srv/data" });
}

// The reveal never waits in the caller, and only a definite failure opens the parent folder: a
// file manager that is slow (or never answers) may still show the item, and two windows would be
// one too many.
TEST_F(DesktopOpenTest, RevealReturnsAtOnceAndASlowFileManagerGetsNoFallback)
{
    const auto bus = startBus();
    if (bus->busAddress().empty())
        GTEST_SKIP() << "dbus-daemon is not available";
    StandInFileManager silent(bus->busAddress(), std::chrono::milliseconds(-1));
    ASSERT_TRUE(silent.ready());
    EXPECT_EQ(showItemsOverSessionBus("file:///tmp", 300), ShowItemsOutcome::NO_ANSWER);

    const auto begun = std::chrono::steady_clock::now();
    revealInBackground("/srv/data/report.txt", 400);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(150)) << "the reveal waited in the caller";
    EXPECT_TRUE(waitUntilTrue([&] { return silent.calls.load() == 2; }));
    EXPECT_FALSE(waitForFile(directory.path() / "record.done", std::chrono::milliseconds(1500)))
        << "the parent folder was opened after a mere timeout";
}

// With no bus address at all, libdbus looks for $XDG_RUNTIME_DIR/bus (an empty folder here) and
// then tries to autolaunch a bus for the X display (a name that reaches no server); the reveal
// falls back to the parent folder. The process that did it must still exit with status 0: in the
// ASan build, libdbus loses memory on that path, which only the build's suppressions excuse.
TEST_F(DesktopOpenTest, RevealWithNoBusAddressFallsBackAndExitsCleanly)
{
    const fs::path runtime = directory.path() / "runtime";
    fs::create_directories(runtime);
    std::vector<std::string> variables;
    for (char** variable = environ; *variable; ++variable) {
        const std::string text = *variable;
        if (text.rfind("DBUS_SESSION_BUS_ADDRESS=", 0) != 0 && text.rfind("DISPLAY=", 0) != 0
            && text.rfind("XDG_RUNTIME_DIR=", 0) != 0)
            variables.push_back(text);
    }
    variables.push_back("DISPLAY=:velbrin-no-server");
    variables.push_back("XDG_RUNTIME_DIR=" + runtime.string());
    std::vector<char*> environment;
    for (std::string& text : variables)
        environment.push_back(text.data());
    environment.push_back(nullptr);
    const char* argv[] = { VELBRIN_REVEAL_PROBE, "/srv/data/report.txt", nullptr };
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, VELBRIN_REVEAL_PROBE, nullptr, nullptr, const_cast<char**>(argv), environment.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
        << "exit status " << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << " (in the ASan build: a leak was found)";
    EXPECT_EQ(recordedArguments(), std::vector<std::string> { "/srv/data" });
}

} // namespace
