// FolderPicker on Windows: the shell's common file dialog (IFileOpenDialog) in folder-picking mode,
// without an owner window. COM is initialised for the main thread before main() runs (the static
// below) and uninitialised at process exit, so the dialog can be created whenever it is asked for;
// folderPickerInit only reports whether that worked. Paths cross as UTF-8 through
// orvex::toWide/fromWide, which keep unpaired surrogates, so every folder the dialog can name
// comes back to the scanner intact.
#include "app/desktop/FolderPicker.h"

#include "engine/core/win32/WideText.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <windows.h>
#include <shobjidl.h>

// wingdi.h's ERROR macro would swallow FolderPickerResult::ERROR.
#undef ERROR

namespace {

const char* lastError = "";

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

    Released<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&dialog.object))))
        return fail("Could not create dialog.");
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
        return fail("Failed to get options.");
    if (FAILED(dialog.object->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM)))
        return fail("Failed to set options.");

    const HRESULT shown = dialog.object->Show(nullptr);
    if (shown == HRESULT_FROM_WIN32(ERROR_CANCELLED)) {
        lastError = "";
        return FolderPickerResult::CANCEL;
    }
    if (FAILED(shown))
        return fail("File dialog box show failed.");

    Released<IShellItem> result;
    wchar_t* name = nullptr;
    if (FAILED(dialog.object->GetResult(&result.object)) ||
        FAILED(result.object->GetDisplayName(SIGDN_DESKTOPABSOLUTEPARSING, &name)) || !name)
        return fail("Could not get file path from shell item returned by dialog.");
    const std::string utf8 = orvex::fromWide(name);
    CoTaskMemFree(name);

    char* path = static_cast<char*>(std::malloc(utf8.size() + 1));
    if (!path)
        return fail("Out of memory.");
    std::memcpy(path, utf8.c_str(), utf8.size() + 1);
    *outPath = path;
    lastError = "";
    return FolderPickerResult::OKAY;
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
