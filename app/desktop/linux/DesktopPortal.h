// DesktopPortal: the folder chooser of the desktop portal (org.freedesktop.portal.FileChooser on the
// session bus), the picker the Linux FolderPick offers first, since it shows the desktop's own
// dialog and works inside sandboxes. Blocking calls for the pick's own thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

struct FolderPickerAnswer;

// Calls OpenFile(parentWindow, title, {handle_token, modal: true, directory: true}) on
// org.freedesktop.portal.Desktop and waits for the Response signal on the request's object path,
// which it subscribes to before the call (the path follows from the connection's unique name and
// the token). Between reads, at most every 100 ms, it asks `stopped`; when that says yes it closes
// the request and answers CANCEL. Returns false when no portal can answer: no session bus, the name
// has no owner, an error reply to the call (a portal without a file chooser), no reply within
// callTimeoutMs; the caller then tries its other pickers. Otherwise true with *answer: response 0
// is OKAY with the first chosen URI's path, 1 CANCEL, anything else ERROR.
// `parentWindow` is the portal's window identifier ("x11:" and the window's id in hexadecimal) or
// empty.
bool pickFolderThroughPortal(FolderPickerAnswer& answer, const std::function<bool()>& stopped,
    const std::string& parentWindow = {}, int callTimeoutMs = 25000);

// The portal's identifier of an SDL window under X11 ("x11:" + the id in hexadecimal); empty for
// null, another window system or any failure. Main thread.
std::string portalParentWindow(void* sdlWindow);

// The path of a file:// URI as bytes: the host must be empty or "localhost", and %XX escapes
// (either case) are decoded into any byte. False for another scheme or host, a bad escape, an empty
// path or a NUL byte.
bool pathFromFileUri(std::string_view uri, std::string& path);
