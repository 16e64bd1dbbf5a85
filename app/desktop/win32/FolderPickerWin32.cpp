// FolderPicker on Windows: the shell's common file dialog (IFileOpenDialog) in folder-picking mode,
// without an owner window. COM is initialised for the main thread before main() runs (the static
// below) and uninitialised at process exit, so the blocking dialog can be created whenever it is
// asked for; folderPickerInit only reports whether that worked. FolderPick shows the same dialog
// on a thread of its own with its own apartment; a pick destroyed while its dialog is open detaches
// that thread, which then owns everything it touches (a shared state record) and ends when the
// dialog closes or with the process. Paths cross as UTF-8 through orvex::toWide/fromWide, which
// keep unpaired surrogates, so every folder the dialog can name comes back to the scanner intact.
#include "app/desktop/FolderPicker.h"

#include "engine/core/win32/WideText.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <windows.h>
#include <shobjidl.h>

// wingdi.h's ERROR macro would swallow FolderPickerResult::ERROR.
#undef ERROR

namespace {

const char* lastError = "";
std::string lastErrorText; // the text lastError points at when it is not a literal

FolderPickerResult fail(const char* reason)
{
    lastError = reason;
    return FolderPickerResult::ERROR;
}

// Initialises COM for the thread that runs static initialisers (the main thread). A thread already
// initialised in the other apartment mode keeps it: the dialog works there too, and that COM is
// not ours to uninitialise.
struct ComForMainThread {
    bool uninitialize = false;
    const char* error = "";

    ComForMainThread()
    {
        const HRESULT result = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        if (SUCCEEDED(result)) {
            uninitialize = true;
            std::atexit([] {
                if (comForMainThread().uninitialize)
                    CoUninitialize();
            });
        } else if (result != RPC_E_CHANGED_MODE) {
            error = "Failed to initialize COM.";
        }
    }
    static ComForMainThread& comForMainThread();
};

ComForMainThread& ComForMainThread::comForMainThread()
{
    static ComForMainThread com;
    return com;
}

// Runs before main().
const bool comStarted = (ComForMainThread::comForMainThread(), true);

template <typename T>
struct Released {
    T* object = nullptr;
    ~Released()
    {
        if (object)
            object->Release();
    }
};

// Shows the dialog on the calling thread, whose COM must be initialised, and waits for it.
FolderPickerAnswer showFolderDialog(const char* defaultPath)
{
    auto failure = [](const char* reason) { return FolderPickerAnswer { FolderPickerResult::ERROR, {}, reason }; };
    Released<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&dialog.object))))
        return failure("Could not create dialog.");
    if (defaultPath && *defaultPath) {
        std::wstring folder = orvex::toWide(defaultPath);
        for (wchar_t& c : folder)
            if (c == L'/')
                c = L'\\';
        // A default folder that does not exist is left out.
        Released<IShellItem> item;
        if (SUCCEEDED(SHCreateItemFromParsingName(folder.c_str(), nullptr, IID_PPV_ARGS(&item.object))))
            dialog.object->SetDefaultFolder(item.object);
    }
    FILEOPENDIALOGOPTIONS options = 0;
    if (FAILED(dialog.object->GetOptions(&options)))
        return failure("Failed to get options.");
    if (FAILED(dialog.object->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM)))
        return failure("Failed to set options.");

    const HRESULT shown = dialog.object->Show(nullptr);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED))
        return { FolderPickerResult::CANCEL, {}, {} };
    if (FAILED(shown))
        return failure("File dialog box show failed.");

    Released<IShellItem> result;
    wchar_t* name = nullptr;
    if (FAILED(dialog.object->GetResult(&result.object)) ||
        FAILED(result.object->GetDisplayName(SIGDN_DESKTOPABSOLUTEPARSING, &name)) || !name)
        return failure("Could not get file path from shell item returned by dialog.");
    std::string utf8 = orvex::fromWide(name);
    CoTaskMemFree(name);
    return { FolderPickerResult::OKAY, std::move(utf8), {} };
}

// What a pick's thread shares with its owner; the thread holds its own reference, so a detached
// thread never touches a destroyed pick.
struct PickState {
    std::mutex mutex;
    bool abandoned = false;
    FolderPickerAnswer answer;
    std::function<void()> ready;

    void finish(FolderPickerAnswer result)
    {
        std::lock_guard<std::mutex> lock(mutex);
        answer = std::move(result);
        if (!abandoned && ready)
            ready();
    }
};

class WindowsFolderPick final : public FolderPick {
public:
    explicit WindowsFolderPick(std::function<void()> ready) : state(std::make_shared<PickState>())
    {
        state->ready = std::move(ready);
    }
    ~WindowsFolderPick() override
    {
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->abandoned = true;
            state->ready = nullptr;
        }
        // Another thread's dialog cannot be closed from here: the thread ends with it.
        if (thread.joinable())
            thread.detach();
    }
    void start()
    {
        try {
            thread = std::thread([shared = state] {
                // The dialog needs a single-threaded apartment of its own on this thread.
                const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
                if (FAILED(com) && com != RPC_E_CHANGED_MODE) {
                    shared->finish({ FolderPickerResult::ERROR, {}, "Failed to initialize COM." });
                    return;
                }
                shared->finish(showFolderDialog(nullptr));
                if (SUCCEEDED(com))
                    CoUninitialize();
            });
        } catch (const std::system_error&) {
            state->finish({ FolderPickerResult::ERROR, {}, "Cannot start a thread for the folder dialog." });
        }
    }
    FolderPickerAnswer answer() override
    {
        std::lock_guard<std::mutex> lock(state->mutex);
        return state->answer;
    }

private:
    std::shared_ptr<PickState> state;
    std::thread thread;
};

} // namespace

FolderPickerResult folderPickerInit()
{
    (void)comStarted;
    const char* error = ComForMainThread::comForMainThread().error;
    if (*error)
        return fail(error);
    lastError = "";
    return FolderPickerResult::OKAY;
}

FolderPickerResult folderPickerPickFolder(char** outPath, const char* defaultPath)
{
    if (!outPath)
        return fail("folderPickerPickFolder needs somewhere to store the path.");
    *outPath = nullptr;
    const FolderPickerAnswer answer = showFolderDialog(defaultPath);
    if (answer.result == FolderPickerResult::ERROR) {
        lastErrorText = answer.error;
        lastError = lastErrorText.c_str();
        return answer.result;
    }
    lastError = "";
    if (answer.result == FolderPickerResult::CANCEL)
        return answer.result;
    char* path = static_cast<char*>(std::malloc(answer.path.size() + 1));
    if (!path)
        return fail("Out of memory.");
    std::memcpy(path, answer.path.c_str(), answer.path.size() + 1);
    *outPath = path;
    return FolderPickerResult::OKAY;
}

std::unique_ptr<FolderPick> FolderPick::start(std::function<void()> ready, void*)
{
    // No owner window: an owner on another thread would tie the two threads' input together.
    auto pick = std::make_unique<WindowsFolderPick>(std::move(ready));
    pick->start();
    return pick;
}

void folderPickerFreePath(char* path)
{
    std::free(path);
}

void folderPickerQuit()
{
    // COM stays initialised until the process exits: other shell calls (ShellExecuteW) use it too.
}

const char* folderPickerGetError()
{
    return lastError;
}
