// The pieces of the Windows desktop services that tests check on their own: the argument that
// makes explorer.exe select a path, and the looked-up SetWindowCompositionAttribute.
#pragma once

#include <string>
#include <string_view>

// "/select," followed by the path in double quotes, as explorer.exe takes it: one argument, so
// spaces, commas and leading dashes stay inside the name. Forward slashes become backslashes
// (explorer does not select a path written with them), and backslashes right before the closing
// quote are doubled so they cannot escape it. Empty for a path that cannot be quoted: one holding
// a double quote (no Windows name has one; inside the quotes it would end the argument and let
// the rest be read as further switches) or a NUL, and the empty path.
std::wstring explorerSelectArgument(std::wstring_view path);

// SetWindowCompositionAttribute from user32.dll, looked up on the first call and kept for the
// process; null on a system without it. Any thread.
void* setWindowCompositionAttributeFunction();
