// FolderPicker: the "choose a directory" dialog behind the SELECT DIRECTORY button. The program uses
// FolderPick, which waits for the dialog on a thread of its own so that the window keeps drawing
// and answering while it is open. The four blocking calls below (init, pick a folder, free the
// returned path, quit) show the same dialog and wait for it in the caller; the chosen path comes
// back as a newly allocated NUL-terminated byte string (UTF-8 where the system's names are), freed
// only with folderPickerFreePath. Backends: desktop/linux/, desktop/win32/.
#pragma once

#include <functional>
#include <memory>
#include <string>

enum class FolderPickerResult {
    ERROR = 0,  // no picker available or it failed; folderPickerGetError() says why
    OKAY = 1,   // *outPath holds the chosen folder
    CANCEL = 2, // the user closed the dialog without choosing; nothing was allocated
};

struct FolderPickerAnswer {
    FolderPickerResult result = FolderPickerResult::ERROR;
    std::string path;  // OKAY: the chosen folder, as bytes
    std::string error; // ERROR: why, as a sentence for the user
};

// One open dialog. Linux: the desktop portal's file chooser, else zenity, else kdialog; Windows:
// IFileOpenDialog on a thread with COM of its own.
class FolderPick {
public:
    // Opens the dialog and returns at once. `ready` runs exactly once on the pick's own thread when
    // the answer can be taken, unless the pick is destroyed first; it should only pass the news on
    // (Window::post). `nativeWindow` (the native window layer's handle, as for useDarkTitleBar; may
    // be null) is the window the dialog belongs to where the backend can say so: on Linux the
    // portal's parent_window under X11. Main thread.
    static std::unique_ptr<FolderPick> start(std::function<void()> ready, void* nativeWindow = nullptr);

    // Closes a dialog still open: on Linux the picker program is killed (the portal's request is
    // closed) and the thread joined; on Windows, where another thread's dialog cannot be ended, the
    // thread is left to finish on its own with state it shares with nothing else. `ready` never
    // runs after this returns. Main thread.
    virtual ~FolderPick() = default;

    // The answer, once `ready` has run. Main thread.
    virtual FolderPickerAnswer answer() = 0;
};

// Prepares the picker; call once before the first pick. Returns OKAY, or ERROR with a reason.
FolderPickerResult folderPickerInit();

// Shows the dialog and blocks until it closes (the blocking form of FolderPick). `defaultPath` may be null (the application passes
// none). On OKAY, *outPath receives the path; on CANCEL and ERROR it is set to null.
FolderPickerResult folderPickerPickFolder(char** outPath, const char* defaultPath);

// Releases a path returned by folderPickerPickFolder; null is allowed.
void folderPickerFreePath(char* path);

// Undoes folderPickerInit. Safe to call without an init.
void folderPickerQuit();

// The reason of the last ERROR (a static text, never null; empty when there was none).
const char* folderPickerGetError();
