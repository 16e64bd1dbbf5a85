// FolderPicker: the modal "choose a directory" dialog behind the SELECT DIRECTORY button, as four
// calls: init, pick a folder, free the returned path, quit. The chosen path comes back as a newly
// allocated NUL-terminated byte string (UTF-8 where the system's names are), freed only with
// folderPickerFreePath. All calls on the main thread. Backends: desktop/linux/, desktop/win32/.
#pragma once

enum class FolderPickerResult {
    ERROR = 0,  // no picker available or it failed; folderPickerGetError() says why
    OKAY = 1,   // *outPath holds the chosen folder
    CANCEL = 2, // the user closed the dialog without choosing; nothing was allocated
};

// Prepares the picker; call once before the first pick. Returns OKAY, or ERROR with a reason.
FolderPickerResult folderPickerInit();

// Shows the dialog and blocks until it closes. `defaultPath` may be null (the application passes
// none). On OKAY, *outPath receives the path; on CANCEL and ERROR it is set to null.
FolderPickerResult folderPickerPickFolder(char** outPath, const char* defaultPath);

// Releases a path returned by folderPickerPickFolder; null is allowed.
void folderPickerFreePath(char* path);

// Undoes folderPickerInit. Safe to call without an init.
void folderPickerQuit();

// The reason of the last ERROR (a static text, never null; empty when there was none).
const char* folderPickerGetError();
