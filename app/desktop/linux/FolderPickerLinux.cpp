// FolderPicker on Linux: runs the first of zenity or kdialog found on PATH as a child process and
// reads the chosen directory from its standard output. Both print the path followed by one line
// feed and exit with 1 when the user cancels. Only that one line feed is stripped, so a name that
// itself ends in (or contains) a line feed survives; what bytes a non-UTF-8 name comes back as is
// up to the picker program (both are UTF-8 toolkits).
#include "app/desktop/FolderPicker.h"

#include "app/desktop/linux/ProcessSpawn.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool initialised = false;
std::string lastError;

FolderPickerResult fail(const std::string& reason)
{
    lastError = reason;
    return FolderPickerResult::ERROR;
}

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

} // namespace

FolderPickerResult folderPickerInit()
{
    initialised = true;
    lastError.clear();
    return FolderPickerResult::OKAY;
}

FolderPickerResult folderPickerPickFolder(char** outPath, const char* defaultPath)
{
    if (!outPath)
        return fail("folderPickerPickFolder needs somewhere to store the path");
    *outPath = nullptr;
    if (!initialised)
        return fail("The folder picker is not initialised: call folderPickerInit() first.");
    const std::vector<std::string> command = pickerCommand(defaultPath);
    if (command.empty())
        return fail("No folder picker found: install zenity or kdialog.");

    std::string output, error;
    int exitStatus = -1;
    if (!runCapturingOutput(command, output, exitStatus, error))
        return fail(error);
    if (exitStatus == 1)
        return FolderPickerResult::CANCEL;
    if (exitStatus != 0)
        return fail(command[0] + (exitStatus < 0 ? " was killed" : " failed with status " + std::to_string(exitStatus)));
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    if (output.empty() || output.find('\0') != std::string::npos)
        return fail(command[0] + " did not print a usable path");

    char* path = static_cast<char*>(std::malloc(output.size() + 1));
    if (!path)
        return fail("Out of memory.");
    std::memcpy(path, output.c_str(), output.size() + 1);
    *outPath = path;
    lastError.clear();
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
