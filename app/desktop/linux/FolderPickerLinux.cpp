// FolderPicker on Linux: the desktop portal's folder chooser when one answers on the session bus,
// else the first of zenity or kdialog found on PATH, run as a child process whose standard output
// names the chosen directory. Both programs print the path followed by one line feed and exit with
// 1 when the user cancels. Only that one line feed is stripped, so a name that itself ends in (or
// contains) a line feed survives; what bytes a non-UTF-8 name comes back as is up to the picker
// program (both are UTF-8 toolkits); the portal's URI is percent-decoded into exact bytes.
// FolderPick runs the same chain on a thread of its own; its destructor stops the chain (kills the
// picker program's process group, closes the portal request) and joins the thread.
#include "app/desktop/FolderPicker.h"

#include "app/desktop/linux/DesktopPortal.h"
#include "app/desktop/linux/ProcessSpawn.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>

namespace {

bool initialised = false;
std::string lastError;

FolderPickerAnswer failure(std::string reason) { return { FolderPickerResult::ERROR, {}, std::move(reason) }; }

// The picker's command line, or an empty vector when neither program is on PATH.
std::vector<std::string> pickerCommand(const char* defaultPath)
{
    const std::string zenity = findExecutableOnPath("zenity");
    if (!zenity.empty()) {
        std::vector<std::string> command { zenity, "--file-selection", "--directory" };
        if (defaultPath && defaultPath[0]) // zenity opens the folder a trailing "/" names
            command.push_back(std::string("--filename=") + defaultPath + "/");
        return command;
    }
    const std::string kdialog = findExecutableOnPath("kdialog");
    if (!kdialog.empty()) {
        std::vector<std::string> command { kdialog, "--getexistingdirectory" };
        if (defaultPath && defaultPath[0]) {
            // "--" keeps a default path that begins with "-" from being read as an option.
            command.push_back("--");
            command.push_back(defaultPath);
        }
        return command;
    }
    return {};
}

FolderPickerAnswer pickWithProgram(const char* defaultPath, ChildStopper& stopper)
{
    const std::vector<std::string> command = pickerCommand(defaultPath);
    if (command.empty())
        return failure("No folder picker found: install zenity or kdialog (or a desktop portal with a file chooser).");
    std::string output, error;
    int exitStatus = -1;
    if (!runCapturingOutput(command, output, exitStatus, error, 1 << 20, &stopper))
        return failure(error);
    if (stopper.stopped())
        return { FolderPickerResult::CANCEL, {}, {} };
    if (exitStatus == 1)
        return { FolderPickerResult::CANCEL, {}, {} };
    if (exitStatus != 0)
        return failure(command[0] + (exitStatus < 0 ? " was killed" : " failed with status " + std::to_string(exitStatus)));
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    if (output.empty() || output.find('\0') != std::string::npos)
        return failure(command[0] + " did not print a usable path");
    return { FolderPickerResult::OKAY, std::move(output), {} };
}

// The whole chain: the portal, then the programs. Blocks; stops early once `stopper` is stopped.
FolderPickerAnswer pickFolder(const char* defaultPath, ChildStopper& stopper, const std::string& parentWindow = {})
{
    FolderPickerAnswer answer;
    if (pickFolderThroughPortal(answer, [&] { return stopper.stopped(); }, parentWindow))
        return answer;
    return pickWithProgram(defaultPath, stopper);
}

class LinuxFolderPick final : public FolderPick {
public:
    explicit LinuxFolderPick(std::function<void()> ready) : ready(std::move(ready)) { }
    ~LinuxFolderPick() override
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            abandoned = true;
        }
        stopper.stop();
        if (thread.joinable())
            thread.join();
    }
    void start(std::string parentWindow)
    {
        try {
            thread = std::thread([this, parent = std::move(parentWindow)] { finish(pickFolder(nullptr, stopper, parent)); });
        } catch (const std::system_error& error) {
            finish(failure(std::string("Cannot wait for the folder picker: ") + error.what()));
        }
    }
    FolderPickerAnswer answer() override
    {
        std::lock_guard<std::mutex> lock(mutex);
        return result;
    }

private:
    // Under the lock, so the destructor's abandonment and the news never cross.
    void finish(FolderPickerAnswer answer)
    {
        std::lock_guard<std::mutex> lock(mutex);
        result = std::move(answer);
        if (!abandoned && ready)
            ready();
    }

    std::function<void()> ready;
    ChildStopper stopper;
    std::mutex mutex;
    bool abandoned = false;
    FolderPickerAnswer result;
    std::thread thread;
};

} // namespace

std::unique_ptr<FolderPick> FolderPick::start(std::function<void()> ready, void* nativeWindow)
{
    auto pick = std::make_unique<LinuxFolderPick>(std::move(ready));
    pick->start(portalParentWindow(nativeWindow)); // read here: SDL's window info is the main thread's
    return pick;
}

FolderPickerResult folderPickerInit()
{
    initialised = true;
    lastError.clear();
    return FolderPickerResult::OKAY;
}

FolderPickerResult folderPickerPickFolder(char** outPath, const char* defaultPath)
{
    if (!outPath) {
        lastError = "folderPickerPickFolder needs somewhere to store the path";
        return FolderPickerResult::ERROR;
    }
    *outPath = nullptr;
    if (!initialised) {
        lastError = "The folder picker is not initialised: call folderPickerInit() first.";
        return FolderPickerResult::ERROR;
    }
    ChildStopper stopper; // never stopped: the caller waits for the dialog
    FolderPickerAnswer answer = pickFolder(defaultPath, stopper);
    lastError = answer.result == FolderPickerResult::ERROR ? answer.error : std::string();
    if (answer.result != FolderPickerResult::OKAY)
        return answer.result;
    char* path = static_cast<char*>(std::malloc(answer.path.size() + 1));
    if (!path) {
        lastError = "Out of memory.";
        return FolderPickerResult::ERROR;
    }
    std::memcpy(path, answer.path.c_str(), answer.path.size() + 1);
    *outPath = path;
    return FolderPickerResult::OKAY;
}

void folderPickerFreePath(char* path)
{
    std::free(path);
}

void folderPickerQuit()
{
    initialised = false;
}

const char* folderPickerGetError()
{
    return lastError.c_str();
}
