// Folder picker on Linux against stand-in zenity and kdialog scripts, alone on PATH: the result
// codes, the chosen path's exact bytes (only the one trailing line feed stripped), which program is
// preferred, and that CANCEL and ERROR hand back no allocation. Then the desktop portal against a
// stand-in on a private session bus, and FolderPick: it returns at once, reports through its
// callback, and a pick still open when it is destroyed ends with its picker program.
#include "app/desktop/FolderPicker.h"
#include "app/desktop/linux/DesktopPortal.h"
#include "DesktopTestSupport.h"

#include <atomic>
#include <cerrno>
#include <dbus/dbus.h>

namespace {

using namespace desktoptest;

// The stand-in prints $VELBRIN_PICKED plus a line feed and exits with $VELBRIN_PICKER_STATUS;
// "killed" makes it kill itself instead. It records its name and arguments.
const char* pickerScript =
    "printf '%s\\0' \"${0##*/}\" \"$@\" > \"$VELBRIN_TEST_RECORD\"\n"
    "[ \"$VELBRIN_PICKER_STATUS\" = killed ] && kill -9 $$\n"
    "[ -n \"$VELBRIN_PICKED\" ] && printf '%s\\n' \"$VELBRIN_PICKED\"\n"
    "exit \"$VELBRIN_PICKER_STATUS\"\n";

struct PickerRow {
    const char* name;
    bool zenity;
    bool kdialog;
    const char* status;
    std::string picked;
    FolderPickerResult result;
    std::vector<std::string> command; // recorded name and arguments; empty when nothing may run
};

const std::string awkwardPath = "/srv/-new\nline \xff\xfe dir\n";

const PickerRow pickerRows[] = {
    { "ZenityOkayKeepsBytes", true, false, "0", awkwardPath, FolderPickerResult::OKAY,
        { "zenity", "--file-selection", "--directory" } },
    { "ZenityPreferredOverKdialog", true, true, "0", "/home", FolderPickerResult::OKAY,
        { "zenity", "--file-selection", "--directory" } },
    { "KdialogWhenNoZenity", false, true, "0", awkwardPath, FolderPickerResult::OKAY,
        { "kdialog", "--getexistingdirectory" } },
    { "ExitOneIsCancel", true, false, "1", "", FolderPickerResult::CANCEL, { "zenity", "--file-selection", "--directory" } },
    { "KdialogCancel", false, true, "1", "", FolderPickerResult::CANCEL, { "kdialog", "--getexistingdirectory" } },
    { "OtherStatusIsError", true, false, "5", "/home", FolderPickerResult::ERROR, { "zenity", "--file-selection", "--directory" } },
    { "KilledIsError", true, false, "killed", "/home", FolderPickerResult::ERROR, { "zenity", "--file-selection", "--directory" } },
    { "NoPathIsError", true, false, "0", "", FolderPickerResult::ERROR, { "zenity", "--file-selection", "--directory" } },
    { "NoPickerIsError", false, false, "0", "/home", FolderPickerResult::ERROR, {} },
};

class FolderPickerTest : public testing::TestWithParam<PickerRow> { };

TEST_P(FolderPickerTest, ResultAndPath)
{
    const PickerRow& row = GetParam();
    TemporaryDirectory directory;
    const fs::path bin = directory.path() / "bin", record = directory.path() / "record";
    fs::create_directories(bin);
    if (row.zenity)
        writeScript(bin / "zenity", pickerScript);
    if (row.kdialog)
        writeScript(bin / "kdialog", pickerScript);
    // A non-executable zenity earlier on PATH must be passed over.
    fs::create_directories(directory.path() / "plain");
    std::ofstream(directory.path() / "plain" / "zenity") << "not a program";
    const std::string path = (directory.path() / "plain").string() + ":" + bin.string();
    ScopedVariable pathVariable("PATH", path.c_str()), recordVariable("VELBRIN_TEST_RECORD", record.c_str()),
        status("VELBRIN_PICKER_STATUS", row.status), picked("VELBRIN_PICKED", row.picked.c_str()),
        noBus("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (directory.path() / "no-bus").string()).c_str());

    ASSERT_EQ(folderPickerInit(), FolderPickerResult::OKAY);
    char* chosen = reinterpret_cast<char*>(&directory); // must be overwritten in every outcome
    const FolderPickerResult result = folderPickerPickFolder(&chosen, nullptr);
    EXPECT_EQ(result, row.result) << folderPickerGetError();
    if (row.result == FolderPickerResult::OKAY) {
        ASSERT_NE(chosen, nullptr);
        EXPECT_EQ(std::string(chosen), row.picked); // the stand-in added one line feed; only that one goes
        EXPECT_STREQ(folderPickerGetError(), "");
    } else {
        EXPECT_EQ(chosen, nullptr);
    }
    if (row.result == FolderPickerResult::ERROR) {
        EXPECT_STRNE(folderPickerGetError(), "");
    }
    folderPickerFreePath(chosen);
    folderPickerQuit();

    if (row.command.empty())
        EXPECT_FALSE(fs::exists(record));
    else
        EXPECT_EQ(splitAtNul(readWhole(record)), row.command);
}

INSTANTIATE_TEST_SUITE_P(Rows, FolderPickerTest, testing::ValuesIn(pickerRows),
    [](const testing::TestParamInfo<PickerRow>& info) { return std::string(info.param.name); });

// -- The desktop portal --

TEST(DesktopPortal, PathFromFileUri)
{
    struct Row { std::string uri; bool ok; std::string path; };
    const Row rows[] = {
        { "file:///srv/-new%0Aline%20%ff%FE%20dir", true, "/srv/-new\nline \xff\xfe dir" },
        { "file://localhost/a%2Fb", true, "/a/b" },
        { "FILE:///home/x?query#fragment", true, "/home/x" },
        { "file://elsewhere/home", false, "" },
        { "https:///home", false, "" },
        { "file:///bad%4", false, "" },
        { "file:///bad%zz", false, "" },
        { "file:///nul%00byte", false, "" },
        { "file://", false, "" },
    };
    for (const Row& row : rows) {
        std::string path = "stale";
        EXPECT_EQ(pathFromFileUri(row.uri, path), row.ok) << row.uri;
        if (row.ok) {
            EXPECT_EQ(path, row.path) << row.uri;
        }
    }
}

// Owns org.freedesktop.portal.Desktop and answers OpenFile the way the portal does, except that
// the Response signal goes out before the reply naming the request: only a caller that subscribed
// to the path it computed (its unique name, its handle_token) before calling receives it. A
// negative response never answers; Request.Close calls are counted.
class StandInPortal {
public:
    StandInPortal(const std::string& address, int response, std::string uri) : response(response), uri(std::move(uri))
    {
        DBusError error;
        dbus_error_init(&error);
        connection = dbus_connection_open_private(address.c_str(), &error);
        if (connection && dbus_bus_register(connection, &error)) {
            dbus_connection_set_exit_on_disconnect(connection, FALSE);
            owned = dbus_bus_request_name(connection, "org.freedesktop.portal.Desktop", DBUS_NAME_FLAG_DO_NOT_QUEUE, &error)
                == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER;
        }
        dbus_error_free(&error);
        if (owned)
            thread = std::thread([this] { serve(); });
    }
    ~StandInPortal()
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
    std::atomic<int> calls { 0 }, closes { 0 };
    std::atomic<bool> directoryOption { false }, modalOption { false };

private:
    void serve()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!stop && std::chrono::steady_clock::now() < deadline && dbus_connection_read_write(connection, 20)) {
            while (DBusMessage* message = dbus_connection_pop_message(connection)) {
                if (dbus_message_is_method_call(message, "org.freedesktop.portal.FileChooser", "OpenFile"))
                    answer(message);
                else if (dbus_message_is_method_call(message, "org.freedesktop.portal.Request", "Close"))
                    ++closes;
                dbus_message_unref(message);
            }
        }
    }
    void answer(DBusMessage* call)
    {
        std::string token;
        DBusMessageIter arguments, options;
        dbus_message_iter_init(call, &arguments);
        dbus_message_iter_next(&arguments); // parent window
        dbus_message_iter_next(&arguments); // title
        dbus_message_iter_recurse(&arguments, &options);
        for (; dbus_message_iter_get_arg_type(&options) == DBUS_TYPE_DICT_ENTRY; dbus_message_iter_next(&options)) {
            DBusMessageIter entry, value;
            const char* key = nullptr;
            dbus_message_iter_recurse(&options, &entry);
            dbus_message_iter_get_basic(&entry, &key);
            dbus_message_iter_next(&entry);
            dbus_message_iter_recurse(&entry, &value);
            const int type = dbus_message_iter_get_arg_type(&value);
            if (std::string(key) == "handle_token" && type == DBUS_TYPE_STRING) {
                const char* text = nullptr;
                dbus_message_iter_get_basic(&value, &text);
                token = text;
            } else if (type == DBUS_TYPE_BOOLEAN) {
                dbus_bool_t flag = FALSE;
                dbus_message_iter_get_basic(&value, &flag);
                (std::string(key) == "directory" ? directoryOption : std::string(key) == "modal" ? modalOption : unused) = flag;
            }
        }
        ++calls;
        std::string sender = dbus_message_get_sender(call) + 1;
        for (char& c : sender)
            if (c == '.')
                c = '_';
        const std::string handle = "/org/freedesktop/portal/desktop/request/" + sender + "/" + token;
        if (response >= 0) {
            DBusMessage* signal = dbus_message_new_signal(handle.c_str(), "org.freedesktop.portal.Request", "Response");
            DBusMessageIter out, results, entry, variant, uris;
            dbus_message_iter_init_append(signal, &out);
            const dbus_uint32_t code = dbus_uint32_t(response);
            const char* key = "uris";
            const char* uriText = uri.c_str();
            dbus_message_iter_append_basic(&out, DBUS_TYPE_UINT32, &code);
            dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "{sv}", &results);
            if (response == 0) {
                dbus_message_iter_open_container(&results, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
                dbus_message_iter_append_basic(&entry, DBUS_TYPE_STRING, &key);
                dbus_message_iter_open_container(&entry, DBUS_TYPE_VARIANT, "as", &variant);
                dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "s", &uris);
                dbus_message_iter_append_basic(&uris, DBUS_TYPE_STRING, &uriText);
                dbus_message_iter_close_container(&variant, &uris);
                dbus_message_iter_close_container(&entry, &variant);
                dbus_message_iter_close_container(&results, &entry);
            }
            dbus_message_iter_close_container(&out, &results);
            dbus_connection_send(connection, signal, nullptr);
            dbus_message_unref(signal);
        }
        DBusMessage* reply = dbus_message_new_method_return(call);
        const char* handleText = handle.c_str();
        dbus_message_append_args(reply, DBUS_TYPE_OBJECT_PATH, &handleText, DBUS_TYPE_INVALID);
        dbus_connection_send(connection, reply, nullptr);
        dbus_connection_flush(connection);
        dbus_message_unref(reply);
    }

    int response;
    std::string uri;
    std::atomic<bool> unused { false };
    DBusConnection* connection = nullptr;
    bool owned = false;
    std::atomic<bool> stop { false };
    std::thread thread;
};

// Waits for a FolderPick's callback (at most ten seconds) and returns its answer.
struct PickWaiter {
    std::atomic<int> readyCalls { 0 };
    std::unique_ptr<FolderPick> pick = FolderPick::start([this] { ++readyCalls; });
    std::optional<FolderPickerAnswer> wait()
    {
        if (!waitUntilTrue([&] { return readyCalls.load() > 0; }))
            return std::nullopt;
        return pick->answer();
    }
};

struct PortalRow {
    const char* name;
    int response; // -1: no portal on the bus
    std::string uri;
    FolderPickerResult result;
    std::string path;
    bool zenityRuns;
};

const PortalRow portalRows[] = {
    { "ChosenUriDecodedToExactBytes", 0, "file:///srv/-new%0Aline%20%FF%FE%20dir%25", FolderPickerResult::OKAY,
        "/srv/-new\nline \xff\xfe dir%", false },
    { "CancelledInThePortal", 1, "", FolderPickerResult::CANCEL, "", false },
    { "PortalFailure", 2, "", FolderPickerResult::ERROR, "", false },
    { "NoPortalFallsBackToZenity", -1, "", FolderPickerResult::OKAY, "/from/zenity", true },
};

void PrintTo(const PortalRow& row, std::ostream* out) { *out << row.name; }

class PortalPickTest : public testing::TestWithParam<PortalRow> { };

TEST_P(PortalPickTest, AnswerAndFallback)
{
    const PortalRow& row = GetParam();
    TemporaryDirectory directory;
    PrivateSessionBus bus(directory.path());
    if (bus.busAddress().empty())
        GTEST_SKIP() << "dbus-daemon is not available";
    const fs::path bin = directory.path() / "bin", record = directory.path() / "record";
    fs::create_directories(bin);
    writeScript(bin / "zenity", pickerScript);
    ScopedVariable pathVariable("PATH", bin.c_str()), recordVariable("VELBRIN_TEST_RECORD", record.c_str()),
        status("VELBRIN_PICKER_STATUS", "0"), picked("VELBRIN_PICKED", "/from/zenity");
    std::optional<StandInPortal> portal;
    if (row.response >= 0) {
        portal.emplace(bus.busAddress(), row.response, row.uri);
        ASSERT_TRUE(portal->ready());
    }

    PickWaiter waiter;
    const std::optional<FolderPickerAnswer> answer = waiter.wait();
    ASSERT_TRUE(answer) << "the pick never reported";
    EXPECT_EQ(answer->result, row.result) << answer->error;
    EXPECT_EQ(answer->path, row.path);
    EXPECT_EQ(answer->error.empty(), row.result != FolderPickerResult::ERROR) << answer->error;
    EXPECT_EQ(fs::exists(record), row.zenityRuns);
    if (portal) {
        EXPECT_EQ(portal->calls.load(), 1);
        EXPECT_TRUE(portal->directoryOption.load());
        EXPECT_TRUE(portal->modalOption.load());
    }
    EXPECT_EQ(waiter.readyCalls.load(), 1);
}

INSTANTIATE_TEST_SUITE_P(Rows, PortalPickTest, testing::ValuesIn(portalRows),
    [](const testing::TestParamInfo<PortalRow>& info) { return std::string(info.param.name); });

// A pick destroyed while the portal's chooser is open closes the request (so the portal closes its
// dialog) without waiting for an answer that may never come.
TEST(DesktopPortal, PickDestroyedWhileOpenClosesTheRequest)
{
    TemporaryDirectory directory;
    PrivateSessionBus bus(directory.path());
    if (bus.busAddress().empty())
        GTEST_SKIP() << "dbus-daemon is not available";
    StandInPortal portal(bus.busAddress(), -1, "");
    ASSERT_TRUE(portal.ready());
    auto waiter = std::make_unique<PickWaiter>();
    ASSERT_TRUE(waitUntilTrue([&] { return portal.calls.load() == 1; }));
    const auto begun = std::chrono::steady_clock::now();
    waiter->pick = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(1));
    EXPECT_TRUE(waitUntilTrue([&] { return portal.closes.load() == 1; })) << "the request was not closed";
    EXPECT_EQ(waiter->readyCalls.load(), 0);
}

// -- FolderPick off the caller's thread --

std::string sleepProgram()
{
    for (const char* candidate : { "/bin/sleep", "/usr/bin/sleep" })
        if (fs::exists(candidate))
            return candidate;
    return "sleep";
}

bool processGone(pid_t process)
{
    return waitUntilTrue([&] {
        const std::string stat = readWhole("/proc/" + std::to_string(process) + "/stat");
        const std::size_t close = stat.rfind(')');
        return stat.empty() || (close != std::string::npos && stat.compare(close + 1, 3, " Z ") == 0);
    }, std::chrono::seconds(3));
}

// The dialog is waited for elsewhere: start() returns while the stand-in still sleeps, the callback
// comes once it answers, and a pick destroyed while its dialog is open ends the picker program
// with the helpers it started (a script's sleep holds the output pipe too), and never calls back.
TEST(FolderPickTest, WaitsOffTheCallersThreadAndEndsAnOpenPickerWhenDestroyed)
{
    TemporaryDirectory directory;
    const fs::path bin = directory.path() / "bin", helper = directory.path() / "helper";
    fs::create_directories(bin);
    writeScript(bin / "zenity", "'" + sleepProgram() + "' \"$VELBRIN_PICKER_SLEEP\" &\n"
        "echo $! > '" + helper.string() + "'\nwait\nprintf '/answered\\n'\n");
    ScopedVariable pathVariable("PATH", bin.c_str()),
        noBus("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + (directory.path() / "no-bus").string()).c_str());
    {
        ScopedVariable sleep("VELBRIN_PICKER_SLEEP", "0.6");
        const auto begun = std::chrono::steady_clock::now();
        PickWaiter waiter;
        EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::milliseconds(100)) << "start() waited for the dialog";
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_EQ(waiter.readyCalls.load(), 0) << "the callback came before the dialog closed";
        const std::optional<FolderPickerAnswer> answer = waiter.wait();
        ASSERT_TRUE(answer) << "the pick never reported";
        EXPECT_EQ(answer->result, FolderPickerResult::OKAY) << answer->error;
        EXPECT_EQ(answer->path, "/answered");
    }
    fs::remove(helper);
    ScopedVariable sleep("VELBRIN_PICKER_SLEEP", "30");
    auto waiter = std::make_unique<PickWaiter>();
    ASSERT_TRUE(waitForFile(helper));
    pid_t sleeper = 0;
    ASSERT_TRUE(waitUntilTrue([&] { return (sleeper = std::atoi(readWhole(helper).c_str())) > 0; }));
    const auto begun = std::chrono::steady_clock::now();
    std::atomic<int>* calls = &waiter->readyCalls;
    waiter->pick = nullptr;
    EXPECT_LT(std::chrono::steady_clock::now() - begun, std::chrono::seconds(2)) << "closing waited for the dialog";
    EXPECT_EQ(calls->load(), 0);
    EXPECT_TRUE(processGone(sleeper)) << "the picker's helper outlived the pick";
}

} // namespace
