// Win32KeyTables: Win32 backend, the two code tables of key messages and the translation of a
// key message's wParam/lParam into engine key codes (KeyCodes.h). Plain integer data with no
// Windows header, so the tables can be checked against the other platforms' on any build.
// Pure functions; any thread.
#pragma once

#include <cstdint>

namespace orvex::win32 {

// Engine key code by physical position for a scan-table index: the scan code's low seven bits,
// plus 0x80 for keys with the extended flag (the E0 prefix). 0 when the engine names no key.
int scanKeyOfIndex(int index);
// Engine key code for a virtual-key code (the layout's meaning). 0 when none.
int keyOfVirtualKey(int virtualKey);

struct KeyCodes {
    int scanKey = 0; // by position
    int key = 0;     // by virtual key, with Enter, Ctrl and Alt told apart by the extended flag
};

// The codes of a WM_KEYDOWN / WM_KEYUP / WM_SYSKEYDOWN / WM_SYSKEYUP message.
KeyCodes keyCodesOf(uint64_t wParam, int64_t lParam);

} // namespace orvex::win32
